// The extractor on documents written by independent tools (ag-psd, ghostscript), judged against
// what independent readers report (ag-psd's reading of the text styles, poppler's pdffonts).
// The documents are generated at test time by tests/data/generate-documents.sh.
#include "GBinaryDocumentFontExtractor.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

TEST(RealDocumentsTest, NamesMatchWhatIndependentReadersReport)
{
    const std::filesystem::path folder = PathFromUTF8(PORTOLAN_TEST_DOCUMENTS_DIR);
    std::set<std::string> extensions;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
    {
        const std::filesystem::path oracle = entry.path();
        if (oracle.extension() != ".fonts")
        {
            continue;
        }
        const std::filesystem::path document = folder / oracle.stem();
        extensions.insert(UTF8FromPath(document.extension()));
        GBinaryDocumentFontExtractor::TFontNameSet expected;
        std::ifstream in(oracle);
        for (std::string line; std::getline(in, line);)
        {
            expected.insert(line);
        }
        GBinaryDocumentFontExtractor extractor(UTF8FromPath(document));
        GBinaryDocumentFontExtractor::TFontNameSet names;
        EXPECT_EQ(CoreErrorCodes::kSuccess, extractor.ExtractFontNames(names)) << UTF8FromPath(document);
        EXPECT_EQ(expected, names) << UTF8FromPath(document);
    }
    EXPECT_EQ((std::set<std::string>{".ai", ".pdf", ".psb", ".psd"}), extensions);
}
