#pragma once
// Test helpers for the font readers: where the test fonts are, and sfnt files taken apart and put
// together again (independently of the reader under test) to make modified fonts, collections
// and hostile files.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testfonts
{
// The folder of the unpacked test font packages and a few fonts in it, as the program sees them
// (under Wine, through the Z: drive).
std::string FontsFolder();
std::string FontPath(const std::string& package, const std::string& file);
// A path of the Linux file system as the program sees it.
std::string HostPath(const std::string& linuxPath);

// An sfnt font as its tables, in directory order.
struct Font
{
    std::uint32_t version = 0;
    std::vector<std::pair<std::string, std::string>> tables; // tag, bytes
    std::string* Table(const std::string& tag);
};
Font ParseFont(const std::string& bytes);
// A single font: directory, then the tables on 4-byte boundaries (table checksums left 0).
std::string WriteFont(const Font& font);
// A 'ttcf' collection of the fonts, each with its own directory and tables.
std::string WriteCollection(const std::vector<Font>& fonts);

// Big-endian numbers in and out of byte strings.
std::uint16_t U16(const std::string& bytes, std::size_t offset);
std::uint32_t U32(const std::string& bytes, std::size_t offset);
void PutU16(std::string& bytes, std::size_t offset, std::uint16_t value);
void PutU32(std::string& bytes, std::size_t offset, std::uint32_t value);

// CRC-32 (IEEE), a bit at a time.
std::uint32_t BitwiseCrc32(const std::string& bytes);
} // namespace testfonts
