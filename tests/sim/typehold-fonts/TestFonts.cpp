#include "TestFonts.h"

#include <stdexcept>

namespace testfonts
{
std::string HostPath(const std::string& linuxPath)
{
#ifdef _WIN32
    return "Z:" + linuxPath;
#else
    return linuxPath;
#endif
}

std::string FontsFolder()
{
    return HostPath(TYPEHOLD_TEST_FONTS_DIR);
}

std::string FontPath(const std::string& package, const std::string& file)
{
    return FontsFolder() + "/" + package + "/" + file;
}

std::uint16_t U16(const std::string& bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes.at(offset)) << 8 |
                                      static_cast<std::uint8_t>(bytes.at(offset + 1)));
}

std::uint32_t U32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
    {
        value = value << 8 | static_cast<std::uint8_t>(bytes.at(offset + i));
    }
    return value;
}

void PutU16(std::string& bytes, std::size_t offset, std::uint16_t value)
{
    bytes.at(offset) = static_cast<char>(value >> 8);
    bytes.at(offset + 1) = static_cast<char>(value);
}

void PutU32(std::string& bytes, std::size_t offset, std::uint32_t value)
{
    PutU16(bytes, offset, static_cast<std::uint16_t>(value >> 16));
    PutU16(bytes, offset + 2, static_cast<std::uint16_t>(value));
}

std::string* Font::Table(const std::string& tag)
{
    for (auto& table : tables)
    {
        if (table.first == tag)
        {
            return &table.second;
        }
    }
    return nullptr;
}

Font ParseFont(const std::string& bytes)
{
    Font font;
    font.version = U32(bytes, 0);
    const std::size_t count = U16(bytes, 4);
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::size_t record = 12 + 16 * i;
        font.tables.emplace_back(bytes.substr(record, 4),
                                 bytes.substr(U32(bytes, record + 8), U32(bytes, record + 12)));
    }
    return font;
}

namespace
{
// Appends the font's directory and tables at the end of out.
void AppendFont(const Font& font, std::string& out)
{
    const std::size_t directory = out.size();
    out.append(12 + 16 * font.tables.size(), '\0');
    PutU32(out, directory, font.version);
    PutU16(out, directory + 4, static_cast<std::uint16_t>(font.tables.size()));
    for (std::size_t i = 0; i < font.tables.size(); ++i)
    {
        out.append((4 - out.size() % 4) % 4, '\0');
        const std::size_t record = directory + 12 + 16 * i;
        out.replace(record, 4, font.tables[i].first);
        PutU32(out, record + 8, static_cast<std::uint32_t>(out.size()));
        PutU32(out, record + 12, static_cast<std::uint32_t>(font.tables[i].second.size()));
        out += font.tables[i].second;
    }
}
} // namespace

std::string WriteFont(const Font& font)
{
    std::string out;
    AppendFont(font, out);
    return out;
}

std::string WriteCollection(const std::vector<Font>& fonts)
{
    std::string out = "ttcf";
    out.append(8 + 4 * fonts.size(), '\0');
    PutU16(out, 4, 1);
    PutU32(out, 8, static_cast<std::uint32_t>(fonts.size()));
    for (std::size_t i = 0; i < fonts.size(); ++i)
    {
        out.append((4 - out.size() % 4) % 4, '\0');
        PutU32(out, 12 + 4 * i, static_cast<std::uint32_t>(out.size()));
        AppendFont(fonts[i], out);
    }
    return out;
}

std::uint32_t BitwiseCrc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes)
    {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
        {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}
} // namespace testfonts
