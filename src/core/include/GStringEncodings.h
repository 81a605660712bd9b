#pragma once
// Conversions between the text forms of the system: UTF-8 byte strings inside, UTF-16 wide
// strings for Windows calls, and 8-bit text in a known code page.

#include "GErrorCodes.h"

#include <CoreFoundation/CoreFoundation.h>

// UTF-8 to UTF-16; invalid UTF-8 gives an empty result.
TUTF16String UTF8ToUTF16(const TUTF8String& text);
// UTF-16 to UTF-8; an unpaired surrogate gives an empty result.
TUTF8String UTF16ToUTF8(const TUTF16String& text);

// Core Foundation strings ------------------------------------------------------------------------

// The encodings CFStringCreateWithUncertainEncoding tries, in order: UTF-8, Windows Latin 1,
// Mac Roman, ISO Latin 1, ASCII, non-lossy ASCII; the list ends with kCFStringEncodingInvalidId.
extern const CFStringEncoding kUncertainEncodingFallbacks[7];

// The UTF-8 text of a CFString; empty for a null or empty string or a failed conversion.
TUTF8String UTF8StringFromCFString(CFStringRef string);

// A new CFString (the caller releases it) from UTF-8 text; null when the text is not valid UTF-8.
CFStringRef CreateCFStringFromUTF8String(const TUTF8String& text);

// A new CFString from a NUL-terminated string whose encoding is not known: the first encoding
// of kUncertainEncodingFallbacks that accepts the bytes. Each failure and the outcome are traced.
// Null when every encoding fails (or text is null).
CFStringRef CFStringCreateWithUncertainEncoding(const char* text);

#ifdef _WIN32
#include <string>

// UTF-8 to the wide string Windows calls take (MultiByteToWideChar, MB_ERR_INVALID_CHARS);
// invalid UTF-8 gives an empty result.
std::wstring OSMakeOSStringFromUTF8String(const TUTF8String& text);

// A NUL-terminated wide string to UTF-8; a null pointer gives an empty string. Strings are
// read up to 0x7FFFFFFF characters (a longer one is truncated and logged).
TUTF8String OSMakeUTF8StringFromOSString(const wchar_t* text);
inline TUTF8String OSMakeUTF8StringFromOSString(const std::wstring& text)
{
    return OSMakeUTF8StringFromOSString(text.c_str());
}

// Bytes in a Windows code page to UTF-8. An empty input gives CoreErrorCodes::kUnknownError;
// conversion errors map to kInvalidParam, kIndexOutOfRange, kItemNotHandled, kNotSupported or
// kUnknownError.
TErrorCode CodePageToUTF8(const TUTF8String& bytes, unsigned int codePage, TUTF8String& utf8);
#endif

// Lower-cases UTF-8 text with the system's case mapping (Windows: CharLowerW on the UTF-16
// form); invalid UTF-8 gives an empty result.
TUTF8String OSMakeLowerCaseUTF8String(const TUTF8String& text);

#ifdef _WIN32
// Paths handed to the wide Windows calls, converted into a caller's buffer of bufferLength wide
// characters (MultiByteToWideChar). The result is always NUL-terminated; it is empty when the
// path is null, does not fit or cannot be converted, and the return value says whether the
// path was converted.
//   ANSI: the system's ANSI code page (code page 0).
//   UTF-8: the UTF-8 code page.
bool OSConvertANSIPathToUTF16(const char* path, wchar_t* buffer, std::size_t bufferLength);
bool OSConvertUTF8PathToUTF16(const char* path, wchar_t* buffer, std::size_t bufferLength);
#endif
