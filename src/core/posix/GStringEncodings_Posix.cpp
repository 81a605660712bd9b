#include "GStringEncodings.h"

#include <utf8.h>

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
