#include "TypeholdWire.h"

#include <cstring>
#include <vector>

namespace typehold
{
namespace
{
void AppendU32(std::string& out, std::uint32_t value)
{
    char bytes[4];
    for (int i = 0; i < 4; ++i)
    {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    out.append(bytes, 4);
}

void AppendU64(std::string& out, std::uint64_t value)
{
    char bytes[8];
    for (int i = 0; i < 8; ++i)
    {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    out.append(bytes, 8);
}

bool EncodeString(CFStringRef string, std::string& out)
{
    // One conversion into room for the longest form (three bytes per UTF-16 unit).
    const CFIndex length = CFStringGetLength(string);
    std::vector<UInt8> bytes(static_cast<std::size_t>(length) * 3);
    CFIndex used = 0;
    const CFIndex converted =
        CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false, bytes.data(),
                         static_cast<CFIndex>(bytes.size()), &used);
    if (converted != length)
    {
        return false; // an unpaired surrogate has no UTF-8 form
    }
    AppendU32(out, static_cast<std::uint32_t>(used));
    out.append(reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(used));
    return true;
}

bool Encode(CFTypeRef value, std::string& out, int depth)
{
    if (value == nullptr || depth > kMaxWireDepth)
    {
        return false;
    }
    const CFTypeID type = CFGetTypeID(value);
    if (type == CFStringGetTypeID())
    {
        out.push_back('S');
        return EncodeString(static_cast<CFStringRef>(value), out);
    }
    if (type == CFNumberGetTypeID())
    {
        CFNumberRef number = static_cast<CFNumberRef>(value);
        if (CFNumberIsFloatType(number))
        {
            double real = 0;
            CFNumberGetValue(number, kCFNumberFloat64Type, &real);
            std::uint64_t bits = 0;
            std::memcpy(&bits, &real, sizeof(bits));
            out.push_back('R');
            AppendU64(out, bits);
        }
        else
        {
            SInt64 integer = 0;
            CFNumberGetValue(number, kCFNumberSInt64Type, &integer);
            out.push_back('I');
            AppendU64(out, static_cast<std::uint64_t>(integer));
        }
        return true;
    }
    if (type == CFBooleanGetTypeID())
    {
        out.push_back(CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? 'T' : 'F');
        return true;
    }
    if (type == CFDataGetTypeID())
    {
        CFDataRef data = static_cast<CFDataRef>(value);
        out.push_back('D');
        AppendU32(out, static_cast<std::uint32_t>(CFDataGetLength(data)));
        out.append(reinterpret_cast<const char*>(CFDataGetBytePtr(data)),
                   static_cast<std::size_t>(CFDataGetLength(data)));
        return true;
    }
    if (type == CFArrayGetTypeID())
    {
        CFArrayRef array = static_cast<CFArrayRef>(value);
        const CFIndex count = CFArrayGetCount(array);
        out.push_back('A');
        AppendU32(out, static_cast<std::uint32_t>(count));
        for (CFIndex i = 0; i < count; ++i)
        {
            if (!Encode(CFArrayGetValueAtIndex(array, i), out, depth + 1))
            {
                return false;
            }
        }
        return true;
    }
    if (type == CFDictionaryGetTypeID())
    {
        CFDictionaryRef dictionary = static_cast<CFDictionaryRef>(value);
        const CFIndex count = CFDictionaryGetCount(dictionary);
        std::vector<const void*> keys(static_cast<std::size_t>(count));
        std::vector<const void*> values(static_cast<std::size_t>(count));
        CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
        out.push_back('M');
        AppendU32(out, static_cast<std::uint32_t>(count));
        for (CFIndex i = 0; i < count; ++i)
        {
            if (!Encode(keys[static_cast<std::size_t>(i)], out, depth + 1) ||
                !Encode(values[static_cast<std::size_t>(i)], out, depth + 1))
            {
                return false;
            }
        }
        return true;
    }
    return false;
}

class GWireReader
{
public:
    GWireReader(const unsigned char* bytes, std::size_t size) : mpBytes(bytes), mSize(size) {}

    std::size_t Remaining() const { return mSize - mPosition; }
    const std::string& Error() const { return mError; }

    CFTypeRef Value(int depth)
    {
        if (depth > kMaxWireDepth)
        {
            return Fail("containers nested too deeply");
        }
        unsigned char tag = 0;
        if (!Byte(tag))
        {
            return nullptr;
        }
        switch (tag)
        {
        case 'T':
            return CFRetain(kCFBooleanTrue);
        case 'F':
            return CFRetain(kCFBooleanFalse);
        case 'I':
        {
            std::uint64_t bits = 0;
            if (!U64(bits))
            {
                return nullptr;
            }
            const SInt64 integer = static_cast<SInt64>(bits);
            if (integer >= INT32_MIN && integer <= INT32_MAX)
            {
                const SInt32 narrow = static_cast<SInt32>(integer);
                return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &narrow);
            }
            return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &integer);
        }
        case 'R':
        {
            std::uint64_t bits = 0;
            if (!U64(bits))
            {
                return nullptr;
            }
            double real = 0;
            std::memcpy(&real, &bits, sizeof(real));
            return CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &real);
        }
        case 'S':
        {
            std::uint32_t size = 0;
            if (!Count(size, 1))
            {
                return nullptr;
            }
            CFStringRef string =
                CFStringCreateWithBytes(kCFAllocatorDefault, mpBytes + mPosition, static_cast<CFIndex>(size),
                                        kCFStringEncodingUTF8, false);
            if (string == nullptr)
            {
                return Fail("a string is not valid UTF-8");
            }
            mPosition += size;
            return string;
        }
        case 'D':
        {
            std::uint32_t size = 0;
            if (!Count(size, 1))
            {
                return nullptr;
            }
            CFDataRef data =
                CFDataCreate(kCFAllocatorDefault, mpBytes + mPosition, static_cast<CFIndex>(size));
            mPosition += size;
            return data;
        }
        case 'A':
            return Array(depth);
        case 'M':
            return Dictionary(depth);
        default:
            return Fail("unknown value tag " + std::to_string(tag));
        }
    }

private:
    CFTypeRef Array(int depth)
    {
        std::uint32_t count = 0;
        if (!Count(count, 1)) // every element takes at least its tag byte
        {
            return nullptr;
        }
        CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        for (std::uint32_t i = 0; i < count; ++i)
        {
            CFTypeRef element = Value(depth + 1);
            if (element == nullptr)
            {
                CFRelease(array);
                return nullptr;
            }
            CFArrayAppendValue(array, element);
            CFRelease(element);
        }
        return array;
    }

    CFTypeRef Dictionary(int depth)
    {
        std::uint32_t count = 0;
        if (!Count(count, 2)) // a key and a value of at least one byte each
        {
            return nullptr;
        }
        CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        for (std::uint32_t i = 0; i < count; ++i)
        {
            CFTypeRef key = Value(depth + 1);
            CFTypeRef value = key != nullptr ? Value(depth + 1) : nullptr;
            if (value == nullptr)
            {
                if (key != nullptr)
                {
                    CFRelease(key);
                }
                CFRelease(dictionary);
                return nullptr;
            }
            CFDictionarySetValue(dictionary, key, value);
            CFRelease(key);
            CFRelease(value);
        }
        return dictionary;
    }

    bool Byte(unsigned char& value)
    {
        if (Remaining() < 1)
        {
            Fail("truncated value");
            return false;
        }
        value = mpBytes[mPosition++];
        return true;
    }

    bool U64(std::uint64_t& value)
    {
        if (Remaining() < 8)
        {
            Fail("truncated number");
            return false;
        }
        value = 0;
        for (int i = 7; i >= 0; --i)
        {
            value = (value << 8) | mpBytes[mPosition + static_cast<std::size_t>(i)];
        }
        mPosition += 8;
        return true;
    }

    // A count of items of at least bytesPerItem bytes each, which must fit in what remains.
    bool Count(std::uint32_t& count, std::size_t bytesPerItem)
    {
        if (Remaining() < 4)
        {
            Fail("truncated count");
            return false;
        }
        count = ReadFrameHeader(mpBytes + mPosition);
        mPosition += 4;
        if (static_cast<std::uint64_t>(count) * bytesPerItem > Remaining())
        {
            Fail("a count of " + std::to_string(count) + " runs past the end of the message");
            return false;
        }
        return true;
    }

    std::nullptr_t Fail(const std::string& reason)
    {
        if (mError.empty())
        {
            mError = reason + " at byte " + std::to_string(mPosition);
        }
        return nullptr;
    }

    const unsigned char* mpBytes;
    std::size_t mSize;
    std::size_t mPosition = 0;
    std::string mError;
};
} // namespace

bool EncodeWireValue(CFTypeRef value, std::string& out)
{
    return Encode(value, out, 0);
}

CFTypeRef DecodeWireValue(const void* bytes, std::size_t size, std::string& error)
{
    if (bytes == nullptr && size != 0)
    {
        error = "no bytes";
        return nullptr;
    }
    GWireReader reader(static_cast<const unsigned char*>(bytes), size);
    CFTypeRef value = reader.Value(0);
    if (value == nullptr)
    {
        error = reader.Error();
        return nullptr;
    }
    if (reader.Remaining() != 0)
    {
        CFRelease(value);
        error = std::to_string(reader.Remaining()) + " bytes follow the value";
        return nullptr;
    }
    return value;
}

bool EncodeWireFrame(CFTypeRef value, std::string& frame)
{
    frame.assign(kFrameHeaderSize, '\0');
    if (!EncodeWireValue(value, frame))
    {
        return false;
    }
    const std::size_t payload = frame.size() - kFrameHeaderSize;
    if (payload > kMaxFramePayload)
    {
        return false;
    }
    std::string header;
    AppendU32(header, static_cast<std::uint32_t>(payload));
    frame.replace(0, kFrameHeaderSize, header);
    return true;
}

std::uint32_t ReadFrameHeader(const void* header)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(header);
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}
} // namespace typehold
