// The font reader on real fonts, judged against fontconfig (fc-scan, run at test time), and on
// fonts taken apart and put together again: collections, name and version fallbacks, hostile bytes.
#include "GCrc32.h"
#include "GSfntReader.h"
#include "ScratchFolder.h"
#include "TestFonts.h"
#include "TypeholdFonts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

using namespace testfonts;
using typehold::FontFace;

namespace
{
std::vector<FontFace> FacesOf(const std::string& bytes, std::string& error)
{
    // A buffer of exactly the data's size, so that AddressSanitizer sees any read beyond it.
    const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    std::vector<FontFace> faces;
    if (!typehold::GSfntReader::ReadAllFaces(data.data(), data.size(), faces, error))
    {
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(std::string::npos, error.find('\n')) << error;
    }
    return faces;
}

std::map<std::uint16_t, std::string> NamesOf(const std::string& bytes, std::uint32_t faceIndex)
{
    typehold::GSfntReader reader(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    std::string error;
    FontFace face;
    EXPECT_TRUE(reader.ReadHeader(error) && reader.ReadFace(faceIndex, face, error)) << error;
    return reader.Names();
}

std::vector<std::string> Split(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, separator);)
    {
        fields.push_back(field);
    }
    return fields;
}

// Changes a field of every name record that satisfies the predicate (in place, so the text
// stays where it is).
template <typename Predicate>
void RetagNameRecords(std::string& name, std::size_t field, std::uint16_t value, Predicate predicate)
{
    const std::size_t count = U16(name, 2);
    for (std::size_t record = 6; record < 6 + 12 * count; record += 12)
    {
        if (predicate(U16(name, record), U16(name, record + 6)))
        {
            PutU16(name, record + 2 * field, value);
        }
    }
}
} // namespace

TEST(FontFileTest, NamesAndKindsAgreeWithFontconfig)
{
    std::ifstream oracle(PathFromUTF8(HostPath(TYPEHOLD_TEST_ORACLE)));
    ASSERT_TRUE(oracle) << "fc-scan's description of the test fonts is missing";
    std::map<std::string, std::vector<FontFace>> files;
    std::size_t described = 0;
    for (std::string line; std::getline(oracle, line); ++described)
    {
        const std::vector<std::string> fc = Split(line, '|'); // path, index, PostScript name, family, format
        ASSERT_EQ(5u, fc.size()) << line;
        const std::string path = HostPath(fc[0]);
        std::vector<FontFace>& faces = files[path];
        if (faces.empty())
        {
            std::string error;
            EXPECT_TRUE(typehold::ReadFontFile(path, faces, error)) << path << ": " << error;
        }
        const std::size_t index = std::stoul(fc[1]);
        ASSERT_LT(index, faces.size()) << line;
        const FontFace& face = faces[index];
        EXPECT_EQ(fc[2], face.postScriptName) << path;
        if (fc[3] != face.family)
        {
            // fontconfig may name the family by name ID 1 where the face has a typographic family.
            EXPECT_EQ(fc[3], NamesOf(ReadWholeFile(path), static_cast<std::uint32_t>(index))[1]) << path;
        }
        EXPECT_EQ(fc[4].rfind("CFF", 0) == 0 ? "OpenType" : "TrueType", face.kind) << path;
        EXPECT_EQ(path, face.filePath);
        EXPECT_EQ(UTF8FromPath(PathFromUTF8(path).filename()), face.fileName);
        EXPECT_EQ(std::filesystem::file_size(PathFromUTF8(path)), face.fileSize);
    }
    // The six test font packages alone have 47 faces.
    EXPECT_GE(described, 47u);
}

TEST(FontFileTest, ChecksumsCoverTheTablesTheyName)
{
    EXPECT_EQ(0xCBF43926u, typehold::GCrc32::Of(reinterpret_cast<const std::uint8_t*>("123456789"), 9));
    for (const std::string& path : {FontPath("fonts-crosextra-carlito", "Carlito-Regular.ttf"),
                                    FontPath("fonts-liberation", "LiberationSans-Regular.ttf"),
                                    FontPath("fonts-cantarell", "Cantarell-Bold.otf")})
    {
        const std::string bytes = ReadWholeFile(path);
        Font font = ParseFont(bytes);
        std::string whole;
        for (const auto& table : font.tables)
        {
            whole += table.second;
        }
        const bool cff = font.Table("CFF ") != nullptr;
        const std::string outline = cff ? *font.Table("CFF ") : *font.Table("glyf") + *font.Table("loca");
        const std::string kerning = (font.Table("kern") ? *font.Table("kern") : "") + *font.Table("GPOS");
        std::string error;
        const std::vector<FontFace> faces = FacesOf(bytes, error);
        ASSERT_EQ(1u, faces.size()) << path << ": " << error;
        EXPECT_EQ(BitwiseCrc32(whole), faces[0].checksum) << path;
        EXPECT_EQ(BitwiseCrc32(outline), faces[0].outlineChecksum) << path;
        EXPECT_EQ(BitwiseCrc32(kerning) & 0xFFFFF, faces[0].kerningChecksum) << path;

        // Without 'kern' and 'GPOS' there is no kerning checksum; table checksums are not looked at.
        std::erase_if(font.tables,
                      [](const auto& table) { return table.first == "kern" || table.first == "GPOS"; });
        const std::vector<FontFace> bare = FacesOf(WriteFont(font), error);
        ASSERT_EQ(1u, bare.size()) << error;
        EXPECT_EQ(0u, bare[0].kerningChecksum);
        EXPECT_EQ(faces[0].outlineChecksum, bare[0].outlineChecksum);
        EXPECT_NE(faces[0].checksum, bare[0].checksum);
    }
}

TEST(FontFileTest, CollectionFacesMatchTheirSingleFonts)
{
    const std::vector<std::string> singles = {FontPath("fonts-crosextra-carlito", "Carlito-Regular.ttf"),
                                              FontPath("fonts-cantarell", "Cantarell-Bold.otf")};
    std::vector<Font> fonts;
    std::vector<FontFace> expected;
    for (const std::string& path : singles)
    {
        fonts.push_back(ParseFont(ReadWholeFile(path)));
        std::vector<FontFace> faces;
        std::string error;
        ASSERT_TRUE(typehold::ReadFontFile(path, faces, error)) << error;
        expected.push_back(faces[0]);
    }
    ScratchFolder scratch("typehold-collection");
    const std::string collection = WriteCollection(fonts);
    const std::string path = scratch.WriteFile("Pair.ttc", collection);
    std::vector<FontFace> faces;
    std::string error;
    ASSERT_TRUE(typehold::ReadFontFile(path, faces, error)) << error;
    ASSERT_EQ(2u, faces.size());
    for (std::uint32_t i = 0; i < 2; ++i)
    {
        EXPECT_EQ(i, faces[i].faceIndex);
        EXPECT_EQ(expected[i].postScriptName, faces[i].postScriptName);
        EXPECT_EQ(expected[i].kind, faces[i].kind);
        EXPECT_EQ(expected[i].checksum, faces[i].checksum);
        EXPECT_EQ(expected[i].outlineChecksum, faces[i].outlineChecksum);
        EXPECT_EQ(expected[i].kerningChecksum, faces[i].kerningChecksum);
        EXPECT_EQ("Pair.ttc", faces[i].fileName);
        EXPECT_EQ(collection.size(), faces[i].fileSize);
    }
}

TEST(FontFileTest, NamesVersionAndFoundryFallBack)
{
    // Carlito carries its names for Windows and for the Mac: without the Windows records the Mac
    // Roman ones give the same text.
    const std::string carlito = ReadWholeFile(FontPath("fonts-crosextra-carlito", "Carlito-Regular.ttf"));
    Font macOnly = ParseFont(carlito);
    RetagNameRecords(*macOnly.Table("name"), 0, 7, [](unsigned platform, unsigned) { return platform == 3; });
    EXPECT_EQ(NamesOf(carlito, 0), NamesOf(WriteFont(macOnly), 0));

    // Cantarell has no manufacturer name: the OS/2 vendor ID stands in, trimmed.
    const std::string cantarell = ReadWholeFile(FontPath("fonts-cantarell", "Cantarell-Regular.otf"));
    std::string error;
    EXPECT_EQ("0.303", FacesOf(cantarell, error).at(0).version);
    EXPECT_EQ("ABAT", FacesOf(cantarell, error).at(0).foundry);
    Font font = ParseFont(cantarell);
    std::string& os2 = *font.Table("OS/2");
    os2.replace(58, 4, "AB  ");
    EXPECT_EQ("AB", FacesOf(WriteFont(font), error).at(0).foundry);
    os2.replace(58, 4, "    ");
    EXPECT_EQ("", FacesOf(WriteFont(font), error).at(0).foundry);

    // Without a version string, head.fontRevision (16.16 fixed) as "%.3f".
    RetagNameRecords(*font.Table("name"), 3, 255, [](unsigned, unsigned nameID) { return nameID == 5; });
    PutU32(*font.Table("head"), 4, 0x00028000);
    EXPECT_EQ("2.500", FacesOf(WriteFont(font), error).at(0).version);

    // Typographic family and subfamily (16, 17) win over family and subfamily (1, 2).
    const FontFace condensed =
        FacesOf(ReadWholeFile(FontPath("fonts-open-sans", "OpenSans-CondLightItalic.ttf")), error).at(0);
    EXPECT_EQ("Open Sans", condensed.family);
    EXPECT_EQ("Condensed Light Italic", condensed.style);
}

TEST(FontFileHostileTest, TruncatedFontsFailWithAReason)
{
    const std::string bytes = ReadWholeFile(FontPath("fonts-ebgaramond", "EBGaramond12-Bold.otf"));
    // The end of the last table: the directory's largest offset + length.
    std::size_t end = 0;
    const std::size_t tableCount = U16(bytes, 4);
    for (std::size_t i = 0; i < tableCount; ++i)
    {
        end = std::max<std::size_t>(end, U32(bytes, 12 + 16 * i + 8) + U32(bytes, 12 + 16 * i + 12));
    }
    for (std::size_t length = 0; length < end; length += (length < 400 ? 1 : 97))
    {
        std::string error;
        EXPECT_TRUE(FacesOf(bytes.substr(0, length), error).empty()) << length;
    }
    std::string error;
    EXPECT_EQ(1u, FacesOf(bytes.substr(0, end), error).size()) << error;
}

TEST(FontFileHostileTest, BadOffsetsAndHugeCountsFailWithAReason)
{
    const std::string original = ReadWholeFile(FontPath("fonts-ebgaramond", "EBGaramond12-Bold.otf"));
    const std::size_t tableCount = U16(original, 4);
    std::size_t nameRecord = 0;
    std::size_t headRecord = 0;
    for (std::size_t record = 12; record < 12 + 16 * tableCount; record += 16)
    {
        nameRecord = original.compare(record, 4, "name") == 0 ? record : nameRecord;
        headRecord = original.compare(record, 4, "head") == 0 ? record : headRecord;
    }
    const std::size_t nameTable = U32(original, nameRecord + 8);
    const std::uint32_t size = static_cast<std::uint32_t>(original.size());
    const Font font = ParseFont(original);
    const struct
    {
        const char* what;
        std::function<void(std::string&)> change;
        const char* reason;
    } cases[] = {
        {"table past the end", [&](std::string& b) { PutU32(b, nameRecord + 8, size + 4); }, "past the end"},
        {"huge table length", [&](std::string& b) { PutU32(b, nameRecord + 12, 0xFFFFFFFF); },
         "past the end"},
        {"huge table count", [](std::string& b) { PutU16(b, 4, 0xFFFF); }, "table directory"},
        {"no tables", [](std::string& b) { PutU16(b, 4, 0); }, "no tables"},
        {"overlapping tables",
         [&](std::string& b)
         {
             for (std::size_t record = 12; record < 12 + 16 * tableCount; record += 16)
             {
                 PutU32(b, record + 8, 0);
                 PutU32(b, record + 12, size);
             }
         },
         "overlapping"},
        {"huge name record count", [&](std::string& b) { PutU16(b, nameTable + 2, 0xFFFF); }, "records"},
        {"name strings outside the table", [&](std::string& b) { PutU16(b, nameTable + 4, 0xFFF0); },
         "no PostScript name"},
        {"no name table", [&](std::string& b) { b.replace(nameRecord, 4, "nam_"); }, "no name table"},
        {"short head table", [&](std::string& b) { PutU32(b, headRecord + 12, 10); }, "head table too short"},
        {"huge face count",
         [&](std::string& b)
         {
             b = WriteCollection({font});
             PutU32(b, 8, 0xFFFFFFFF);
         },
         "faces"},
        {"face past the end",
         [&](std::string& b)
         {
             b = WriteCollection({font});
             PutU32(b, 12, size * 2);
         },
         "face 0: table directory"},
        {"web font", [](std::string& b) { b.replace(0, 4, "wOFF"); }, "WOFF"},
        {"Type 1 font", [](std::string& b) { b = "%!PS-AdobeFont-1.0: Hostile 001.000\n"; }, "Type 1"},
        {"three bytes", [](std::string& b) { b = "OTT"; }, "too short"},
    };
    for (const auto& test : cases)
    {
        std::string bytes = original;
        test.change(bytes);
        std::string error;
        EXPECT_TRUE(FacesOf(bytes, error).empty()) << test.what;
        EXPECT_NE(std::string::npos, error.find(test.reason)) << test.what << ": " << error;
    }
}
