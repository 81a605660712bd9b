// Font names of documents: the real PSD/PSB/PDF/AI files written by independent tools (ag-psd,
// ghostscript) against what independent readers report, the same names whatever the chunk size,
// the encodings of both formats, files that cannot be read and a document beyond 2 GiB.
#include "GDocumentScanner.h"
#include "ScratchFolder.h"
#include "TestFonts.h"
#include "TypeholdFonts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

using typehold::GDocumentScanner;

namespace
{
// The names of the bytes, after checking that every chunk size gives the same ones.
template <typename Scanner>
std::vector<std::string> ScanInChunks(const std::string& bytes)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    Scanner whole;
    whole.ScanMemory(data, bytes.size(), bytes.size() + 1);
    for (const std::size_t chunkSize : {1, 2, 3, 7, 64, 4093})
    {
        Scanner chunked;
        chunked.ScanMemory(data, bytes.size(), chunkSize);
        EXPECT_EQ(whole.Names(), chunked.Names()) << "chunks of " << chunkSize;
    }
    return whole.Names();
}

std::vector<std::string> ReadNames(const std::string& path)
{
    std::vector<std::string> names;
    std::string error;
    EXPECT_TRUE(typehold::ReadDocumentFontNames(path, names, error)) << path << ": " << error;
    return names;
}
} // namespace

TEST(DocumentFontNamesTest, RealDocumentsGiveWhatIndependentReadersReport)
{
    const std::string folder = testfonts::HostPath(TYPEHOLD_TEST_DOCUMENTS_DIR);
    std::set<std::string> extensions;
    for (const auto& entry : std::filesystem::directory_iterator(PathFromUTF8(folder)))
    {
        if (entry.path().extension() != ".fonts")
        {
            continue;
        }
        const std::string document = UTF8FromPath(entry.path().parent_path() / entry.path().stem());
        extensions.insert(UTF8FromPath(PathFromUTF8(document).extension()));
        std::set<std::string> expected;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);)
        {
            expected.insert(line);
        }
        const std::vector<std::string> names = ReadNames(document);
        EXPECT_EQ(expected, std::set<std::string>(names.begin(), names.end())) << document;
        EXPECT_EQ(expected.size(), names.size()) << document; // no duplicates
        const std::string bytes = ReadWholeFile(document);
        const bool photoshop = document.back() == 'd' || document.back() == 'b';
        EXPECT_EQ(names, photoshop ? ScanInChunks<typehold::GPhotoshopFontScanner>(bytes)
                                   : ScanInChunks<typehold::GPDFFontScanner>(bytes));
    }
    EXPECT_EQ((std::set<std::string>{".ai", ".pdf", ".psb", ".psd"}), extensions);
}

TEST(DocumentFontNamesTest, NamesAreDecodedAndTakenOnlyWhereFontsAreNamed)
{
    EXPECT_EQ(
        (std::vector<std::string>{"Times New Roman", "Abcdef+Keep", "Helvetica", "Caf\xC3\xA9", "QRSTUV+"}),
        ScanInChunks<typehold::GPDFFontScanner>(
            "<< /Type /Font /BaseFont /ABCDEF+Times#20New#20Roman >>\n/FontName/Abcdef+Keep /FontNameX /Nope "
            "/BaseFont\r\n/Helvetica/FontName /XYZABC+Helvetica /BaseFont (NotAName) /BaseFont /Caf#E9 "
            "/FontName /QRSTUV+"));

    const std::string utf16 = std::string("\xFE\xFF\0A\0\\(\0B", 9); // "A(B", the parenthesis escaped
    EXPECT_EQ((std::vector<std::string>{"A(B", "Plain-Name", "Nested (Name)"}),
              ScanInChunks<typehold::GPhotoshopFontScanner>(
                  "/KinsokuSet [ << /Name (PhotoshopKinsokuHard) >> ] /FontSetX [ << /Name (No) >> ]\n"
                  "/FontSet [\n\t<< /Name (" +
                  utf16 +
                  ") /Script 0 >>\n\t<< /Name (AdobeInvisFont) /FontType 0 >>\n"
                  "\t<< /Script (x) /Name (Plain-Name) /Synthetic 0 >> << /Name (Nested (Name)) >>\n]\n"
                  "/StyleSheetSet [ << /Name (Normal RGB) >> ] /FontSet << /Name (NotAnArray) >>"));
}

TEST(DocumentFontNamesTest, FilesThatCannotBeReadFailWithAReason)
{
    ScratchFolder scratch("typehold-documents");
    scratch.MakeFolder("folder.psd");
    const std::vector<std::string> paths = {
        scratch.Child("missing.pdf"), scratch.WriteFile("notes.txt", "/BaseFont /X"),
        scratch.WriteFile("empty.pdf", ""), scratch.WriteFile("fake.psd", "%PDF-1.4"),
        scratch.Child("folder.psd")};
    for (const std::string& path : paths)
    {
        std::vector<std::string> names = {"stale"};
        std::string error;
        EXPECT_FALSE(typehold::ReadDocumentFontNames(path, names, error)) << path;
        EXPECT_FALSE(error.empty()) << path;
        EXPECT_TRUE(names.empty()) << path;
    }
}

// A PSB header (version 2, 3 channels, 16 x 16, 8 bits, RGB), empty color mode data and image
// resources, and the 64-bit length of the layer and mask section.
std::string LargeDocumentHeader(std::uint64_t layerSectionLength)
{
    std::string bytes("8BPS\0\2\0\0\0\0\0\0\0\3\0\0\0\x10\0\0\0\x10\0\x08\0\3", 26);
    bytes += std::string(8, '\0');
    for (int shift = 56; shift >= 0; shift -= 8)
    {
        bytes += static_cast<char>((layerSectionLength >> shift) & 0xFF);
    }
    return bytes;
}

TEST(DocumentFontNamesTest, TheLayerSectionIsReadToItsEndBeyondTwoGibibytesAndNotFurther)
{
    ScratchFolder scratch("typehold-large-document");
    const std::string first = "/FontSet [ << /Name (First) >> ]";
    const std::string last = "/FontSet [ << /Name (Last) >> ]";
    const std::uint64_t gap = (std::uint64_t(1) << 31) + 4096;
    const std::uint64_t sectionLength = gap + last.size();
    const std::string path = scratch.WriteFile("huge.psb", LargeDocumentHeader(sectionLength) + first);
    ScratchFolder::Resize(path, 42 + gap); // sparse where the file system allows
    ScratchFolder::Append(path, last);
    // Image data after the section is never read for fonts.
    ScratchFolder::Append(path, "/FontSet [ << /Name (ImageData) >> ]");
    EXPECT_EQ((std::vector<std::string>{"First", "Last"}), ReadNames(path));
}

TEST(DocumentFontNamesTest, PhotoshopSectionsThatRunPastTheEndAreRefused)
{
    ScratchFolder scratch("typehold-damaged-sections");
    std::string bytes = LargeDocumentHeader(16);
    bytes[4 + 1] = 1; // a PSD...
    bytes.resize(26); // ...whose color mode data claims 4 GiB
    bytes += std::string("\xFF\xFF\xFF\xF0", 4);
    const std::string path = scratch.WriteFile("damaged.psd", bytes + "/FontSet [ << /Name (Hidden) >> ]");
    std::vector<std::string> names;
    std::string error;
    EXPECT_FALSE(typehold::ReadDocumentFontNames(path, names, error));
    EXPECT_NE(error.find("run past its end"), std::string::npos) << error;
}
