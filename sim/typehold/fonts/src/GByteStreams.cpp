#include "GByteStreams.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace typehold
{
namespace
{
constexpr std::size_t kCopyChunk = 4 * 1024 * 1024;
}

bool GByteSource::ReadAt(TUInt64 offset, std::size_t count, std::string& bytes)
{
    if (offset > Size() || count > Size() - offset)
    {
        return false;
    }
    bytes.resize(count);
    return count == 0 || ReadAt(offset, bytes.data(), count);
}

bool GMemorySource::ReadAt(TUInt64 offset, void* buffer, std::size_t count)
{
    if (offset > mSize || count > mSize - offset)
    {
        return false;
    }
    if (count > 0)
    {
        std::memcpy(buffer, mBytes + offset, count);
    }
    return true;
}

bool GByteSink::CopyFrom(GByteSource& source, TUInt64 offset, TUInt64 count)
{
    if (offset > source.Size() || count > source.Size() - offset)
    {
        return false;
    }
    std::vector<char> buffer(static_cast<std::size_t>(std::min<TUInt64>(count, kCopyChunk)));
    while (count > 0)
    {
        const std::size_t part = static_cast<std::size_t>(std::min<TUInt64>(count, buffer.size()));
        if (!source.ReadAt(offset, buffer.data(), part) || !Write(buffer.data(), part))
        {
            return false;
        }
        offset += part;
        count -= part;
    }
    return true;
}

bool GStringSink::Write(const void* bytes, std::size_t count)
{
    mBytes.append(static_cast<const char*>(bytes), count);
    return true;
}
} // namespace typehold
