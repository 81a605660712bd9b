// CFUUID.

#include "CFInternal.h"

#include <cstring>
#include <mutex>
#include <random>

struct __CFUUID final : cfimpl::CFObject
{
    static constexpr CFTypeID kTypeID = cfimpl::kUUIDTypeID;

    explicit __CFUUID(const CFUUIDBytes& bytes) : CFObject(kTypeID, false), mBytes(bytes) {}

    bool Equal(const CFObject& other) const override
    {
        return std::memcmp(&mBytes, &static_cast<const __CFUUID&>(other).mBytes, sizeof(mBytes)) == 0;
    }
    CFHashCode Hash() const override { return cfimpl::HashBytes(&mBytes, sizeof(mBytes)); }
    void Describe(std::string& out, int /*depth*/) const override { out += Text(); }

    std::string Text() const
    {
        static const char kHex[] = "0123456789ABCDEF";
        const UInt8* bytes = &mBytes.byte0;
        std::string text;
        for (int i = 0; i < 16; ++i)
        {
            if (i == 4 || i == 6 || i == 8 || i == 10)
            {
                text.push_back('-');
            }
            text.push_back(kHex[bytes[i] >> 4]);
            text.push_back(kHex[bytes[i] & 0xF]);
        }
        return text;
    }

    const CFUUIDBytes mBytes;
};

static_assert(sizeof(CFUUIDBytes) == 16, "CFUUIDBytes is 16 bytes");

CFTypeID CFUUIDGetTypeID(void)
{
    return cfimpl::kUUIDTypeID;
}

CFUUIDRef CFUUIDCreate(CFAllocatorRef /*alloc*/)
{
    static std::mutex sMutex;
    static std::mt19937_64 sGenerator{std::random_device{}()};
    CFUUIDBytes bytes;
    UInt8* raw = &bytes.byte0;
    {
        std::lock_guard<std::mutex> lock(sMutex);
        const std::uint64_t high = sGenerator();
        const std::uint64_t low = sGenerator();
        std::memcpy(raw, &high, 8);
        std::memcpy(raw + 8, &low, 8);
    }
    raw[6] = static_cast<UInt8>((raw[6] & 0x0F) | 0x40); // version 4
    raw[8] = static_cast<UInt8>((raw[8] & 0x3F) | 0x80); // RFC 4122 variant
    return new __CFUUID(bytes);
}

CFUUIDRef CFUUIDCreateFromUUIDBytes(CFAllocatorRef /*alloc*/, CFUUIDBytes bytes)
{
    return new __CFUUID(bytes);
}

CFUUIDRef CFUUIDCreateFromString(CFAllocatorRef /*alloc*/, CFStringRef uuidStr)
{
    if (CFGetTypeID(uuidStr) != CFStringGetTypeID())
    {
        return nullptr;
    }
    std::string text = cfimpl::StringToUTF8(uuidStr);
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
    {
        text = text.substr(1, 36);
    }
    if (text.size() != 36)
    {
        return nullptr;
    }
    CFUUIDBytes bytes;
    UInt8* raw = &bytes.byte0;
    int nibbles = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23)
        {
            if (c != '-')
            {
                return nullptr;
            }
            continue;
        }
        int value = -1;
        if (c >= '0' && c <= '9')
        {
            value = c - '0';
        }
        else if (c >= 'a' && c <= 'f')
        {
            value = c - 'a' + 10;
        }
        else if (c >= 'A' && c <= 'F')
        {
            value = c - 'A' + 10;
        }
        if (value < 0)
        {
            return nullptr;
        }
        UInt8& byte = raw[nibbles / 2];
        byte = static_cast<UInt8>((nibbles % 2 == 0) ? (value << 4) : (byte | value));
        ++nibbles;
    }
    return new __CFUUID(bytes);
}

CFStringRef CFUUIDCreateString(CFAllocatorRef /*alloc*/, CFUUIDRef uuid)
{
    const __CFUUID* object = cfimpl::As<__CFUUID>(uuid);
    return object == nullptr ? nullptr : cfimpl::CreateStringFromUTF8(object->Text());
}

CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid)
{
    const __CFUUID* object = cfimpl::As<__CFUUID>(uuid);
    if (object == nullptr)
    {
        CFUUIDBytes none;
        std::memset(&none, 0, sizeof(none));
        return none;
    }
    return object->mBytes;
}
