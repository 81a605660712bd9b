#include "GStringEncodings.h"

#include <utf8.h>

#include <clocale>
#include <cwctype>
#include <locale.h>

TUTF16String UTF8ToUTF16(const TUTF8String& text)
{
    TUTF16String result;
    try
    {
        utf8::utf8to16(text.begin(), text.end(), std::back_inserter(result));
    }
    catch (const utf8::exception&)
    {
        result.clear();
    }
    return result;
}

TUTF8String UTF16ToUTF8(const TUTF16String& text)
{
    TUTF8String result;
    try
    {
        utf8::utf16to8(text.begin(), text.end(), std::back_inserter(result));
    }
    catch (const utf8::exception&)
    {
        result.clear();
    }
    return result;
}

TUTF8String OSMakeLowerCaseUTF8String(const TUTF8String& text)
{
    // The C.UTF-8 locale's case mapping, independent of the process's global locale; plain ASCII
    // lower-casing where that locale does not exist.
    static const locale_t sUTF8Locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    std::u32string codePoints;
    try
    {
        utf8::utf8to32(text.begin(), text.end(), std::back_inserter(codePoints));
    }
    catch (const utf8::exception&)
    {
        return TUTF8String();
    }
    for (char32_t& c : codePoints)
    {
        if (sUTF8Locale != static_cast<locale_t>(0))
        {
            c = static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), sUTF8Locale));
        }
        else if (c >= U'A' && c <= U'Z')
        {
            c = c - U'A' + U'a';
        }
    }
    TUTF8String result;
    utf8::utf32to8(codePoints.begin(), codePoints.end(), std::back_inserter(result));
    return result;
}
