// photoshop-sim's documents under Wine, seen through the document probe plug-in: Get answers
// about documents opened, made, saved, switched and closed; notifications; fonts missing at
// open against a system font table; the missing-fonts windows; plays with injected failures;
// ExtendScript; killing a process by name. Documents are the real test files written by ag-psd
// and ghostscript.

#include "DocumentXMP.h"
#include "SimProgramTest.h"
#include "TypeholdFonts.h"

#include <sstream>
#include <vector>

namespace
{
std::filesystem::path TestDocument(const std::string& name)
{
    return PathFromUTF8(PORTOLAN_TEST_DOCUMENTS_DIR) / PathFromUTF8(name);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
    {
        lines.push_back(line);
    }
    return lines;
}

class DocumentStepsTest : public SimProgramTest
{
protected:
    DocumentStepsTest()
    {
        AddPlugin("document-probe.8li");
        mScratch.MakeFolder("core");
    }

    // Copies a test document into the scratch folder under another name; returns the full path.
    std::string Copy(const std::string& document, const std::string& name)
    {
        const std::filesystem::path target = mScratch.Path() / PathFromUTF8(name);
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(TestDocument(document), target);
        return UTF8FromPath(target);
    }

    // A path as the text of a JSON string.
    static std::string Json(const std::string& path)
    {
        std::string text;
        for (const char c : path)
        {
            text += c == '\\' ? std::string("\\\\") : std::string(1, c);
        }
        return text;
    }

    std::string Folder() const { return UTF8FromPath(mScratch.Path()); }
    std::vector<std::string> ProbeLog() const { return Lines(ReadWholeFile(mScratch.Child("probe.log"))); }

    static constexpr const char* kSetUp = R"(
        {"do": "set-env", "name": "TEST_PLUGIN_LOG", "value": "${PSIM_TEST_FOLDER}\\probe.log"},
        {"do": "set-env", "name": "LUMORAND_SYSTEM_FONT_TABLE_DIR", "value": "${PSIM_TEST_FOLDER}\\core"},
        {"do": "start", "expect": {"result": 0}},)";
};
} // namespace

TEST_F(DocumentStepsTest, GetAnswersAndNotificationsFollowTheDocuments)
{
    Copy("poster.psd", "My Posters\\poster copy \xC3\xA9.psd");
    Copy("poster.psd", "\xE3\x83\x9D\xE3\x82\xB9\xE3\x82\xBF\xE3\x83\xBC.psd"); // katakana "posutaa"
    Copy("letter.pdf", "letter.pdf");
    const int exitCode = Run(std::string(R"({"steps": [)") + kSetUp + R"(
        {"do": "do-it", "oper": 1, "expect": {"descriptor": {"NmbD": 0, "ActI": -1728}}},
        {"do": "open", "path": "${PSIM_TEST_FOLDER}/My Posters/poster copy é.psd", "missingFontsDialog": false},
        {"do": "open", "path": "${PSIM_TEST_FOLDER}\\ポスター.psd", "missingFontsDialog": false},
        {"do": "open", "path": "${PSIM_TEST_FOLDER}\\letter.pdf", "staleAlias": true, "missingFontsDialog": false},
        {"do": "new", "title": "Draft", "content": ")" +
                             Json(UTF8FromPath(TestDocument("single.psd"))) + R"("},
        {"do": "do-it", "oper": 1, "expect": {"descriptor": {"NmbD": 4, "ActI": 1004}}},
        {"do": "expect-fonts", "document": "letter.pdf", "fonts": ["Courier-BoldOblique", "Helvetica",
            "Times-Bold", "Times-Italic", "Times-Roman"], "missing": ["Times-Bold", "Times-Roman", "Helvetica",
            "Times-Italic", "Courier-BoldOblique"]},
        {"do": "activate", "document": "ポスター.psd"},
        {"do": "do-it", "oper": 1, "expect": {"descriptor": {"ActI": 1002}}},
        {"do": "save", "document": "Draft", "path": "${PSIM_TEST_FOLDER}\\draft.psd"},
        {"do": "save"},
        {"do": "close", "document": "${PSIM_TEST_FOLDER}\\LETTER.pdf"},
        {"do": "close"},
        {"do": "expect-documents", "active": "draft.psd", "documents": ["poster copy é.psd",
            {"title": "draft.psd", "id": 1004, "path": "${PSIM_TEST_FOLDER}\\draft.psd"}]},
        {"do": "do-it", "oper": 1},
        {"do": "quit"}
    ]})");
    EXPECT_EQ(0, exitCode) << mTranscript;

    const std::string folder = Folder();
    const std::string poster = folder + "\\My Posters\\poster copy \xC3\xA9.psd";
    const std::string katakana = folder + "\\\xE3\x83\x9D\xE3\x82\xB9\xE3\x82\xBF\xE3\x83\xBC.psd";
    const std::string letter = folder + "\\letter.pdf";
    const std::string draft = folder + "\\draft.psd";
    const std::string listed[] = {
        "document 1: DocI 1001 Ttl \"poster copy \xC3\xA9.psd\" FilR \"" + poster +
            "\" (narrow copy names it)",
        "document 2: DocI 1002 Ttl \"\xE3\x83\x9D\xE3\x82\xB9\xE3\x82\xBF\xE3\x83\xBC.psd\" FilR \"" +
            katakana + "\" (narrow copy \"" + folder + "\\????.psd\" names no file)",
        "document 3: DocI 1003 Ttl \"letter.pdf\" FilR \"" + letter + "\" (narrow copy \"" + folder +
            "\\??????????\" names no file)",
        "document 4: DocI 1004 Ttl \"Draft\" FilR error -1715",
    };
    const std::vector<std::string> expected = {
        "documents 0",
        "active: error -1728",
        "notify Mk: new object Dcmn, active DocI 1004",
        "documents 4",
        listed[0],
        listed[1],
        listed[2],
        listed[3],
        "active DocI 1004",
        "documents 4",
        listed[0],
        listed[1],
        listed[2],
        listed[3],
        "active DocI 1002",
        "notify save: DocI 1004, In \"" + draft + "\"",
        "notify save: DocI 1002, In \"" + katakana + "\"",
        "notify Cls: DocI 1003, 3 document(s) left",
        "notify Cls: DocI 1002, 2 document(s) left",
        "documents 2",
        listed[0],
        "document 2: DocI 1004 Ttl \"draft.psd\" FilR \"" + draft + "\" (narrow copy names it)",
        "active DocI 1004",
    };
    EXPECT_EQ(expected, ProbeLog());

    // Save-as wrote the made document's content; saving in place left the file alone.
    EXPECT_EQ(ReadWholeFile(UTF8FromPath(TestDocument("single.psd"))), ReadWholeFile(draft));
    EXPECT_EQ(ReadWholeFile(UTF8FromPath(TestDocument("poster.psd"))), ReadWholeFile(katakana));
    EXPECT_TRUE(Has("notify 'Mk  ' document-probe.8li {'Nw  ': Objc 'Dcmn' {'Nm  ': TEXT \"Draft\"}, 'DocI': "
                    "long 1004}"));
    EXPECT_TRUE(
        Has("Get <'Prpr' property 'FilR' of 'Dcmn' index 4> -> -1715 (an untitled document has no file)"));
    EXPECT_FALSE(Has("LEAK"));
    EXPECT_FALSE(Has("MISUSE"));
    EXPECT_FALSE(Has("action objects not freed"));
}

TEST_F(DocumentStepsTest, MissingFontsTheirWindowsAndTheirReplacement)
{
    const std::string poster = Copy("poster.psd", "poster.psd");
    const std::string broken = mScratch.WriteFile("broken.psd", "not a Photoshop document");
    mScratch.WriteFile("core\\system-font-table.txt", "Times-Bold\tZ:\\fonts\\NimbusRoman-Bold.otf\r\n");
    const std::string table = Json(mScratch.Child("core\\system-font-table.txt")); // values are not expanded
    const int exitCode = Run(
        std::string(R"({"steps": [)") + kSetUp + R"(
        {"do": "expect-installed", "fonts": ["DejaVuSans", "NimbusSans-Regular", "Times-Bold"], "installed": true},
        {"do": "expect-installed", "fonts": ["ArialMT", "Carlito-Regular"], "installed": false},
        {"do": "open", "path": "${PSIM_TEST_FOLDER}\\poster.psd", "missingFontsMessageBox": true},
        {"do": "open", "path": "${PSIM_TEST_FOLDER}\\broken.psd"},
        {"do": "activate", "document": "poster.psd"},
        {"do": "expect-dialogs", "open": 1, "messageBoxes": 1},
        {"do": "expect-fonts", "document": "poster.psd", "missingAtOpen": ["ArialMT", "Courier",
            "Courier-Oblique", "Helvetica-BoldOblique", "Palatino-Italic"], "replaced": []},
        {"do": "do-it", "oper": 6, "descriptor": {"Path": ")" +
        table + R"(", "Text": "Times-Bold\tx\nArialMT\tx\nCourier\tx\n"},
            "expect": {"descriptor": {"Wrtn": true}}},
        {"do": "expect-fonts", "document": "poster.psd", "missing": ["Courier-Oblique",
            "Helvetica-BoldOblique", "Palatino-Italic"]},
        {"do": "do-it", "oper": 5, "expect": {"descriptor": {"Clsd": 2}}},
        {"do": "wait-until", "condition": {"do": "expect-dialogs", "open": 0, "messageBoxes": 0}},
        {"do": "wait", "ms": 100},
        {"do": "expect-dialog-keys", "document": "poster.psd", "closedBy": "Escape posted to the window",
            "window": ["down Escape", "up Escape"], "button": ["down Escape", "up Escape"]},
        {"do": "expect-dialog-keys", "document": "poster.psd", "kind": "messageBox",
            "closedBy": "Return posted to the window", "window": ["down Return", "up Return"],
            "button": ["down Return", "up Return"]},
        {"do": "fail-next-play", "count": 1},
        {"do": "do-it", "oper": 4, "expect": {"descriptor": {"UpdL": -128, "RplS": 0}}},
        {"do": "expect-fonts", "document": "poster.psd", "replaced": ["ArialMT", "Courier"]},
        {"do": "do-it", "oper": 6, "descriptor": {"Path": ")" +
        table +
        R"(", "Text": "Courier-Oblique\tx\nHelvetica-BoldOblique\tx\nPalatino-Italic\tx\nArialMT\tx\nCourier\tx\n"}},
        {"do": "fail-next-play", "count": 2, "error": -50},
        {"do": "do-it", "oper": 4, "expect": {"descriptor": {"UpdL": -50, "RplS": -50}}},
        {"do": "expect-fonts", "document": "poster.psd", "missing": ["Times-Bold"], "replaced": ["ArialMT", "Courier"]},
        {"do": "do-it", "oper": 4, "expect": {"descriptor": {"UpdL": 0, "RplS": 0}}},
        {"do": "expect-plays", "event": "replaceSubstitutes", "count": 3},
        {"do": "expect-fonts", "document": "poster.psd", "missing": ["Times-Bold"], "replaced": ["ArialMT",
            "Courier", "Courier-Oblique", "Helvetica-BoldOblique", "Palatino-Italic"]},
        {"do": "do-it", "oper": 3, "descriptor": {"Scrp": "var d = app.activeDocument;\nd.info"},
            "expect": {"descriptor": {"Rslt": 0}}},
        {"do": "expect-documents", "documents": [{"title": "poster.psd", "xmp": true}, {"title": "broken.psd", "xmp": false}]},
        {"do": "quit"}
    ]})");
    EXPECT_EQ(0, exitCode) << mTranscript;
    EXPECT_TRUE(Has(
        "open \"" + poster +
        "\" as 1001: fonts [Times-Bold, Helvetica-BoldOblique, ArialMT, Courier, Courier-Oblique, "
        "Palatino-Italic]; missing [Helvetica-BoldOblique, ArialMT, Courier, Courier-Oblique, "
        "Palatino-Italic]\nmissing-fonts dialog for \"poster.psd\" (1001) opened\nmissing-fonts dialog for "
        "\"poster.psd\" (1001): title \"Missing Fonts\", button \"Cancel\"\nmessage box for \"poster.psd\" "
        "(1001) opened\nmessage box for \"poster.psd\" (1001): title \"Adobe Photoshop CC 2020\", button "
        "\"OK\""))
        << mTranscript;
    EXPECT_TRUE(Has("open \"" + broken + "\" as 1002: fonts []; missing [] (cannot read its fonts: "));
    EXPECT_TRUE(Has("WM_FONTCHANGE: system font table re-read: 3 font(s)"));
    EXPECT_TRUE(Has("message box for \"poster.psd\" (1001) closed by Return posted to the window; fonts all "
                    "installed: no"));
    EXPECT_TRUE(
        Has("missing-fonts dialog for \"poster.psd\" (1001) closed by Escape posted to the window; fonts "
            "all installed: no"));
    EXPECT_TRUE(Has("Play updateLayouts options=2 -> -128 (injected failure)"));
    EXPECT_TRUE(Has("replaceSubstitutes: \"poster.psd\" replaced [ArialMT, Courier]; still missing "
                    "[Helvetica-BoldOblique, Courier-Oblique, Palatino-Italic]"));
    EXPECT_TRUE(Has("replaceSubstitutes: \"poster.psd\" replaced [Helvetica-BoldOblique, Courier-Oblique, "
                    "Palatino-Italic]; still missing []"));
    EXPECT_EQ(2u,
              Count("replaceSubstitutes: \"broken.psd\" replaced []; still missing []")); // not when failed
    EXPECT_TRUE(Has("ExtendScript: var d = app.activeDocument;\\nd.info"));
    EXPECT_FALSE(Has("still open at the end"));
}

TEST_F(DocumentStepsTest, SavesWriteTheXMPPacketPhotoshopWrites)
{
    // The poster carries a font-usage slug, as the plug-in leaves it after a save.
    const std::string poster = Copy("poster.psd", "poster.psd");
    std::string error;
    typehold::FontUsageRecord font;
    font.Set("PostScriptName", "Times-Bold");
    font.Set("Version", "1.05");
    ASSERT_EQ(typehold::UpdateDocumentXMP(
                  poster,
                  [&font](const typehold::GExistingXMP&, std::string& packet, std::string& why)
                  {
                      return typehold::MergeFontUsage("", {font}, packet, why) ? CoreErrorCodes::kSuccess
                                                                               : CoreErrorCodes::kError;
                  },
                  nullptr, error),
              0u)
        << error;
    const std::string slugged = ReadWholeFile(poster);
    const std::string letter = Copy("letter.pdf", "letter.pdf");
    const std::string single = Json(UTF8FromPath(TestDocument("single.psd")));
    const int exitCode = Run(std::string(R"({"steps": [)") + kSetUp + R"(
        {"do": "new", "title": "Fresh", "content": ")" +
                             single + R"("},
        {"do": "save", "path": "${PSIM_TEST_FOLDER}\\fresh.psd"},
        {"do": "new", "title": "Scripted", "content": ")" +
                             single + R"("},
        {"do": "do-it", "oper": 3, "descriptor": {"Scrp": "app.activeDocument.info"}, "expect": {"descriptor": {"Rslt": 0}}},
        {"do": "save", "path": "${PSIM_TEST_FOLDER}\\scripted.psd"},
        {"do": "open", "path": "${PSIM_TEST_FOLDER}\\poster.psd", "missingFontsDialog": false},
        {"do": "save"},
        {"do": "save", "path": "${PSIM_TEST_FOLDER}\\poster copy.psd"},
        {"do": "open", "path": "${PSIM_TEST_FOLDER}\\letter.pdf", "missingFontsDialog": false},
        {"do": "save", "path": "${PSIM_TEST_FOLDER}\\letter copy.pdf"},
        {"do": "quit"}
    ]})");
    ASSERT_EQ(0, exitCode) << mTranscript;

    auto packetOf = [](const std::string& path)
    {
        typehold::GExistingXMP existing;
        std::string why;
        EXPECT_EQ(typehold::ReadDocumentXMP(path, existing, why), 0u) << path << ": " << why;
        EXPECT_TRUE(existing.readable) << path;
        return existing.packet;
    };
    auto fontsOf = [](const std::string& path)
    {
        std::vector<std::string> names;
        std::string why;
        EXPECT_TRUE(typehold::ReadDocumentFontNames(path, names, why)) << why;
        return names;
    };
    const std::string folder = Folder();
    // A new document has a packet only once a script re-serialised its XMP.
    EXPECT_EQ(ReadWholeFile(folder + "\\fresh.psd"), ReadWholeFile(UTF8FromPath(TestDocument("single.psd"))));
    const std::string scripted = packetOf(folder + "\\scripted.psd");
    EXPECT_NE(scripted.find("<xmp:CreatorTool>Adobe Photoshop 21.2 (Windows)</xmp:CreatorTool>"),
              std::string::npos)
        << scripted;
    EXPECT_NE(scripted.find("<dc:format>image/vnd.adobe.photoshop</dc:format>"), std::string::npos);
    EXPECT_NE(scripted.find("<xmpMM:InstanceID>xmp.iid:"), std::string::npos);
    EXPECT_EQ(fontsOf(folder + "\\scripted.psd"), fontsOf(UTF8FromPath(TestDocument("single.psd"))));
    // Saved in place: as it was; saved as a copy: the document's packet with the save's
    // properties, its slug kept.
    EXPECT_EQ(ReadWholeFile(poster), slugged);
    const std::string copy = packetOf(folder + "\\poster copy.psd");
    std::vector<typehold::FontUsageRecord> slug;
    bool present = false;
    ASSERT_TRUE(typehold::ReadFontUsage(copy, slug, present, error)) << error;
    ASSERT_EQ(slug.size(), 1u);
    EXPECT_EQ(slug[0].fields, font.fields);
    EXPECT_NE(copy.find("<xmp:ModifyDate>"), std::string::npos);
    EXPECT_EQ(fontsOf(folder + "\\poster copy.psd"), fontsOf(poster));
    const std::string pdf = ReadWholeFile(folder + "\\letter copy.pdf");
    const std::string original = ReadWholeFile(letter);
    EXPECT_EQ(pdf.substr(0, original.size()), original) << "an incremental update";
    const std::string pdfPacket = packetOf(folder + "\\letter copy.pdf");
    EXPECT_NE(pdfPacket.find("pdf:Producer=\"GPL Ghostscript"), std::string::npos);
    EXPECT_NE(pdfPacket.find("<dc:format>application/pdf</dc:format>"), std::string::npos);
    EXPECT_NE(pdfPacket.find("<xmp:CreatorTool>UnknownApplication</xmp:CreatorTool>"), std::string::npos)
        << "the creator stays the creator";
    EXPECT_EQ(Count("; XMP written"), 3u) << mTranscript;
}

TEST_F(DocumentStepsTest, KillsProcessesByNameAndReportsFailedChecks)
{
    // The victim: a copy of the simulator under a name of its own, waiting for a minute.
    const std::string name = "victim-" + std::to_string(GetCurrentProcessId()) + ".exe";
    const std::filesystem::path victim = PathFromUTF8(mScratch.MakeFolder("victim"));
    std::filesystem::copy_file(ProgramFolder() / "photoshop-sim.exe", victim / PathFromUTF8(name));
    std::filesystem::copy_file(ProgramFolder() / "CoreFoundation.dll", victim / "CoreFoundation.dll");
    const std::string scenario =
        mScratch.WriteFile("victim\\wait.json", R"({"steps": [{"do": "wait", "ms": 60000}]})");
    std::wstring commandLine = Quote((victim / PathFromUTF8(name)).wstring()) + L" --plugins " +
                               Quote(victim.wstring()) + L" --scenario " +
                               Quote(PathFromUTF8(scenario).wstring()) + L" --transcript " +
                               Quote((victim / "transcript.txt").wstring());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    CloseHandle(process.hThread);
    for (int tries = 0; tries < 100 && !std::filesystem::exists(victim / "transcript.txt"); ++tries)
    {
        Sleep(50);
    }

    const int exitCode = Run(R"({"steps": [
        {"do": "kill-process", "name": ")" +
                             name + R"(", "expect": {"count": 1}},
        {"do": "kill-process", "name": ")" +
                             name + R"(", "expect": {"count": 1}},
        {"do": "expect-documents", "documents": [], "active": null},
        {"do": "expect-fonts", "document": "nothing.psd", "missing": []},
        {"do": "wait-until", "condition": {"do": "expect-dialogs", "open": 1}, "timeoutMs": 200},
        {"do": "expect-dialog-keys", "document": "nothing.psd", "window": []}
    ]})");
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 10000));
    DWORD victimExit = 0;
    GetExitCodeProcess(process.hProcess, &victimExit);
    CloseHandle(process.hProcess);
    EXPECT_EQ(1u, victimExit);
    EXPECT_EQ(1, exitCode) << mTranscript;
    EXPECT_TRUE(Has("kill-process " + name + ": 1 process(es) terminated"));
    EXPECT_TRUE(Has("EXPECTATION FAILED step 2 (kill-process): 0 process(es) named " + name +
                    " terminated, expected 1"));
    EXPECT_TRUE(Has("EXPECTATION FAILED step 4 (expect-fonts): no open document is \"nothing.psd\""));
    EXPECT_TRUE(
        Has("EXPECTATION FAILED step 5 (wait-until): still not after 200 ms: 0 missing-fonts dialog(s) "
            "and 0 message box(es) open, expected 1 and any"));
    EXPECT_TRUE(Has("EXPECTATION FAILED step 6 (expect-dialog-keys): no missing-fonts dialog for "
                    "\"nothing.psd\" was opened"));
    EXPECT_EQ(4u, Count("EXPECTATION FAILED"));
}
