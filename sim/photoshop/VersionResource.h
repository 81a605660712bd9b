#pragma once
// Version resources (VS_VERSIONINFO) built from scratch: the fixed file information with the file
// and product versions, one string table (language 0x0409, code page 1200) and the translation
// entry. The photoshop-sim copy that plays another host version gets one of these.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// a.b.c.d, each part 0-65535; missing trailing parts are 0 ("20.0" is 20.0.0.0).
using VersionNumbers = std::array<std::uint16_t, 4>;

bool ParseVersionNumbers(const std::string& text, VersionNumbers& version);
std::string FormatVersionNumbers(const VersionNumbers& version);

// The resource's bytes; strings are (name, value) pairs in UTF-16.
std::vector<std::uint8_t>
BuildVersionResource(const VersionNumbers& fileVersion, const VersionNumbers& productVersion,
                     const std::vector<std::pair<std::u16string, std::u16string>>& strings);
