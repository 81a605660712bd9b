// The extractor on byte files built here for what no independent tool writes: After Effects
// sections, escaped markers, sections across chunk boundaries, large sparse files, failures.
#include "DocumentBytes.h"
#include "GBinaryDocumentFontExtractor.h"
#include "GFile.h"
#include "LogCapture.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

using Names = GBinaryDocumentFontExtractor::TFontNameSet;

namespace
{
// An extractor with a chosen chunk size that counts how often the size is asked for (a few times
// per chunk). It can remove its file once the first chunk is read (the size is asked for the
// third time while the first chunk is scanned).
class ChunkedExtractor : public GBinaryDocumentFontExtractor
{
public:
    ChunkedExtractor(const TUTF8String& path, TUInt64 chunkSize, bool removeAfterFirstChunk = false)
        : GBinaryDocumentFontExtractor(path), mChunkSize(chunkSize), mRemove(removeAfterFirstChunk)
    {
    }
    TUInt64 GetChunkSize() const override
    {
        if (++mCalls == 3 && mRemove)
        {
            std::filesystem::remove(PathFromUTF8(GetFileSpec().GetPath()));
        }
        return mChunkSize;
    }
    mutable TUInt64 mCalls = 0;

private:
    TUInt64 mChunkSize;
    bool mRemove;
};

Names Extract(GBinaryDocumentFontExtractor& extractor, TErrorCode expected = CoreErrorCodes::kSuccess)
{
    Names names{"left over from an earlier call"};
    EXPECT_EQ(expected, extractor.ExtractFontNames(names)) << extractor.GetFileSpec().GetPath();
    return names;
}

Names Extract(const std::string& path)
{
    GBinaryDocumentFontExtractor extractor(path);
    return Extract(extractor);
}
} // namespace

class ExtractorTest : public testing::Test
{
protected:
    ScratchFolder mFolder{testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(ExtractorTest, PhotoshopFontSetsSkipOrStopAtTheInvisibleFont)
{
    using namespace std::string_literals;
    const std::string binary = "\x00\x01\x02\xFF\x80 random bytes \x00"s;
    EXPECT_EQ(Names{"Arial-BoldMT"},
              Extract(mFolder.WriteFile("last.psd",
                                        binary + FontSet({"Arial-BoldMT", "AdobeInvisFont"}) + binary)));
    EXPECT_EQ((Names{"Courier", "Times-Bold"}),
              Extract(mFolder.WriteFile("first.PSB", FontSet({"AdobeInvisFont", "Times-Bold", "Courier"}))));
    EXPECT_EQ(Names{"Helvetica"},
              Extract(mFolder.WriteFile("middle.psd", FontSet({"Helvetica", "AdobeInvisFont", "Dropped"}) +
                                                          FontSet({"AdobeInvisFont"}))));
    // No closing "]" anywhere after the set: the section is never complete.
    EXPECT_EQ(Names{}, Extract(mFolder.WriteFile("open.psd", "/FontSet [ /Name (" + Utf16("Open") + ")")));
}

TEST_F(ExtractorTest, IllustratorDescriptorsLoseSubsetTagsAndLoneDefaultFont)
{
    EXPECT_EQ((Names{"Helvetica", "Times-Bold", "Untagged"}),
              Extract(mFolder.WriteFile("tags.pdf", FontDescriptor("ABCDEF+Times-Bold", true) +
                                                        FontDescriptor("QWERTY+Helvetica", false) +
                                                        FontDescriptor("Untagged", false))));
    // A pass whose only name is (or contains) MyriadPro-Regular contributes nothing.
    EXPECT_EQ(Names{"Courier"},
              Extract(mFolder.WriteFile("myriad.ai", FontDescriptor("ABCDEF+MyriadPro-Regular", true) +
                                                         FontDescriptor("Courier", false))));
    EXPECT_EQ(Names{},
              Extract(mFolder.WriteFile("myriad.ait", FontDescriptor("XMyriadPro-RegularX", false))));
    EXPECT_EQ((Names{"Courier", "MyriadPro-Regular"}),
              Extract(mFolder.WriteFile("both.ai", FontDescriptor("MyriadPro-Regular", true) +
                                                       FontDescriptor("Courier", true))));
}

TEST_F(ExtractorTest, AfterEffectsSectionsAndTheMyriadRule)
{
    const std::string first = AfterEffectsSection(
        {{"Myriad-Roman", "ArialMT"}, {"Times-Bold", "AdobeInvisFont", "Gone"}, {"AlsoGone"}});
    const std::string second = AfterEffectsSection({{"Courier"}, {"Myriad-Roman", "AdobeInvisFont"}});
    const std::string noInvisible = AfterEffectsSection({{"Myriad-Roman"}, {"Palatino-Roman"}});
    EXPECT_EQ((Names{"ArialMT", "Courier", "Myriad-Roman", "Palatino-Roman", "Times-Bold"}),
              Extract(mFolder.WriteFile("project.aep", first + second + noInvisible)));
    // Inner sections outside an outer section do not count.
    EXPECT_EQ(Names{},
              Extract(mFolder.WriteFile("loose.aet", "<< /99 /CoolTypeFont /0 << /0 (Loose) /1 >> >>")));
}

TEST_F(ExtractorTest, EscapedMarkersAreIgnoredAndLogged)
{
    LogCapture capture;
    const std::string escaped = "(\\/FontSet [ /Name (" + Utf16("Escaped") + ") ])";
    EXPECT_EQ(Names{"Real"}, Extract(mFolder.WriteFile("escaped.psd", escaped + FontSet({"Real"}))));
    EXPECT_EQ(1u, capture.Count("Ignoring match at offset 2 because previous char is 0x005c"));
    EXPECT_EQ(1u,
              capture.Count("In GBinaryDocumentFontExtractor::GetFontNamesFromByteVector(), adding 'Real'"));
    // A marker at the very start of a scanned buffer has no preceding byte.
    EXPECT_EQ(Names{"First"}, Extract(mFolder.WriteFile("start.ai", FontDescriptor("First", false))));
}

TEST_F(ExtractorTest, SectionsAcrossChunkBoundariesAreScannedAgainFromTheirStart)
{
    const std::string filler(150, '\x01');
    const struct
    {
        const char* name;
        std::string content;
        Names expected;
    } cases[] = {
        {"chunks.psd",
         filler + FontSet({"AdobeInvisFont", "Garamond-Bold", "Futura-Book"}) + filler + FontSet({"Optima"}),
         {"Futura-Book", "Garamond-Bold", "Optima"}},
        {"chunks.ai",
         filler + FontDescriptor("ABCDEF+Garamond-Bold", true) + filler + FontDescriptor("Optima", false),
         {"Garamond-Bold", "Optima"}},
        {"chunks.aep",
         filler + AfterEffectsSection({{"Futura-Book"}, {"Optima"}}) + filler,
         {"Futura-Book", "Optima"}},
    };
    for (const auto& test : cases)
    {
        const std::string path = mFolder.WriteFile(test.name, test.content);
        EXPECT_EQ(test.expected, Extract(path)) << test.name;
        // Chunk sizes that cut the sections at many places, down to barely above the overlap.
        for (TUInt64 chunkSize : {300u, 333u, 410u, 512u})
        {
            ChunkedExtractor small(path, chunkSize);
            Names names = Extract(small);
            // A name whose end marker lies beyond the chunk's end comes out empty.
            names.erase("");
            EXPECT_EQ(test.expected, names) << test.name << " with chunks of " << chunkSize;
        }
    }
}

TEST_F(ExtractorTest, UnterminatedSectionsEndAfterOnePassOverTheFile)
{
    // A section start at offset 0 without its end: each chunk starts at the default advance
    // instead of at the section again.
    const std::string filler(20000, 'a');
    const std::pair<const char*, std::string> cases[] = {
        {"open.aep", ">> /0 << /1 << /0 [ << /99 /CoolTypeFont /0 (X) /1 >>" + filler},
        {"open.psd", "/FontSet [ /Name (X)" + filler},
        {"open.ai", "/FontName /X" + filler},
        {"open.data", "/FontSet [ /Name (X)" + filler},
    };
    for (const auto& [name, content] : cases)
    {
        ChunkedExtractor extractor(mFolder.WriteFile(name, content), 1000);
        EXPECT_EQ(Names{}, Extract(extractor)) << name;
        EXPECT_LE(extractor.mCalls, 3u * 3u * (content.size() / (1000 - 19) + 2)) << name;
    }
}

TEST_F(ExtractorTest, ExtensionRules)
{
    const std::string all = FontSet({"PhotoshopFont"}) + FontDescriptor("IllustratorFont", true) +
                            AfterEffectsSection({{"AfterEffectsFont"}});
    EXPECT_EQ((Names{"AfterEffectsFont", "IllustratorFont", "PhotoshopFont"}),
              Extract(mFolder.WriteFile("any.indd", all)));
    EXPECT_EQ((Names{"AfterEffectsFont", "IllustratorFont", "PhotoshopFont"}),
              Extract(mFolder.WriteFile("noextension", all)));
    EXPECT_EQ(Names{"PhotoshopFont"}, Extract(mFolder.WriteFile("one.psd", all)));
    EXPECT_EQ(Names{"IllustratorFont"}, Extract(mFolder.WriteFile("one.PDF", all)));
    EXPECT_EQ(Names{"AfterEffectsFont"}, Extract(mFolder.WriteFile("one.aepx", all)));
    // EPS files are never read, so even a missing one succeeds.
    EXPECT_EQ(Names{}, Extract(mFolder.WriteFile("art.eps", all)));
    EXPECT_EQ(Names{}, Extract(mFolder.Child("missing.eps")));
    for (const char* name : {"empty.psd", "empty.ai", "empty.aep", "empty.bin"})
    {
        EXPECT_EQ(Names{}, Extract(mFolder.WriteFile(name, ""))) << name;
    }
    // An unknown type of exactly 1 GiB is not scanned (sparse: no disk space is used).
    const std::string big = mFolder.WriteFile("big.unknown", all);
    mFolder.Resize(big, GBinaryDocumentFontExtractor::kUnknownTypeSizeLimit);
    EXPECT_EQ(Names{}, Extract(big));
}

TEST_F(ExtractorTest, NonAsciiBytesBecomeLatin1Characters)
{
    using namespace std::string_literals;
    const std::string set = "/FontSet [ /Name (\xFE\xFF\x00R\x00\xE9\x00s\x00\x00\x00u)"s +
                            " /Name (\xFE\xFFR\xE9s\xFF) /Name (\xFF\xFFX) ]";
    EXPECT_EQ((Names{"R\xC3\xA9s", "R\xC3\xA9s\0u"s, "\xC3\xBF\xC3\xBFX"}),
              Extract(mFolder.WriteFile("latin.psd", set)));
}

TEST_F(ExtractorTest, FailuresAreReportedAndKeepEarlierNames)
{
    {
        LogCapture capture;
        GBinaryDocumentFontExtractor missing(mFolder.Child("missing.psd"));
        Extract(missing, GFileSystem::kFileNotFound);
        EXPECT_EQ(2u,
                  capture.Count("[BinaryDocumentFontExtractor]\t[Error]\tError='GFileSystem::kFileNotFound'"
                                "  File='src/document/GBinaryDocumentFontExtractor.cpp'"));
        EXPECT_EQ(1u, capture.Count("Expression='GFileSystem::OSGetFileSize(mFileSpec, fileSize)'"));
        EXPECT_EQ(1u, capture.Count("Expression='ExtractFromPhotoshop(fontNames)'  Code='16781317'"));
    }
    for (const char* name : {"missing.ai", "missing.aep", "missing.txt"})
    {
        GBinaryDocumentFontExtractor extractor(mFolder.Child(name));
        Extract(extractor, GFileSystem::kFileNotFound);
    }
    // A folder cannot be read as a document.
    GBinaryDocumentFontExtractor folder(mFolder.MakeFolder("folder.psd"));
    Names names;
    EXPECT_NE(CoreErrorCodes::kSuccess, folder.ExtractFontNames(names));

    // A file that goes away between two chunks: the names of the first chunk stay.
    const std::string vanishing =
        mFolder.WriteFile("vanishing.psd", FontSet({"Early"}) + std::string(2000, 'x') + FontSet({"Late"}));
    ChunkedExtractor removing(vanishing, 1000, true);
    EXPECT_EQ(Names{"Early"}, Extract(removing, GFileSystem::kFileNotFound));

    // Positions of 2^31 and beyond cannot be reached through GFile: the scan of a larger file keeps
    // the names of its first 2 GiB and fails at the first chunk that starts at or beyond 2^31
    // (sparse file, chunks of 256 MiB; the name sits in the last chunk that can be read).
    const std::string huge = mFolder.WriteFile("huge.psd", "");
    const TUInt64 lastReadable = 8 * (TUInt64(0x10000000) - 10);
    mFolder.Resize(huge, lastReadable);
    mFolder.Append(huge, FontSet({"Early"}));
    mFolder.Resize(huge, (TUInt64(1) << 31) + 0x10000000);
    LogCapture capture(GLogger::kError);
    ChunkedExtractor extractor(huge, 0x10000000);
    EXPECT_EQ(Names{"Early"}, Extract(extractor, CoreErrorCodes::kError));
    EXPECT_EQ(1u, capture.Count("Expression='file.SetFilePosition(GFile::eBeginning, currentPosition)'"));
    EXPECT_EQ(1u, capture.Count("Expression='ExtractFromPhotoshop(fontNames)'  Code='16777216'"));
}
