// The encodings of CFString. The 8-bit encodings are tables of the 256 byte values, built once
// from GNU libiconv's converters; UTF-8 is validated with utfcpp; non-lossy ASCII is 7-bit ASCII
// with two backslashes for a backslash and backslash, "u", four hex digits for any other UTF-16 unit.

#include "CFStringEncodings.h"

#include <iconv.h>
#include <utf8.h>

#include <array>
#include <unordered_map>

namespace
{
constexpr char16_t kReplacementCharacter = 0xFFFD;

struct ByteTable
{
    std::array<char16_t, 256> toUnicode{};
    std::array<bool, 256> defined{};
    std::unordered_map<char16_t, UInt8> fromUnicode;
};

ByteTable BuildByteTable(const char* iconvName)
{
    ByteTable table;
    iconv_t converter = libiconv_open("UTF-16LE", iconvName);
    if (converter == reinterpret_cast<iconv_t>(-1))
    {
        return table;
    }
    for (unsigned value = 0; value < 256; ++value)
    {
        libiconv(converter, nullptr, nullptr, nullptr, nullptr);
        char input = static_cast<char>(value);
        const char* inPtr = &input;
        std::size_t inLeft = 1;
        unsigned char output[8] = {};
        char* outPtr = reinterpret_cast<char*>(output);
        std::size_t outLeft = sizeof(output);
        const std::size_t result = libiconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
        // One byte of these encodings is one character of the Basic Multilingual Plane.
        if (result != static_cast<std::size_t>(-1) && inLeft == 0 && sizeof(output) - outLeft == 2)
        {
            const char16_t unit = static_cast<char16_t>(output[0] | (output[1] << 8));
            table.toUnicode[value] = unit;
            table.defined[value] = true;
            table.fromUnicode.emplace(unit, static_cast<UInt8>(value));
        }
    }
    libiconv_close(converter);
    return table;
}

// libiconv leaves 0xF0 (the Apple logo) undefined; Mac Roman maps it to the private-use U+F8FF.
ByteTable BuildMacRomanTable()
{
    ByteTable table = BuildByteTable("MACINTOSH");
    if (!table.defined[0xF0])
    {
        table.toUnicode[0xF0] = 0xF8FF;
        table.defined[0xF0] = true;
        table.fromUnicode.emplace(0xF8FF, 0xF0);
    }
    return table;
}

const ByteTable* TableFor(CFStringEncoding encoding)
{
    switch (encoding)
    {
    case kCFStringEncodingWindowsLatin1:
    {
        static const ByteTable sTable = BuildByteTable("CP1252");
        return &sTable;
    }
    case kCFStringEncodingMacRoman:
    {
        static const ByteTable sTable = BuildMacRomanTable();
        return &sTable;
    }
    case kCFStringEncodingISOLatin1:
    {
        static const ByteTable sTable = BuildByteTable("ISO-8859-1");
        return &sTable;
    }
    case kCFStringEncodingASCII:
    {
        static const ByteTable sTable = BuildByteTable("ASCII");
        return &sTable;
    }
    default:
        return nullptr;
    }
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

int HexValue(UInt8 c)
{
    if (c >= '0' && c <= '9')
    {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f')
    {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F')
    {
        return c - 'A' + 10;
    }
    return -1;
}

bool DecodeNonLossyASCII(const UInt8* bytes, std::size_t length, std::u16string& out)
{
    for (std::size_t i = 0; i < length; ++i)
    {
        const UInt8 c = bytes[i];
        if (c >= 0x80)
        {
            return false;
        }
        if (c != '\\')
        {
            out.push_back(static_cast<char16_t>(c));
            continue;
        }
        if (i + 1 < length && bytes[i + 1] == '\\')
        {
            out.push_back(u'\\');
            ++i;
            continue;
        }
        // Backslash, "u" and four hexadecimal digits.
        if (i + 5 >= length || bytes[i + 1] != 'u')
        {
            return false;
        }
        int value = 0;
        for (std::size_t k = 2; k < 6; ++k)
        {
            const int digit = HexValue(bytes[i + k]);
            if (digit < 0)
            {
                return false;
            }
            value = value * 16 + digit;
        }
        out.push_back(static_cast<char16_t>(value));
        i += 5;
    }
    return true;
}

bool DecodeUTF8(const UInt8* bytes, std::size_t length, std::u16string& out)
{
    const char* begin = reinterpret_cast<const char*>(bytes);
    const char* end = begin + length;
    if (utf8::find_invalid(begin, end) != end)
    {
        return false;
    }
    utf8::unchecked::utf8to16(begin, end, std::back_inserter(out));
    return true;
}

void AppendUTF8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80)
    {
        out.push_back(static_cast<char>(codePoint));
    }
    else if (codePoint < 0x800)
    {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
    else if (codePoint < 0x10000)
    {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
    else
    {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}
} // namespace

bool cfimpl::IsSupportedEncoding(CFStringEncoding encoding)
{
    return encoding == kCFStringEncodingUTF8 || encoding == kCFStringEncodingNonLossyASCII ||
           TableFor(encoding) != nullptr;
}

CFIndex cfimpl::MaxBytesPerUnit(CFStringEncoding encoding)
{
    if (encoding == kCFStringEncodingUTF8)
    {
        return 3;
    }
    if (encoding == kCFStringEncodingNonLossyASCII)
    {
        return 6;
    }
    return TableFor(encoding) != nullptr ? 1 : 0;
}

bool cfimpl::DecodeBytes(const UInt8* bytes, std::size_t length, CFStringEncoding encoding,
                         std::u16string& out)
{
    out.clear();
    if (length > 0 && bytes == nullptr)
    {
        return false;
    }
    out.reserve(length);
    if (encoding == kCFStringEncodingUTF8)
    {
        return DecodeUTF8(bytes, length, out);
    }
    if (encoding == kCFStringEncodingNonLossyASCII)
    {
        return DecodeNonLossyASCII(bytes, length, out);
    }
    const ByteTable* table = TableFor(encoding);
    if (table == nullptr)
    {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i)
    {
        if (!table->defined[bytes[i]])
        {
            return false;
        }
        out.push_back(table->toUnicode[bytes[i]]);
    }
    return true;
}

bool cfimpl::UTF16ToUTF8(const char16_t* units, std::size_t length, std::string& out)
{
    bool valid = true;
    for (std::size_t i = 0; i < length; ++i)
    {
        const char16_t unit = units[i];
        if (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(units[i + 1]))
        {
            AppendUTF8(out,
                       0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        }
        else if (IsHighSurrogate(unit) || IsLowSurrogate(unit))
        {
            AppendUTF8(out, kReplacementCharacter);
            valid = false;
        }
        else
        {
            AppendUTF8(out, unit);
        }
    }
    return valid;
}

std::size_t cfimpl::EncodeUnits(const char16_t* units, std::size_t length, CFStringEncoding encoding,
                                UInt8 lossByte, std::string& out, bool* supported)
{
    *supported = true;
    const ByteTable* table = TableFor(encoding);
    if (encoding != kCFStringEncodingUTF8 && encoding != kCFStringEncodingNonLossyASCII && table == nullptr)
    {
        *supported = false;
        return 0;
    }
    std::size_t i = 0;
    while (i < length)
    {
        const char16_t unit = units[i];
        if (encoding == kCFStringEncodingUTF8)
        {
            if (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(units[i + 1]))
            {
                AppendUTF8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                                    (units[i + 1] - 0xDC00));
                i += 2;
                continue;
            }
            if (!IsHighSurrogate(unit) && !IsLowSurrogate(unit))
            {
                AppendUTF8(out, unit);
                ++i;
                continue;
            }
        }
        else if (encoding == kCFStringEncodingNonLossyASCII)
        {
            static const char kHex[] = "0123456789abcdef";
            if (unit == u'\\')
            {
                out += "\\\\";
            }
            else if (unit < 0x80)
            {
                out.push_back(static_cast<char>(unit));
            }
            else
            {
                out += "\\u";
                for (int shift = 12; shift >= 0; shift -= 4)
                {
                    out.push_back(kHex[(unit >> shift) & 0xF]);
                }
            }
            ++i;
            continue;
        }
        else
        {
            const auto found = table->fromUnicode.find(unit);
            if (found != table->fromUnicode.end())
            {
                out.push_back(static_cast<char>(found->second));
                ++i;
                continue;
            }
        }
        // No representation.
        if (lossByte == 0)
        {
            break;
        }
        out.push_back(static_cast<char>(lossByte));
        i += (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(units[i + 1])) ? 2 : 1;
    }
    return i;
}
