#pragma once
// Bytes read at any offset and bytes written one after the other: documents are read and
// rewritten through these, from memory (tests, fuzzing) or from files of any size.

#include "GTypes.h"

#include <cstddef>
#include <string>

namespace typehold
{
class GByteSource
{
public:
    virtual ~GByteSource() = default;
    virtual TUInt64 Size() const = 0;
    // Exactly count bytes at offset into buffer; false when they are not all there or the read
    // fails.
    virtual bool ReadAt(TUInt64 offset, void* buffer, std::size_t count) = 0;

    // The same into a string (replaced).
    bool ReadAt(TUInt64 offset, std::size_t count, std::string& bytes);
};

class GMemorySource : public GByteSource
{
public:
    GMemorySource(const void* bytes, std::size_t size) : mBytes(static_cast<const char*>(bytes)), mSize(size)
    {
    }
    explicit GMemorySource(const std::string& bytes) : GMemorySource(bytes.data(), bytes.size()) {}
    TUInt64 Size() const override { return mSize; }
    bool ReadAt(TUInt64 offset, void* buffer, std::size_t count) override;

private:
    const char* mBytes;
    std::size_t mSize;
};

class GByteSink
{
public:
    virtual ~GByteSink() = default;
    virtual bool Write(const void* bytes, std::size_t count) = 0;

    bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
    // Copies count bytes of the source from offset, a few megabytes at a time.
    bool CopyFrom(GByteSource& source, TUInt64 offset, TUInt64 count);
};

class GStringSink : public GByteSink
{
public:
    bool Write(const void* bytes, std::size_t count) override;
    const std::string& Bytes() const { return mBytes; }

private:
    std::string mBytes;
};

// Big-endian numbers of a byte string (the caller checks the bounds).
inline TUInt32 BigEndian32(const std::string& bytes, std::size_t offset)
{
    TUInt32 value = 0;
    for (std::size_t i = 0; i < 4; ++i)
    {
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

inline TUInt16 BigEndian16(const std::string& bytes, std::size_t offset)
{
    return static_cast<TUInt16>(static_cast<unsigned char>(bytes[offset]) << 8 |
                                static_cast<unsigned char>(bytes[offset + 1]));
}

inline void AppendBigEndian32(std::string& bytes, TUInt32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

inline void AppendBigEndian16(std::string& bytes, TUInt16 value)
{
    bytes.push_back(static_cast<char>(value >> 8));
    bytes.push_back(static_cast<char>(value & 0xFF));
}
} // namespace typehold
