#pragma once
// Text as fonts and documents store it, turned into UTF-8, and file-system paths from UTF-8.

#include "GTypes.h"

#include <cstddef>
#include <filesystem>

namespace typehold
{
namespace GFontText
{
// UTF-16 big-endian code units (an odd last byte is dropped); unpaired surrogates become U+FFFD.
TUTF8String FromUTF16BE(const TUInt8* bytes, std::size_t count);
// Mac OS Roman bytes.
TUTF8String FromMacRoman(const TUInt8* bytes, std::size_t count);
// Bytes of unknown 8-bit text: kept when they are valid UTF-8, otherwise read as ISO Latin 1.
TUTF8String FromPlainBytes(const TUInt8* bytes, std::size_t count);
bool IsValidUTF8(const TUInt8* bytes, std::size_t count);

// A four-character table tag for messages: its characters, with '?' for anything unprintable.
TUTF8String TagText(TUInt32 tag);

// Paths: UTF-8 text to a file-system path (wide on Windows) and back; false when the text or the
// name cannot be converted (invalid UTF-8, a Windows name with an unpaired surrogate).
bool PathFromUTF8(const TUTF8String& utf8, std::filesystem::path& path);
bool UTF8FromPath(const std::filesystem::path& path, TUTF8String& utf8);
} // namespace GFontText
} // namespace typehold
