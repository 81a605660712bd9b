// CFData and CFMutableData.

#include "CFInternal.h"

#include <algorithm>
#include <cstdio>
#include <vector>

struct __CFData final : cfimpl::CFObject
{
    static constexpr CFTypeID kTypeID = cfimpl::kDataTypeID;

    __CFData(const UInt8* bytes, std::size_t length, bool isMutable)
        : CFObject(kTypeID, false), mBytes(bytes, bytes + length), mMutable(isMutable)
    {
    }

    bool Equal(const CFObject& other) const override
    {
        return mBytes == static_cast<const __CFData&>(other).mBytes;
    }
    CFHashCode Hash() const override
    {
        return cfimpl::HashBytes(mBytes.data(), std::min<std::size_t>(mBytes.size(), 80));
    }
    void Describe(std::string& out, int /*depth*/) const override
    {
        char text[32];
        std::snprintf(text, sizeof(text), "<CFData %zu bytes: ", mBytes.size());
        out += text;
        const std::size_t shown = std::min<std::size_t>(mBytes.size(), 24);
        for (std::size_t i = 0; i < shown; ++i)
        {
            std::snprintf(text, sizeof(text), "%02x", mBytes[i]);
            out += text;
        }
        out += shown < mBytes.size() ? "...>" : ">";
    }

    std::vector<UInt8> mBytes;
    const bool mMutable;
};

namespace
{
const __CFData* AsData(CFDataRef data)
{
    return cfimpl::As<__CFData>(data);
}
__CFData* AsMutableData(CFMutableDataRef data)
{
    __CFData* object = cfimpl::AsMutable<__CFData>(data);
    return (object != nullptr && object->mMutable) ? object : nullptr;
}
} // namespace

CFTypeID CFDataGetTypeID(void)
{
    return cfimpl::kDataTypeID;
}

CFDataRef CFDataCreate(CFAllocatorRef /*allocator*/, const UInt8* bytes, CFIndex length)
{
    if (length < 0 || (bytes == nullptr && length > 0))
    {
        return nullptr;
    }
    return new __CFData(bytes, static_cast<std::size_t>(length), false);
}

CFDataRef CFDataCreateCopy(CFAllocatorRef /*allocator*/, CFDataRef theData)
{
    const __CFData* data = AsData(theData);
    if (data == nullptr)
    {
        return nullptr;
    }
    if (!data->mMutable)
    {
        return static_cast<CFDataRef>(CFRetain(data));
    }
    return new __CFData(data->mBytes.data(), data->mBytes.size(), false);
}

CFMutableDataRef CFDataCreateMutable(CFAllocatorRef /*allocator*/, CFIndex capacity)
{
    __CFData* data = new __CFData(nullptr, 0, true);
    data->mBytes.reserve(static_cast<std::size_t>(std::clamp<CFIndex>(capacity, 0, 1 << 20)));
    return data;
}

CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef /*allocator*/, CFIndex /*capacity*/,
                                         CFDataRef theData)
{
    const __CFData* data = AsData(theData);
    if (data == nullptr)
    {
        return nullptr;
    }
    return new __CFData(data->mBytes.data(), data->mBytes.size(), true);
}

CFIndex CFDataGetLength(CFDataRef theData)
{
    const __CFData* data = AsData(theData);
    return data == nullptr ? 0 : static_cast<CFIndex>(data->mBytes.size());
}

const UInt8* CFDataGetBytePtr(CFDataRef theData)
{
    const __CFData* data = AsData(theData);
    return (data == nullptr || data->mBytes.empty()) ? nullptr : data->mBytes.data();
}

void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8* buffer)
{
    const __CFData* data = AsData(theData);
    if (data == nullptr || buffer == nullptr || range.location < 0 || range.length <= 0)
    {
        return;
    }
    const std::size_t begin = std::min(static_cast<std::size_t>(range.location), data->mBytes.size());
    const std::size_t end =
        begin + std::min(static_cast<std::size_t>(range.length), data->mBytes.size() - begin);
    std::copy(data->mBytes.begin() + static_cast<std::ptrdiff_t>(begin),
              data->mBytes.begin() + static_cast<std::ptrdiff_t>(end), buffer);
}

UInt8* CFDataGetMutableBytePtr(CFMutableDataRef theData)
{
    __CFData* data = AsMutableData(theData);
    return (data == nullptr || data->mBytes.empty()) ? nullptr : data->mBytes.data();
}

void CFDataSetLength(CFMutableDataRef theData, CFIndex length)
{
    __CFData* data = AsMutableData(theData);
    if (data != nullptr && length >= 0)
    {
        data->mBytes.resize(static_cast<std::size_t>(length), 0);
    }
}

void CFDataAppendBytes(CFMutableDataRef theData, const UInt8* bytes, CFIndex length)
{
    __CFData* data = AsMutableData(theData);
    if (data == nullptr || bytes == nullptr || length <= 0)
    {
        return;
    }
    // Copy first: the bytes may be the data's own.
    const std::vector<UInt8> appended(bytes, bytes + length);
    data->mBytes.insert(data->mBytes.end(), appended.begin(), appended.end());
}
