#pragma once
// Conversions between bytes in the supported encodings and UTF-16 code units.

#include <CoreFoundation/CFString.h>

#include <string>

namespace cfimpl
{
bool IsSupportedEncoding(CFStringEncoding encoding);

// Decodes bytes; false when they are not valid in the encoding (or it is not supported).
bool DecodeBytes(const UInt8* bytes, std::size_t length, CFStringEncoding encoding, std::u16string& out);

// Encodes units [0, length) and appends the bytes to out. A unit (or surrogate pair) that has no
// representation becomes lossByte, or ends the conversion when lossByte is 0. Returns the number
// of units converted; false in *supported for an unknown encoding.
std::size_t EncodeUnits(const char16_t* units, std::size_t length, CFStringEncoding encoding, UInt8 lossByte,
                        std::string& out, bool* supported);

// The UTF-8 form of UTF-16 units; false when they hold an unpaired surrogate (which is then
// written as U+FFFD).
bool UTF16ToUTF8(const char16_t* units, std::size_t length, std::string& out);

// The most bytes one UTF-16 unit can need in the encoding; 0 when it is not supported.
CFIndex MaxBytesPerUnit(CFStringEncoding encoding);
} // namespace cfimpl
