#include "GFontText.h"

#include "GStringEncodings.h"

#include <CoreFoundation/CoreFoundation.h>

namespace typehold
{
namespace
{
constexpr TUInt32 kReplacementCharacter = 0xFFFD;

void AppendUTF8(TUInt32 codePoint, TUTF8String& text)
{
    if (codePoint < 0x80)
    {
        text += static_cast<char>(codePoint);
    }
    else if (codePoint < 0x800)
    {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    else if (codePoint < 0x10000)
    {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    else
    {
        text += static_cast<char>(0xF0 | (codePoint >> 18));
        text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}
} // namespace

TUTF8String GFontText::FromUTF16BE(const TUInt8* bytes, std::size_t count)
{
    TUTF8String text;
    text.reserve(count / 2);
    const std::size_t units = count / 2;
    for (std::size_t i = 0; i < units; ++i)
    {
        const TUInt32 unit = TUInt32(bytes[2 * i]) << 8 | bytes[2 * i + 1];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units)
        {
            const TUInt32 next = TUInt32(bytes[2 * i + 2]) << 8 | bytes[2 * i + 3];
            if (next >= 0xDC00 && next <= 0xDFFF)
            {
                AppendUTF8(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), text);
                ++i;
                continue;
            }
        }
        AppendUTF8(unit >= 0xD800 && unit <= 0xDFFF ? kReplacementCharacter : unit, text);
    }
    return text;
}

TUTF8String GFontText::FromMacRoman(const TUInt8* bytes, std::size_t count)
{
    CFStringRef string = CFStringCreateWithBytes(kCFAllocatorDefault, bytes, static_cast<CFIndex>(count),
                                                 kCFStringEncodingMacRoman, false);
    if (string == nullptr)
    {
        return FromPlainBytes(bytes, count);
    }
    TUTF8String text = UTF8StringFromCFString(string);
    CFRelease(string);
    return text;
}

bool GFontText::IsValidUTF8(const TUInt8* bytes, std::size_t count)
{
    std::size_t i = 0;
    while (i < count)
    {
        const TUInt8 lead = bytes[i];
        std::size_t length = 0;
        TUInt32 codePoint = 0;
        if (lead < 0x80)
        {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF)
        {
            length = 2;
            codePoint = lead & 0x1F;
        }
        else if (lead >= 0xE0 && lead <= 0xEF)
        {
            length = 3;
            codePoint = lead & 0x0F;
        }
        else if (lead >= 0xF0 && lead <= 0xF4)
        {
            length = 4;
            codePoint = lead & 0x07;
        }
        else
        {
            return false;
        }
        if (count - i < length)
        {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k)
        {
            if ((bytes[i + k] & 0xC0) != 0x80)
            {
                return false;
            }
            codePoint = codePoint << 6 | (bytes[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF.
        if ((length == 3 && codePoint < 0x800) ||
            (length == 4 && (codePoint < 0x10000 || codePoint > 0x10FFFF)) ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        {
            return false;
        }
        i += length;
    }
    return true;
}

TUTF8String GFontText::FromPlainBytes(const TUInt8* bytes, std::size_t count)
{
    if (IsValidUTF8(bytes, count))
    {
        return TUTF8String(reinterpret_cast<const char*>(bytes), count);
    }
    TUTF8String text;
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        AppendUTF8(bytes[i], text);
    }
    return text;
}

TUTF8String GFontText::TagText(TUInt32 tag)
{
    TUTF8String text;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const char c = static_cast<char>((tag >> shift) & 0xFF);
        text += (c >= 0x20 && c <= 0x7E) ? c : '?';
    }
    return text;
}

bool GFontText::PathFromUTF8(const TUTF8String& utf8, std::filesystem::path& path)
{
    if (!IsValidUTF8(reinterpret_cast<const TUInt8*>(utf8.data()), utf8.size()))
    {
        return false;
    }
    try
    {
        path = std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

bool GFontText::UTF8FromPath(const std::filesystem::path& path, TUTF8String& utf8)
{
    try
    {
        const std::u8string text = path.u8string();
        utf8.assign(text.begin(), text.end());
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}
} // namespace typehold
