#pragma once
// The file reference ('FilR', type 'alis') the stand-in hands out for a document: a handle whose
// data is our own alias record,
//   the path as narrow text in the system code page, NUL,
//   one zero byte when needed so that the next part starts at an even offset,
//   the same path as UTF-16LE, NUL-terminated,
//   an empty UTF-16 string (two zero bytes).
// Characters the code page cannot hold become '?' in the narrow copy, so for such paths the
// narrow copy names no file and only the UTF-16 copy is right; a "stale" alias has every
// character of the narrow copy's file name replaced by '?' to produce the same situation on
// purpose.

#include <cstdint>
#include <string>
#include <vector>

std::vector<std::uint8_t> BuildAliasRecord(const std::string& narrowPath, const std::u16string& widePath);

// The narrow path with every byte of its file name (after the last '\\' or '/') replaced by '?'.
std::string StaleNarrowPath(const std::string& narrowPath);

#ifdef _WIN32
// The alias record of a UTF-8 path: the narrow copy in the ANSI code page (no best-fit
// replacements: what the code page lacks is '?'), made stale on request. An empty path (or one
// that is not UTF-8) gives an empty record.
std::vector<std::uint8_t> MakeFileAlias(const std::string& utf8Path, bool stale);
#endif
