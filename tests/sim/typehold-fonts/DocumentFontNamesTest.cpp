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

TEST(DocumentFontNamesTest, DocumentsBeyondTwoGibibytesAreReadToTheEnd)
{
    ScratchFolder scratch("typehold-large-document");
    const std::string path =
        scratch.WriteFile("huge.psb", std::string("8BPS\0\2", 6) + "/FontSet [ << /Name (First) >> ]");
    ScratchFolder::Resize(path, (std::uintmax_t(1) << 31) + 4096); // sparse where the file system allows
    ScratchFolder::Append(path, "/FontSet [ << /Name (Last) >> ]");
    EXPECT_EQ((std::vector<std::string>{"First", "Last"}), ReadNames(path));
}
