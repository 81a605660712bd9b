// The font-usage slug through the interface library and the core: written into real documents
// (ag-psd, ghostscript), read back, refused for documents that cannot be rewritten, written by a
// core killed at each moment of a rewrite, and used on open to pick the version of a font the
// document was saved with. The documents these tests leave in the slug folder are judged after
// them by exiftool, ag-psd and pdffonts (slug-judge.js, the typehold.judge_slug_documents test).

#include "DocumentXMP.h"
#include "GErrorCodes.h"
#include "GFileSystem.h"
#include "TestFonts.h"
#include "TypeholdCoreTest.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using typehold::GCFHolder;
using typehold::MessageString;

namespace
{
const std::vector<std::string>& Keys()
{
    return typehold::SluggableKeys();
}

std::string SlugFolder()
{
    return WindowsPath(TYPEHOLD_SLUG_DOCUMENTS_DIR);
}

std::string JSONString(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text)
    {
        if (c == '\\' || c == '"')
        {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

// The sluggable part of font records, as the judge expects it.
std::string FontsJSON(CFArrayRef records)
{
    std::string json = "[";
    for (CFIndex i = 0; records != nullptr && i < CFArrayGetCount(records); ++i)
    {
        auto record = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(records, i));
        json += i == 0 ? "{" : ", {";
        bool first = true;
        for (const std::string& key : Keys())
        {
            if (typehold::MessageValue(record, key.c_str()) != nullptr)
            {
                json += (first ? "" : ", ") + JSONString(key) + ": " +
                        JSONString(MessageString(record, key.c_str()));
                first = false;
            }
        }
        json += "}";
    }
    return json + "]";
}

void WriteText(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(PathFromUTF8(path).parent_path());
    std::ofstream out(PathFromUTF8(path), std::ios::binary | std::ios::trunc);
    out << text;
}

// A copy of a document in the slug folder ("<name>" and "original-<name>"), replacing earlier runs'.
std::string Place(const std::string& source, const std::string& name)
{
    const std::string bytes = ReadWholeFile(source);
    EXPECT_FALSE(bytes.empty()) << source;
    WriteText(SlugFolder() + "\\original-" + name, bytes);
    WriteText(SlugFolder() + "\\" + name, bytes);
    return SlugFolder() + "\\" + name;
}

// What the judge checks of a document of the slug folder.
void Expect(const std::string& name, CFArrayRef fonts, const std::string& original,
            const std::string& before = "", const std::string& xmp = "")
{
    WriteText(SlugFolder() + "\\" + name + ".expect.json",
              "{\"fonts\": " + FontsJSON(fonts) + ", \"original\": " + JSONString(original) +
                  (before.empty() ? "" : ", \"before\": " + JSONString(before)) +
                  (xmp.empty() ? "" : ", \"xmp\": " + xmp) + "}\n");
}

// A one-page PDF whose metadata stream is compressed.
const std::string kCompressedPDF =
    std::string("%PDF-1.4\n"
                "1 0 obj\n<< /Type /Catalog /Pages 2 0 R /Metadata 3 0 R >>\nendobj\n"
                "2 0 obj\n<< /Type /Pages /Kids [4 0 R] /Count 1 >>\nendobj\n"
                "3 0 obj\n<< /Type /Metadata /Subtype /XML /Filter /FlateDecode /Length 4 >>\n"
                "stream\nx\x9C"
                "AB\nendstream\nendobj\n"
                "4 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] >>\nendobj\n") +
    "xref\n0 5\n0000000000 65535 f\r\n0000000009 00000 n\r\n0000000074 00000 n\r\n"
    "0000000131 00000 n\r\n0000000235 00000 n\r\ntrailer\n<< /Size 5 /Root 1 0 R >>\n"
    "startxref\n304\n%%EOF\n";

// Carlito-Bold as another version: head.fontRevision and the version string (name ID 5) changed.
std::string CarlitoVersion(const std::string& version, std::uint32_t revision)
{
    testfonts::Font font = testfonts::ParseFont(
        ReadWholeFile(TestFontsFolder() + "\\fonts-crosextra-carlito\\Carlito-Bold.ttf"));
    testfonts::PutU32(*font.Table("head"), 4, revision);
    std::string& name = *font.Table("name");
    std::string wide;
    std::string wideVersion;
    for (std::size_t i = 0; i < 5; ++i)
    {
        wide += std::string(1, '\0') + "1.103"[i];
        wideVersion += std::string(1, '\0') + version[i];
    }
    int replaced = 0;
    for (const auto& [from, to] : {std::pair{std::string("1.103"), version}, std::pair{wide, wideVersion}})
    {
        for (std::size_t at = name.find(from); at != std::string::npos; at = name.find(from, at))
        {
            name.replace(at, from.size(), to);
            ++replaced;
        }
    }
    EXPECT_GT(replaced, 0);
    return testfonts::WriteFont(font);
}
} // namespace

class TypeholdSlugTest : public GTypeholdCoreTest
{
protected:
    // The full records of fonts, as the plug-in has them before it drops what may not be slugged.
    GCFHolder<CFMutableArrayRef> Records(const std::vector<const char*>& names)
    {
        GCFHolder<CFMutableArrayRef> records(typehold::CreateMutableArray());
        for (const char* name : names)
        {
            GCFHolder<CFMutableDictionaryRef> record = FontInfo(FontID(name));
            EXPECT_NE(typehold::MessageValue(record.Get(), "DatabaseID"), nullptr);
            CFArrayAppendValue(records.Get(), record.Get());
        }
        return records;
    }

    // GetFontUsage's records, each checked to hold the sluggable keys of the written one and no other.
    void ExpectSlug(const std::string& path, CFArrayRef written)
    {
        GCFHolder<CFMutableArrayRef> read(typehold::CreateMutableArray());
        ASSERT_EQ(mLibrary->GetFontUsage(Facade(), path.c_str(), read.Get()), 0u) << CoreLog();
        ASSERT_EQ(CFArrayGetCount(read.Get()), CFArrayGetCount(written));
        for (CFIndex i = 0; i < CFArrayGetCount(written); ++i)
        {
            auto expected = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(written, i));
            auto found = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(read.Get(), i));
            EXPECT_EQ(CFDictionaryGetCount(found), static_cast<CFIndex>(Keys().size()));
            for (const std::string& key : Keys())
            {
                EXPECT_EQ(MessageString(found, key.c_str()), MessageString(expected, key.c_str())) << key;
            }
            EXPECT_EQ(typehold::MessageValue(found, "DatabaseID"), nullptr);
            EXPECT_EQ(typehold::MessageValue(found, "ActivationStatus"), nullptr);
        }
    }

    // Waits until the core's log has the text after its first `from` bytes.
    bool WaitForLog(const std::string& text, std::size_t from, int timeoutMs = 20000)
    {
        for (int waited = 0; waited < timeoutMs; waited += 50)
        {
            const std::string log = CoreLog();
            if (log.size() > from && log.find(text, from) != std::string::npos)
            {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
};

TEST_F(TypeholdSlugTest, TheSlugIsWrittenIntoDocumentsAndReadBack)
{
    StartAndConnect();
    GCFHolder<CFMutableArrayRef> fonts =
        Records({"Carlito-Bold", "LiberationSerif-Italic", "EBGaramond12-Regular"});
    const std::string ghostscript = "{\"XMP-pdf:Producer\": \"GPL Ghostscript 10.00.0\"}";
    const std::vector<std::pair<std::string, std::string>> documents = {
        {DocumentsFolder() + "\\studio.psd", "studio.psd"},
        {DocumentsFolder() + "\\studio.psb", "studio.psb"},
        {DocumentsFolder() + "\\letter.pdf", "letter.pdf"},
        {DocumentsFolder() + "\\letter.ai", "letter.ai"},
    };
    for (const auto& [source, name] : documents)
    {
        SCOPED_TRACE(name);
        const std::string path = Place(source, name);
        ASSERT_EQ(mLibrary->WriteFontUsage(Facade(), path.c_str(), fonts.Get()), 0u) << CoreLog();
        ExpectSlug(path, fonts.Get());
        GCFHolder<CFMutableStringRef> xmp(CFStringCreateMutable(nullptr, 0));
        ASSERT_EQ(mLibrary->GetAdobeXMPData(Facade(), path.c_str(), xmp.Get()), 0u);
        const std::string packet = typehold::StringValue(xmp.Get());
        EXPECT_NE(packet.find("<stFnt:fontName>EBGaramond12-Regular</stFnt:fontName>"), std::string::npos);
        EXPECT_NE(packet.find("<stFnt:fontType>OpenType</stFnt:fontType>"), std::string::npos);
        EXPECT_NE(packet.find("<stFnt:fontFace>Italic</stFnt:fontFace>"), std::string::npos);
        GCFHolder<CFMutableStringRef> slug(CFStringCreateMutable(nullptr, 0));
        ASSERT_EQ(mLibrary->GetFaceTraceXMPData(Facade(), path.c_str(), slug.Get()), 0u);
        EXPECT_NE(typehold::StringValue(slug.Get()).find("<lmfu:Fonts>"), std::string::npos);
        EXPECT_EQ(typehold::StringValue(slug.Get()).find("Ghostscript"), std::string::npos)
            << "the slug alone";
        Expect(name, fonts.Get(), "original-" + name, "", name.find("letter") == 0 ? ghostscript : "");
    }

    // A compressed metadata stream is replaced (not merged).
    const std::string compressed = SlugFolder() + "\\compressed.pdf";
    WriteText(SlugFolder() + "\\original-compressed.pdf", kCompressedPDF);
    WriteText(compressed, kCompressedPDF);
    ASSERT_EQ(mLibrary->WriteFontUsage(Facade(), compressed.c_str(), fonts.Get()), 0u) << CoreLog();
    EXPECT_NE(CoreLog().find(
                  "the metadata stream is compressed (/Filter /FlateDecode); it is replaced without being "
                  "merged"),
              std::string::npos);
    Expect("compressed.pdf", fonts.Get(), "original-compressed.pdf");

    // Written again with one font, then with none: nothing stale is left.
    GCFHolder<CFMutableArrayRef> one = Records({"Caladea-Bold"});
    GCFHolder<CFMutableArrayRef> none(typehold::CreateMutableArray());
    for (const char* name : {"cleared.psd", "cleared.pdf"})
    {
        SCOPED_TRACE(name);
        const std::string source = std::string(name) == "cleared.psd" ? DocumentsFolder() + "\\studio.psd"
                                                                      : DocumentsFolder() + "\\letter.pdf";
        const std::string path = Place(source, name);
        ASSERT_EQ(mLibrary->WriteFontUsage(Facade(), path.c_str(), fonts.Get()), 0u);
        ASSERT_EQ(mLibrary->WriteFontUsage(Facade(), path.c_str(), one.Get()), 0u);
        ExpectSlug(path, one.Get());
        ASSERT_EQ(mLibrary->WriteFontUsage(Facade(), path.c_str(), none.Get()), 0u);
        ExpectSlug(path, none.Get());
        Expect(name, none.Get(), std::string("original-") + name);
    }
    EXPECT_NE(CoreLog().find("The font usage of 3 font(s) was written into"), std::string::npos);

    // A document without a slug, and one without any XMP.
    const std::string plain = Place(DocumentsFolder() + "\\studio.psd", "plain.psd");
    GCFHolder<CFMutableArrayRef> read(typehold::CreateMutableArray());
    EXPECT_EQ(mLibrary->GetFontUsage(Facade(), plain.c_str(), read.Get()), CoreErrorCodes::kNotFound)
        << "not found";
    GCFHolder<CFMutableStringRef> xmp(CFStringCreateMutable(nullptr, 0));
    EXPECT_EQ(mLibrary->GetAdobeXMPData(Facade(), plain.c_str(), xmp.Get()), CoreErrorCodes::kNotFound);
    std::filesystem::remove(PathFromUTF8(plain));
    std::filesystem::remove(PathFromUTF8(SlugFolder() + "\\original-plain.psd"));
}

TEST_F(TypeholdSlugTest, DocumentsThatCannotBeRewrittenAreLeftUntouched)
{
    StartAndConnect();
    GCFHolder<CFMutableArrayRef> fonts = Records({"Carlito-Bold"});
    ScratchFolder scratch("typehold refused documents");
    const std::string studio = ReadWholeFile(DocumentsFolder() + "\\studio.psd");
    const std::string letter = ReadWholeFile(DocumentsFolder() + "\\letter.pdf");
    std::string xrefStream = "%PDF-1.5\n1 0 obj\n<< /Type /Catalog >>\nendobj\n";
    const std::size_t streamAt = xrefStream.size();
    xrefStream +=
        "2 0 obj\n<< /Type /XRef /Size 3 /Root 1 0 R /W [1 2 1] /Length 0 >>\nstream\n\nendstream\nendobj\n"
        "startxref\n" +
        std::to_string(streamAt) + "\n%%EOF\n";
    struct GCase
    {
        const char* name;
        std::string bytes;
        LPIResult result;
        const char* reason;
    };
    const std::vector<GCase> cases = {
        {"cut.psd", studio.substr(0, studio.size() / 3), CoreErrorCodes::kError, "cut short"},
        {"garbage.psb", std::string(4000, 'x'), CoreErrorCodes::kError, "no 8BPS signature"},
        {"cut.pdf", letter.substr(0, letter.size() - 200), CoreErrorCodes::kError, "no startxref"},
        {"xref stream.pdf", xrefStream, CoreErrorCodes::kNotSupported, "cross-reference stream"},
        {"notes.txt", "plain text", CoreErrorCodes::kNotSupported, "not a kind of document"},
    };
    for (const GCase& refused : cases)
    {
        SCOPED_TRACE(refused.name);
        const std::string path = scratch.WriteFile(refused.name, refused.bytes);
        EXPECT_EQ(mLibrary->WriteFontUsage(Facade(), path.c_str(), fonts.Get()), refused.result);
        EXPECT_EQ(ReadWholeFile(path), refused.bytes);
        const std::string log = CoreLog();
        const std::size_t line = log.find("was not written into '" + path + "': ");
        ASSERT_NE(line, std::string::npos) << log;
        EXPECT_NE(log.find(refused.reason, line), std::string::npos) << log.substr(line, 300);
    }
    EXPECT_EQ(mLibrary->WriteFontUsage(Facade(), scratch.Child("x.psd").c_str(), nullptr),
              CoreErrorCodes::kNullPointer);
    EXPECT_EQ(mLibrary->WriteFontUsage(Facade(), scratch.Child("missing.psd").c_str(), fonts.Get()),
              GFileSystem::kFileNotFound);

    // Font lists the core does not take.
    const std::string path = scratch.WriteFile("studio.psd", studio);
    GCFHolder<CFMutableArrayRef> strings(typehold::CreateMutableArray());
    GCFHolder<CFStringRef> text(typehold::CreateString("Carlito-Bold"));
    CFArrayAppendValue(strings.Get(), text.Get());
    EXPECT_EQ(mLibrary->WriteFontUsage(Facade(), path.c_str(), strings.Get()), CoreErrorCodes::kInvalidParam);
    GCFHolder<CFMutableArrayRef> nameless(typehold::CreateMutableArray());
    GCFHolder<CFMutableDictionaryRef> record(typehold::CreateMutableDictionary());
    typehold::SetString(record.Get(), "Version", "1.0");
    CFArrayAppendValue(nameless.Get(), record.Get());
    EXPECT_EQ(mLibrary->WriteFontUsage(Facade(), path.c_str(), nameless.Get()),
              CoreErrorCodes::kInvalidParam);
    EXPECT_NE(CoreLog().find("entry 1 of the font list has no PostScript name"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(path), studio);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path()))
    {
        EXPECT_NE(entry.path().extension(), ".tmp") << "no temporary file is left behind";
        ++files;
    }
    EXPECT_EQ(files, cases.size() + 1);
}

TEST_F(TypeholdSlugTest, ACoreKilledDuringAWriteLeavesTheOldDocumentOrTheNewOne)
{
    // Each document starts with a slug of its own (written here without the core), so "as it
    // was" is a document with the old slug. The state after the kill is kept for the judge as
    // "killed-...", then the core writes the document again.
    const std::vector<std::pair<std::string, std::string>> moments = {{"copying", "studio.psd"},
                                                                      {"replacing", "studio.psd"},
                                                                      {"replaced", "studio.psd"},
                                                                      {"replacing", "letter.pdf"}};
    for (const auto& [moment, source] : moments)
    {
        SCOPED_TRACE(moment + " " + source);
        const std::string name = moment + "-" + source;
        const std::string path = Place(DocumentsFolder() + "\\" + source, "rewritten-" + name);
        std::string error;
        ASSERT_EQ(typehold::UpdateDocumentXMP(
                      path,
                      [](const typehold::GExistingXMP& existing, std::string& packet, std::string& why)
                      {
                          typehold::FontUsageRecord old;
                          old.Set("PostScriptName", "Old-Slug");
                          return typehold::MergeFontUsage(existing.packet, {old}, packet, why)
                                     ? CoreErrorCodes::kSuccess
                                     : CoreErrorCodes::kError;
                      },
                      nullptr, error),
                  CoreErrorCodes::kSuccess)
            << error;
        const std::string before = ReadWholeFile(path);

        StartAndConnect(ConfigJSON("\"callDelayMs\": {\"WriteFontUsage." + moment + "\": 60000}"));
        GCFHolder<CFMutableArrayRef> fonts = Records({"Carlito-Bold", "Cantarell-Regular"});
        LPIResult result = 0;
        const std::size_t logged = CoreLog().size();
        std::thread write([&] { result = mLibrary->WriteFontUsage(Facade(), path.c_str(), fonts.Get()); });
        const bool held = WaitForLog("WriteFontUsage." + moment + " held", logged);
        mCore->Kill();
        write.join();
        ASSERT_TRUE(held) << CoreLog();
        EXPECT_EQ(result, kLPIServiceUnavailable);
        const std::string after = ReadWholeFile(path);
        if (moment == "replaced")
        {
            EXPECT_NE(after, before) << "the new document was in place";
        }
        else
        {
            EXPECT_EQ(after, before) << "the document is as it was";
        }
        std::size_t temporaries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(PathFromUTF8(SlugFolder())))
        {
            temporaries +=
                UTF8FromPath(entry.path().filename()).rfind("rewritten-" + name + ".xmp-", 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(temporaries, moment == "replaced" ? 0u : 1u) << "the killed write's temporary file";
        WriteText(SlugFolder() + "\\killed-" + name, after);
        WriteText(SlugFolder() + "\\before-killed-" + name, before);
        WriteText(SlugFolder() + "\\original-killed-" + name,
                  ReadWholeFile(SlugFolder() + "\\original-rewritten-" + name));
        Expect("killed-" + name, fonts.Get(), "original-killed-" + name, "before-killed-" + name);

        // The next write, by a core without delays, removes the leftover and writes the slug.
        mLibrary->ResetPluginFacadeInstance();
        StartAndConnect(ConfigJSON());
        ASSERT_EQ(mLibrary->WriteFontUsage(Facade(), path.c_str(), fonts.Get()), CoreErrorCodes::kSuccess)
            << CoreLog();
        ExpectSlug(path, fonts.Get());
        Expect("rewritten-" + name, fonts.Get(), "original-rewritten-" + name);
        for (const auto& entry : std::filesystem::directory_iterator(PathFromUTF8(SlugFolder())))
        {
            EXPECT_NE(entry.path().extension(), ".tmp") << UTF8FromPath(entry.path());
        }
        mCore->Stop();
        mLibrary->ResetPluginFacadeInstance();
    }
}

TEST_F(TypeholdSlugTest, TheSlugPicksTheVersionTheDocumentWasSavedWith)
{
    mConfig->MakeFolder("version 1");
    mConfig->MakeFolder("version 2");
    mConfig->WriteFile("version 1/Carlito-Bold.ttf", CarlitoVersion("1.000", 0x00010000));
    const std::string one = WindowsPath(mConfig->Child("version 1"));
    const std::string two = WindowsPath(mConfig->Child("version 2"));
    const std::string slugged = Place(DocumentsFolder() + "\\studio.psd", "versions.psd");
    const std::string plain = WindowsPath(mConfig->WriteFile("plain.psd", ReadWholeFile(slugged)));

    // Saved while the catalog held version 1.0 only.
    StartAndConnect(ConfigJSON("", {one}));
    GCFHolder<CFMutableArrayRef> fonts = Records({"Carlito-Bold"});
    EXPECT_EQ(MessageString(static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(fonts.Get(), 0)), "Version"),
              "1.000");
    ASSERT_EQ(mLibrary->WriteFontUsage(Facade(), slugged.c_str(), fonts.Get()), 0u) << CoreLog();
    Expect("versions.psd", fonts.Get(), "original-versions.psd");
    mCore->Stop();
    mLibrary->ResetPluginFacadeInstance();

    // Opened when the catalog holds 1.0 and 2.0.
    mConfig->WriteFile("version 2/Carlito-Bold.ttf", CarlitoVersion("2.000", 0x00020000));
    StartAndConnect(ConfigJSON("", {one, two}));
    auto carlito = [](CFArrayRef records) -> CFDictionaryRef
    {
        for (CFIndex i = 0; i < CFArrayGetCount(records); ++i)
        {
            auto record = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(records, i));
            if (MessageString(record, "PostScriptName") == "Carlito-Bold")
            {
                return record;
            }
        }
        return nullptr;
    };
    auto versionMatched = [&](const std::string& path, bool pickBest, bool useIdentification)
    {
        GCFHolder<CFMutableArrayRef> matched;
        GCFHolder<CFMutableArrayRef> problems;
        EXPECT_EQ(ActivateDocument(path, pickBest, false, matched, problems, useIdentification), 0u);
        CFDictionaryRef record = carlito(matched.Get());
        std::string version = record == nullptr ? "none" : MessageString(record, "Version");
        if (record != nullptr)
        {
            const auto id = static_cast<std::uint32_t>(typehold::MessageInt(record, "DatabaseID"));
            EXPECT_EQ(mLibrary->DeactivateFonts(Facade(), 1, &id, 0), 0u);
        }
        else if (CFDictionaryRef problem = carlito(problems.Get()))
        {
            version =
                "problem of " +
                std::to_string(CFArrayGetCount(typehold::MessageArray(problem, "PossibleReplacements")));
        }
        return version;
    };
    EXPECT_EQ(versionMatched(slugged, true, true), "1.000") << CoreLog();
    EXPECT_NE(CoreLog().find("its slug identifies Carlito-Bold as font"), std::string::npos);
    EXPECT_EQ(versionMatched(slugged, false, true), "1.000") << "the slug settles it without pick-best-match";
    EXPECT_EQ(versionMatched(slugged, true, false), "2.000") << "without the flag, the name decides";
    EXPECT_EQ(versionMatched(plain, true, true), "2.000") << "without a slug, the name decides";
    EXPECT_EQ(versionMatched(slugged, false, false), "problem of 2");

    // A slug whose version is in no catalog any more: the name decides.
    GCFHolder<CFMutableArrayRef> gone(typehold::CreateMutableArray());
    GCFHolder<CFMutableDictionaryRef> record(CFDictionaryCreateMutableCopy(
        nullptr, 0, static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(fonts.Get(), 0))));
    typehold::SetString(record.Get(), "Checksum", "1");
    CFArrayAppendValue(gone.Get(), record.Get());
    ASSERT_EQ(mLibrary->WriteFontUsage(Facade(), plain.c_str(), gone.Get()), 0u);
    EXPECT_EQ(versionMatched(plain, true, true), "2.000");
}
