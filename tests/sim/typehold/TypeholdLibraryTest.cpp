// The font manager stand-ins end to end: the interface library loaded from the core's folder,
// Typehold.exe behind it, real font files, real documents and a real pipe.

#include "TypeholdCoreTest.h"
#include "TypeholdProtocol.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

using typehold::GCFHolder;
using typehold::MessageInt;
using typehold::MessageString;

namespace
{
// Counts WM_FONTCHANGE broadcasts from a hidden top-level window of its own thread.
class GFontChangeWatcher
{
public:
    GFontChangeWatcher()
    {
        mThread = std::thread(
            [this]
            {
                WNDCLASSW windowClass{};
                windowClass.lpfnWndProc = WindowProc;
                windowClass.hInstance = GetModuleHandleW(nullptr);
                windowClass.lpszClassName = L"TypeholdTestFontChangeWatcher";
                RegisterClassW(&windowClass);
                mWindow = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10,
                                          nullptr, nullptr, windowClass.hInstance, nullptr);
                mReady = true;
                MSG message;
                while (GetMessageW(&message, nullptr, 0, 0) > 0)
                {
                    DispatchMessageW(&message);
                }
            });
        while (!mReady)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~GFontChangeWatcher()
    {
        PostMessageW(mWindow, WM_CLOSE, 0, 0);
        mThread.join();
    }
    static int Count() { return sCount; }
    // Waits until more than `seen` broadcasts arrived.
    static bool WaitBeyond(int seen)
    {
        for (int i = 0; i < 200 && sCount <= seen; ++i)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return sCount > seen;
    }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_FONTCHANGE)
        {
            ++sCount;
            return 0;
        }
        if (message == WM_DESTROY)
        {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static inline std::atomic<int> sCount{0};
    std::thread mThread;
    std::atomic<bool> mReady{false};
    HWND mWindow = nullptr;
};

// A process started by a test, ended with it whatever happens.
struct GLaunchedProcess
{
    HANDLE process = nullptr;

    bool Start(const std::wstring& program, std::wstring commandLine)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &started))
        {
            return false;
        }
        CloseHandle(started.hThread);
        process = started.hProcess;
        return true;
    }
    ~GLaunchedProcess()
    {
        if (process != nullptr)
        {
            TerminateProcess(process, 9);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
    }
};

std::set<std::string> Names(CFArrayRef records)
{
    std::set<std::string> names;
    for (CFDictionaryRef record : Records(records))
    {
        names.insert(MessageString(record, "PostScriptName"));
    }
    return names;
}

CFDictionaryRef RecordNamed(CFArrayRef records, const std::string& name)
{
    for (CFDictionaryRef record : Records(records))
    {
        if (MessageString(record, "PostScriptName") == name)
        {
            return record;
        }
    }
    return nullptr;
}

std::set<std::string> OracleNames(const std::string& document)
{
    std::ifstream in(PathFromUTF8(document + ".fonts"));
    std::set<std::string> names;
    for (std::string line; std::getline(in, line);)
    {
        if (!line.empty())
        {
            names.insert(line);
        }
    }
    return names;
}
} // namespace

class TypeholdLibraryTest : public GTypeholdCoreTest
{
};

TEST_F(TypeholdLibraryTest, ActivationsAreHeldPerClientAndPublished)
{
    GFontChangeWatcher watcher;
    StartAndConnect();
    const std::uint32_t mine = FontID("Carlito-Bold");
    const std::uint32_t shared = FontID("LiberationSans-Bold");
    const std::uint32_t system = FontID("DejaVuSans");
    EXPECT_EQ(mLibrary->InitThreadInstance(Facade()), 0u);
    auto& recorder = GNotificationRecorder::Shared();
    ASSERT_EQ(RunCtl(L"activate --client other " + std::to_wstring(shared)), 0);
    ASSERT_TRUE(recorder.WaitFor([](const auto& entries) { return !entries.empty(); }, 5000));
    recorder.Clear();

    const int broadcasts = GFontChangeWatcher::Count();
    const std::vector<std::uint32_t> ids{mine, shared, system, 424242};
    std::uint32_t notActivated[4] = {};
    LPIFontActivationResult results[4] = {};
    std::uint32_t notActivatedCount = 9;
    std::uint32_t resultCount = 9;
    ASSERT_EQ(mLibrary->ActivateFonts(Facade(), 4, ids.data(), 0, 1, 1, 1, 4, 4, notActivated, results,
                                      &notActivatedCount, &resultCount),
              0u);
    ASSERT_EQ(notActivatedCount, 1u);
    EXPECT_EQ(notActivated[0], 424242u);
    ASSERT_EQ(resultCount, 1u);
    EXPECT_EQ(results[0].fontID, 424242u);
    EXPECT_NE(results[0].code, 0u);

    EXPECT_EQ(Activated({mine, shared, system}), (std::vector<std::uint32_t>{1, 1, 1}));
    std::uint32_t states[3] = {};
    const std::uint32_t held[3] = {mine, shared, system};
    ASSERT_EQ(mLibrary->GetClientFontActivationStates(3, held, states), 0u);
    EXPECT_NE(states[0], 0u);
    EXPECT_NE(states[1], 0u);
    EXPECT_EQ(states[2], 0u) << "a system font is nobody's activation";
    EXPECT_NE(SystemFontTable().find("Carlito-Bold\t"), std::string::npos);
    EXPECT_NE(SystemFontTable().find("Carlito-Bold.ttf"), std::string::npos);
    EXPECT_TRUE(GFontChangeWatcher::WaitBeyond(broadcasts)) << "no WM_FONTCHANGE after the activation";
    ASSERT_TRUE(recorder.WaitFor([](const auto& entries) { return !entries.empty(); }, 5000));
    EXPECT_EQ(recorder.ValuesOf(kLPINotifyFontActivated), (std::vector<std::int64_t>{mine}))
        << "only the font that was not active before";

    const int afterActivation = GFontChangeWatcher::Count();
    ASSERT_EQ(mLibrary->DeactivateFonts(Facade(), 3, held, 0), 0u);
    EXPECT_EQ(Activated({mine, shared, system}), (std::vector<std::uint32_t>{0, 1, 1}))
        << "another client's font and a system font stay active";
    EXPECT_EQ(MessageInt(FontInfo(mine).Get(), "ActivationStatus"), 0);
    EXPECT_EQ(MessageInt(FontInfo(shared).Get(), "ActivationStatus"), 5);
    GCFHolder<CFMutableDictionaryRef> systemFont = FontInfo(system);
    EXPECT_EQ(MessageInt(systemFont.Get(), "ActivationStatus"), 4);
    EXPECT_EQ(MessageString(systemFont.Get(), "IsSystem"), "1");
    EXPECT_EQ(SystemFontTable().find("Carlito-Bold\t"), std::string::npos);
    EXPECT_NE(SystemFontTable().find("LiberationSans-Bold\t"), std::string::npos);
    EXPECT_TRUE(GFontChangeWatcher::WaitBeyond(afterActivation));
    EXPECT_TRUE(recorder.WaitFor(
        [](const auto& entries)
        {
            return std::any_of(entries.begin(), entries.end(),
                               [](const auto& e) { return e.type == kLPINotifyFontDeactivated; });
        },
        5000));
    EXPECT_EQ(recorder.ValuesOf(kLPINotifyFontDeactivated), (std::vector<std::int64_t>{mine}));
}

TEST_F(TypeholdLibraryTest, DocumentFontsAreMatchedFromRealDocuments)
{
    // A second version of Cantarell-Regular in a folder of its own.
    std::string font = ReadWholeFile(TestFontsFolder() + "\\fonts-cantarell\\Cantarell-Regular.otf");
    ASSERT_GT(ReplaceNameText(font, "Version 0.303", "Version 0.309"), 0);
    mConfig->MakeFolder("newer");
    mConfig->WriteFile("newer/Cantarell-Regular.otf", font);
    StartAndConnect(ConfigJSON("", {TestFontsFolder(), WindowsPath(mConfig->Child("newer"))}));

    const std::string studio = DocumentsFolder() + "\\studio.psd";
    const std::set<std::string> missing{"Caladea-Black", "Zapfino-Regular"};
    std::set<std::string> expected = OracleNames(studio);
    ASSERT_EQ(expected.size(), 7u);
    for (const std::string& name : missing)
    {
        expected.erase(name);
    }
    GCFHolder<CFMutableArrayRef> matched;
    GCFHolder<CFMutableArrayRef> problems;
    ASSERT_EQ(ActivateDocument(studio, true, false, matched, problems), 0u);
    EXPECT_EQ(Names(matched.Get()), expected);
    EXPECT_EQ(Names(problems.Get()), missing);
    for (CFDictionaryRef record : Records(matched.Get()))
    {
        EXPECT_GE(MessageInt(record, "DatabaseID"), 1001);
        EXPECT_FALSE(MessageString(record, "Checksum").empty());
        EXPECT_FALSE(MessageString(record, "OutlineFileName").empty());
        EXPECT_NE(typehold::MessageArray(record, "SubDocumentsWithFont"), nullptr);
    }
    CFDictionaryRef cantarell = RecordNamed(matched.Get(), "Cantarell-Regular");
    ASSERT_NE(cantarell, nullptr);
    EXPECT_EQ(MessageString(cantarell, "Version"), "0.309") << "the best match is the newer version";
    CFDictionaryRef carlito = RecordNamed(matched.Get(), "Carlito-Bold");
    EXPECT_EQ(MessageString(carlito, "IsActive"), "0");
    EXPECT_EQ(MessageInt(carlito, "ActivationStatus"), 1);
    CFDictionaryRef dejaVu = RecordNamed(matched.Get(), "DejaVuSans-Bold");
    EXPECT_EQ(MessageString(dejaVu, "IsActive"), "1") << "a system font was active before";
    EXPECT_EQ(MessageInt(dejaVu, "ActivationStatus"), 4);
    const std::set<std::string> caladea{"Caladea-Regular", "Caladea-Bold", "Caladea-Italic",
                                        "Caladea-BoldItalic"};
    EXPECT_EQ(
        Names(typehold::MessageArray(RecordNamed(problems.Get(), "Caladea-Black"), "PossibleReplacements")),
        caladea);
    EXPECT_EQ(CFArrayGetCount(typehold::MessageArray(RecordNamed(problems.Get(), "Zapfino-Regular"),
                                                     "PossibleReplacements")),
              0);
    EXPECT_EQ(Activated({static_cast<std::uint32_t>(MessageInt(carlito, "DatabaseID"))}),
              (std::vector<std::uint32_t>{1}));

    // Without pick-best-match, the two versions come back as a problem; the fonts activated by
    // the first request were active before this one.
    ASSERT_EQ(ActivateDocument(studio, false, false, matched, problems), 0u);
    EXPECT_EQ(Names(typehold::MessageArray(RecordNamed(problems.Get(), "Cantarell-Regular"),
                                           "PossibleReplacements")),
              std::set<std::string>{"Cantarell-Regular"});
    EXPECT_EQ(CFArrayGetCount(typehold::MessageArray(RecordNamed(problems.Get(), "Cantarell-Regular"),
                                                     "PossibleReplacements")),
              2);
    EXPECT_EQ(RecordNamed(matched.Get(), "Cantarell-Regular"), nullptr);
    EXPECT_EQ(MessageString(RecordNamed(matched.Get(), "Carlito-Bold"), "IsActive"), "1");

    // A ghostscript PDF with entire families: the document's fonts (as pdffonts reads them) and
    // the rest of their families.
    const std::string letter = DocumentsFolder() + "\\letter.pdf";
    ASSERT_EQ(ActivateDocument(letter, true, true, matched, problems), 0u);
    EXPECT_EQ(CFArrayGetCount(problems.Get()), 0);
    std::set<std::string> families = OracleNames(letter);
    for (const char* name : {"LiberationSans", "LiberationSans-Italic", "LiberationSans-BoldItalic",
                             "Carlito", "Carlito-BoldItalic", "EBGaramond12-Italic", "EBGaramond12-Bold",
                             "EBGaramond08-Regular", "EBGaramond08-Italic"})
    {
        families.insert(name);
    }
    families.insert("Carlito-Bold"); // the family member activated by the first document
    EXPECT_EQ(Names(matched.Get()), families);

    // A document that cannot be read activates nothing.
    ASSERT_NE(ActivateDocument(DocumentsFolder() + "\\no such document.psd", true, false, matched, problems),
              0u);
    EXPECT_EQ(CFArrayGetCount(matched.Get()), 0);
    EXPECT_EQ(CFArrayGetCount(problems.Get()), 0);
}

TEST_F(TypeholdLibraryTest, TenThousandNotificationsArriveOnceAndInOrder)
{
    StartAndConnect();
    ASSERT_EQ(RunCtl(L"emit 8 10000"), 0);
    auto& recorder = GNotificationRecorder::Shared();
    ASSERT_TRUE(recorder.WaitFor([](const auto& entries) { return entries.size() >= 10000; }, 120000))
        << recorder.CountOf(kLPINotifyFontActivated) << " arrived";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::vector<std::int64_t> ids = recorder.ValuesOf(kLPINotifyFontActivated);
    ASSERT_EQ(ids.size(), 10000u);
    for (std::size_t i = 0; i < ids.size(); ++i)
    {
        ASSERT_EQ(ids[i], static_cast<std::int64_t>(i + 1)) << "at " << i;
    }

    // After unregistering, the callback is not called again.
    ASSERT_EQ(mLibrary->UnregisterForNotifications(Facade(), GNotificationRecorder::Callback), 0u);
    recorder.Clear();
    ASSERT_EQ(RunCtl(L"emit 8 50"), 0);
    EXPECT_FALSE(recorder.WaitFor([](const auto& entries) { return !entries.empty(); }, 1000));
}

TEST_F(TypeholdLibraryTest, ConfigurationChangesAndReplicationAreNotified)
{
    StartAndConnect();
    auto& recorder = GNotificationRecorder::Shared();
    const std::string changes = "\"user\": {\"loggedIn\": false, \"serverType\": 3}, \"online\": false,\n"
                                "  \"googleWebFonts\": {\"enabled\": false},\n"
                                "  \"permissions\": {\"activateAcrossWorkgroups\": false}";
    WriteConfig(ConfigJSON(changes));
    const std::vector<std::uint32_t> wanted{kLPINotifyLoggedInStateChanged, kLPINotifyOnlineStateChanged,
                                            kLPINotifyGoogleWebFontsEnabled,
                                            kLPINotifyUserPermissionsChanged};
    ASSERT_TRUE(recorder.WaitFor(
        [&](const auto& entries)
        {
            return std::all_of(wanted.begin(), wanted.end(),
                               [&](std::uint32_t type) {
                                   return std::any_of(entries.begin(), entries.end(),
                                                      [type](const auto& e) { return e.type == type; });
                               });
        },
        10000));
    GCFHolder<CFDictionaryRef> login(recorder.CopyFirstDictionary(kLPINotifyLoggedInStateChanged));
    ASSERT_TRUE(login);
    EXPECT_FALSE(typehold::MessageBool(login.Get(), "isLoggedIn", true));
    EXPECT_EQ(MessageInt(login.Get(), "serverType"), 3);
    EXPECT_EQ(recorder.ValuesOf(kLPINotifyOnlineStateChanged), (std::vector<std::int64_t>{0}));
    EXPECT_EQ(recorder.ValuesOf(kLPINotifyGoogleWebFontsEnabled), (std::vector<std::int64_t>{0}));
    EXPECT_EQ(recorder.CountOf(kLPINotifyWorkgroupsChanged), 0u);
    std::uint32_t yes = 1;
    EXPECT_EQ(mLibrary->GetIsLoggedIn(Facade(), &yes), 0u);
    EXPECT_EQ(yes, 0u);

    // A new workgroup.
    recorder.Clear();
    WriteConfig(ConfigJSON(
        changes, {}, "    {\"id\": 5, \"name\": \"Studio\", \"type\": 3, \"fonts\": [\"Carlito*\"]},\n"));
    ASSERT_TRUE(recorder.WaitFor([](const auto& entries) { return !entries.empty(); }, 10000));
    EXPECT_EQ(recorder.CountOf(kLPINotifyWorkgroupsChanged), 1u);
    GCFHolder<CFMutableArrayRef> workgroups(typehold::CreateMutableArray());
    ASSERT_EQ(mLibrary->GetAllWorkgroupsForUser(Facade(), workgroups.Get(), 0, 0), 0u);
    EXPECT_EQ(CFArrayGetCount(workgroups.Get()), 3);
    EXPECT_EQ(FontID("Carlito-Bold", 5) != 0, true) << "the pattern moved Carlito into the new workgroup";

    // Replication progress, then its end.
    recorder.Clear();
    ASSERT_EQ(RunCtl(L"replicate bulk 3"), 0);
    ASSERT_TRUE(recorder.WaitFor(
        [](const auto& entries)
        {
            return std::any_of(entries.begin(), entries.end(),
                               [](const auto& e) { return e.type == kLPINotifyBulkReplicationStopped; });
        },
        10000));
    EXPECT_EQ(recorder.CountOf(kLPINotifyBulkReplicationProgress), 3u);
    GCFHolder<CFDictionaryRef> progress(recorder.CopyFirstDictionary(kLPINotifyBulkReplicationProgress));
    EXPECT_EQ(MessageInt(progress.Get(), "stepIndex"), 1);
    EXPECT_EQ(MessageInt(progress.Get(), "numSteps"), 3);
    EXPECT_FALSE(MessageString(progress.Get(), "text").empty());

    // A core that exits normally says so.
    ASSERT_EQ(RunCtl(L"exit"), 0);
    EXPECT_TRUE(recorder.WaitFor(
        [](const auto& entries)
        {
            return std::any_of(entries.begin(), entries.end(),
                               [](const auto& e) { return e.type == kLPINotifyAgentShutdown; });
        },
        5000));
}

TEST_F(TypeholdLibraryTest, KilledCoreIsUnavailableUntilResetAndRelaunch)
{
    StartAndConnect();
    const std::uint32_t font = FontID("Caladea-Bold");
    ASSERT_EQ(
        mLibrary->ActivateFonts(Facade(), 1, &font, 0, 1, 1, 1, 0, 0, nullptr, nullptr, nullptr, nullptr),
        0u);

    mCore->Kill();
    const auto start = std::chrono::steady_clock::now();
    std::uint32_t yes = 0;
    EXPECT_EQ(mLibrary->GetFontIsActivated(Facade(), 1, &font, &yes), kLPIServiceUnavailable);
    EXPECT_EQ(mLibrary->GetIsLoggedIn(Facade(), &yes), kLPIServiceUnavailable);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    yes = 1;
    EXPECT_EQ(mLibrary->GetIsCoreAgentProcessRunning(Facade(), &yes), 0u);
    EXPECT_EQ(yes, 0u);

    // A relaunched core is not used until the facade is reset.
    ASSERT_TRUE(mCore->Start());
    EXPECT_EQ(mLibrary->GetFontIsActivated(Facade(), 1, &font, &yes), kLPIServiceUnavailable);
    ASSERT_EQ(mLibrary->ResetPluginFacadeInstance(), 0u);
    EXPECT_EQ(Activated({font}), (std::vector<std::uint32_t>{1})) << "the activation survived the relaunch";
    std::uint32_t state = 0;
    ASSERT_EQ(mLibrary->GetClientFontActivationStates(1, &font, &state), 0u);
    EXPECT_EQ(state, 5u) << "and is still this client's";

    // The callback was registered again with the new connection.
    ASSERT_EQ(RunCtl(L"emit 9 1 777"), 0);
    EXPECT_TRUE(GNotificationRecorder::Shared().WaitFor(
        [](const auto& entries)
        { return std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.value == 777; }); },
        5000));
}

TEST_F(TypeholdLibraryTest, CoreKilledDuringACallAnswersUnavailable)
{
    StartAndConnect(ConfigJSON("\"callDelayMs\": {\"ActivateDocumentFontsByPath\": 4000}"));
    LPIResult result = 0;
    GCFHolder<CFMutableArrayRef> matched;
    GCFHolder<CFMutableArrayRef> problems;
    std::thread call(
        [&]
        { result = ActivateDocument(DocumentsFolder() + "\\studio.psd", true, false, matched, problems); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const auto killed = std::chrono::steady_clock::now();
    mCore->Kill();
    call.join();
    EXPECT_EQ(result, kLPIServiceUnavailable);
    EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(3));

    ASSERT_TRUE(mCore->Start());
    ASSERT_EQ(mLibrary->ResetPluginFacadeInstance(), 0u);
    EXPECT_EQ(Activated({FontID("Carlito-Bold")}), (std::vector<std::uint32_t>{0}))
        << "the killed call activated nothing";
}

// A core that stops answering without dying (typehold-ctl freeze): a call gives up after the
// library's bound with "service unavailable" and leaves the facade broken, so that later calls
// answer at once; a reset's new connection waits for its hello once more; typehold-ctl is still
// answered. After the thaw and a reset the library works again, and a freeze with a duration ends
// by itself.
TEST_F(TypeholdLibraryTest, AFrozenCoreCostsTheCallerOneBoundedWait)
{
    using Clock = std::chrono::steady_clock;
    const auto bound = std::chrono::milliseconds(4000);
    StartAndConnect();
    const std::uint32_t font = FontID("Carlito-Bold");
    ASSERT_EQ(RunCtl(L"freeze"), 0);

    std::uint32_t yes = 0;
    auto start = Clock::now();
    EXPECT_EQ(mLibrary->GetFontIsActivated(Facade(), 1, &font, &yes), kLPIServiceUnavailable);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(500)) << "the call waited for the core";
    EXPECT_LT(Clock::now() - start, bound);
    start = Clock::now();
    EXPECT_EQ(mLibrary->DeactivateFonts(Facade(), 1, &font, 0), kLPIServiceUnavailable);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << "broken: no second wait";
    EXPECT_EQ(RunCtl(L"dump"), 0) << "typehold-ctl is answered by a frozen core";

    ASSERT_EQ(mLibrary->ResetPluginFacadeInstance(), 0u);
    start = Clock::now();
    EXPECT_EQ(mLibrary->GetFontIsActivated(Facade(), 1, &font, &yes), kLPIServiceUnavailable);
    EXPECT_LT(Clock::now() - start, bound) << "a new connection's hello waits no longer than a call";
    start = Clock::now();
    EXPECT_EQ(mLibrary->GetFontIsActivated(Facade(), 1, &font, &yes), kLPIServiceUnavailable);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));

    ASSERT_EQ(RunCtl(L"thaw"), 0);
    EXPECT_EQ(mLibrary->GetFontIsActivated(Facade(), 1, &font, &yes), kLPIServiceUnavailable)
        << "broken until reset";
    ASSERT_EQ(mLibrary->ResetPluginFacadeInstance(), 0u);
    EXPECT_EQ(Activated({font}), (std::vector<std::uint32_t>{0}));

    ASSERT_EQ(RunCtl(L"freeze 1000"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(Activated({font}), (std::vector<std::uint32_t>{0})) << "the freeze ended by itself";
    EXPECT_EQ(RunCtl(L"freeze -5"), 2);
    const std::string log = CoreLog();
    EXPECT_NE(log.find("Frozen until thawed"), std::string::npos) << log;
    EXPECT_NE(log.find("Thawed (typehold-ctl thaw)"), std::string::npos) << log;
    EXPECT_NE(log.find("Frozen for 1000 ms"), std::string::npos) << log;
    EXPECT_NE(log.find("Thawed (its time is up)"), std::string::npos) << log;
}

TEST_F(TypeholdLibraryTest, LaunchInformationSecondInstanceAndSettling)
{
    // The installer's file, read and launched the way the plug-in does it.
    WriteConfig(ConfigJSON());
    const std::wstring installer = Wide(WindowsPath(TYPEHOLD_BIN_DIR)) + L"\\lumorand-install.exe";
    const std::wstring core = GCoreLayout::Shared().Program(L"Typehold.exe");
    ASSERT_EQ(
        RunProgram(installer, L"--typehold \"" + core + L"\" --config \"" + Wide(ConfigFolder()) + L"\""), 0);
    wchar_t appData[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, appData)));
    const std::string info = ReadWholeFile(UTF8FromPath(std::filesystem::path(appData) / L"Lumorand" /
                                                        L"com.lumorand.Typehold-LaunchInfo.conf"));
    const std::string corePath = UTF8FromPath(core);
    EXPECT_EQ(info,
              "typehold.path=" + corePath + "\r\ntypehold.args=--config \"" + ConfigFolder() + "\"\r\n");
    const auto value = [&info](const std::string& key)
    {
        const std::size_t start = info.find('=', info.find(key)) + 1;
        return info.substr(start, info.find_first_of("\r\n", start) - start);
    };
    std::wstring commandLine = L"\"" + Wide(value("typehold.path")) + L"\" " + Wide(value("typehold.args"));
    GLaunchedProcess launched;
    ASSERT_TRUE(launched.Start(Wide(value("typehold.path")), commandLine));
    EXPECT_EQ(WaitForInputIdle(launched.process, 2000), 0u)
        << "the core settles within the launcher's 2000 ms";

    // A second core exits at once with 3.
    EXPECT_EQ(RunProgram(core, L"--config \"" + Wide(ConfigFolder()) + L"\"", 10000), 3);
    std::uint32_t running = 0;
    EXPECT_EQ(mLibrary->GetIsCoreAgentProcessRunning(Facade(), &running), 0u);
    EXPECT_EQ(running, 1u);
    mLibrary->ResetPluginFacadeInstance();
    EXPECT_EQ(RunCtl(L"exit"), 0) << CoreLog();
    EXPECT_EQ(WaitForSingleObject(launched.process, 10000), WAIT_OBJECT_0);

    // Line feeds only, no arguments, per user; then removed.
    ASSERT_EQ(RunProgram(installer, L"--per-user --lf --no-args --typehold \"" + core + L"\""), 0);
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, appData)));
    const std::filesystem::path perUser =
        std::filesystem::path(appData) / L"Lumorand" / L"com.lumorand.Typehold-LaunchInfo.conf";
    EXPECT_EQ(ReadWholeFile(UTF8FromPath(perUser)), "typehold.path=" + corePath + "\n");
    ASSERT_EQ(RunProgram(installer, L"--per-user --remove"), 0);
    EXPECT_FALSE(std::filesystem::exists(perUser));
    ASSERT_EQ(RunProgram(installer, L"--remove"), 0);

    // A core held back at start-up never settles in time.
    WriteConfig(ConfigJSON("\"startupDelayMs\": 4000"));
    GLaunchedProcess delayed;
    ASSERT_TRUE(delayed.Start(core, commandLine));
    EXPECT_EQ(WaitForInputIdle(delayed.process, 2000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(delayed.process, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still running";
}

TEST_F(TypeholdLibraryTest, HostileFontFilesAreSkippedAndIDsStayStable)
{
    mConfig->MakeFolder("fonts");
    const std::string good = ReadWholeFile(TestFontsFolder() + "\\fonts-crosextra-caladea\\Caladea-Bold.ttf");
    mConfig->WriteFile("fonts/Caladea-Bold.ttf", good);
    mConfig->WriteFile("fonts/garbage.ttf", std::string(4096, '\x5A'));
    mConfig->WriteFile("fonts/truncated.otf", good.substr(0, 300));
    mConfig->WriteFile("fonts/empty.ttc", "");
    const std::string folder = WindowsPath(mConfig->Child("fonts"));
    StartAndConnect(ConfigJSON("", {folder}));

    const std::uint32_t id = FontID("Caladea-Bold");
    EXPECT_GE(id, 1001u);
    const std::string log = CoreLog();
    for (const char* name : {"garbage.ttf", "truncated.otf", "empty.ttc"})
    {
        EXPECT_NE(log.find(std::string("Skipped font file ") + folder + "\\" + name), std::string::npos)
            << name;
    }

    // The same catalog after a restart keeps its IDs.
    mLibrary->ResetPluginFacadeInstance();
    mCore->Stop();
    ASSERT_TRUE(mCore->Start());
    EXPECT_EQ(FontID("Caladea-Bold"), id);

    // A font whose file went away is reported missing instead of activated.
    std::filesystem::remove(PathFromUTF8(folder + "\\Caladea-Bold.ttf"));
    std::uint32_t notActivated = 0;
    std::uint32_t count = 0;
    LPIFontActivationResult result{};
    std::uint32_t resultCount = 0;
    ASSERT_EQ(mLibrary->ActivateFonts(Facade(), 1, &id, 0, 1, 1, 1, 1, 1, &notActivated, &result, &count,
                                      &resultCount),
              0u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(resultCount, 1u);
    EXPECT_TRUE(GNotificationRecorder::Shared().WaitFor(
        [id](const auto& entries)
        {
            return std::any_of(entries.begin(), entries.end(),
                               [id](const auto& e)
                               { return e.type == kLPINotifyFontMissing && e.value == id; });
        },
        5000));
}

// (Previews, smart list queries and the rest of the panel's services: TypeholdPanelServicesTest.cpp.)
TEST_F(TypeholdLibraryTest, WorkgroupsPermissionsSetsAndSmartLists)
{
    StartAndConnect(
        ConfigJSON("\"initThreadInstance\": {\"failure\": \"vaultInUse\", \"vaultPath\": \"C:\\\\Vault\"}"));
    EXPECT_EQ(mLibrary->InitThreadInstance(Facade()), kLPIVaultInUse);
    char text[256] = {};
    ASSERT_EQ(mLibrary->GetFontVaultPath(Facade(), sizeof(text), text), 0u);
    EXPECT_STREQ(text, "C:\\Vault");

    GCFHolder<CFMutableArrayRef> workgroups(typehold::CreateMutableArray());
    ASSERT_EQ(mLibrary->GetAllWorkgroupsForUser(Facade(), workgroups.Get(), 1, 0), 0u);
    std::set<std::int64_t> types;
    for (CFDictionaryRef workgroup : Records(workgroups.Get()))
    {
        types.insert(MessageInt(workgroup, "WorkgroupType"));
    }
    EXPECT_EQ(types, (std::set<std::int64_t>{3, 4, 8}));
    ASSERT_EQ(mLibrary->GetCanActivateAcrossWorkgroupsColumnID(text, sizeof(text)), 0u);
    std::uint32_t value = 0;
    ASSERT_EQ(mLibrary->GetPermission(Facade(), 0, text, 0, &value), 0u);
    EXPECT_EQ(value, 1u);

    // Export: the font files land in the folder.
    const std::uint32_t fonts[2] = {FontID("Carlito-Bold"), FontID("Carlito-Italic")};
    std::uint32_t yes = 0;
    ASSERT_EQ(mLibrary->CanExportFonts(Facade(), 2, fonts, &yes), 0u);
    EXPECT_EQ(yes, 1u);
    const std::string exportFolder = WindowsPath(mConfig->Child("collected fonts"));
    ASSERT_EQ(mLibrary->ExportFonts(Facade(), 2, fonts, exportFolder.c_str(), 0, 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(PathFromUTF8(exportFolder + "\\Carlito-Italic.ttf")));

    // A set, and a smart list over it.
    std::int32_t set = 0;
    ASSERT_EQ(mLibrary->CreateTopLevelSet(Facade(), &set, 1, "Poster fonts", 0, 0, 2, fonts), 0u);
    EXPECT_GT(set, 0);
    std::int32_t list = 0;
    ASSERT_EQ(mLibrary->CreateSmartList(Facade(), "Poster", 0, nullptr, 1, &set, 0, nullptr, &list), 0u);
    GCFHolder<CFMutableArrayRef> listFonts(typehold::CreateMutableArray());
    ASSERT_EQ(mLibrary->GetSmartListFonts(Facade(), list, listFonts.Get()), 0u);
    std::set<std::string> names;
    for (CFDictionaryRef font : Records(listFonts.Get()))
    {
        names.insert(MessageString(font, "postscriptName"));
    }
    EXPECT_EQ(names, (std::set<std::string>{"Carlito-Bold", "Carlito-Italic"}));
    ASSERT_EQ(mLibrary->RenameSmartList(Facade(), list, "Posters"), 0u);
    GCFHolder<CFMutableDictionaryRef> definition(typehold::CreateMutableDictionary());
    ASSERT_EQ(mLibrary->GetSmartList(Facade(), list, definition.Get()), 0u);
    EXPECT_EQ(MessageString(definition.Get(), "smartListName"), "Posters");
    ASSERT_EQ(mLibrary->DeleteSmartList(Facade(), list), 0u);
    EXPECT_NE(mLibrary->GetSmartList(Facade(), list, definition.Get()), 0u);

    // Logging into the configuration folder, saves recorded (slugs: TypeholdSlugTest.cpp).
    ASSERT_EQ(mLibrary->BeginLogging(Facade(), "Photoshop.log"), 0u);
    ASSERT_EQ(mLibrary->Log(Facade(), "a line from the plug-in\n"), 0u);
    EXPECT_EQ(ReadWholeFile(mConfig->Child("Photoshop.log")), "a line from the plug-in\n");
    EXPECT_EQ(mLibrary->SaveDocumentFonts(Facade(), "C:\\poster.psd", "ps", "Photoshop", 0), 0u);
    std::int32_t conflicts[2] = {7, 7};
    ASSERT_EQ(mLibrary->GetFontConflicts(Facade(), 2, fonts, conflicts), 0u);
    EXPECT_EQ(conflicts[0] + conflicts[1], 0);
}

// Collecting fonts for output: the catalog's files byte for byte, the report, and the refusals.
TEST_F(TypeholdLibraryTest, ExportFontsCopiesTheCatalogFilesAndReportsWhatItLeftOut)
{
    StartAndConnect(
        ConfigJSON("", {},
                   "    {\"id\": 5, \"name\": \"Studio\", \"type\": 3, \"fonts\": [\"Caladea*\"], "
                   "\"canExport\": false},\n"));
    const std::uint32_t carlito = FontID("Carlito-Bold");
    const std::uint32_t liberation = FontID("LiberationSerif-Italic");
    const std::uint32_t caladea = FontID("Caladea-Regular");
    ASSERT_NE(carlito, 0u);
    ASSERT_NE(caladea, 0u);
    const std::string catalog = TestFontsFolder();
    const std::string report = typehold::protocol::kCollectReportName;

    // Everything allowed: the files, and a report of them.
    const std::string folder = WindowsPath(mConfig->Child("out\\poster.psd Fonts"));
    const std::uint32_t both[2] = {carlito, liberation};
    ASSERT_EQ(mLibrary->ExportFonts(Facade(), 2, both, folder.c_str(), 0, 0), 0u);
    EXPECT_EQ(ReadWholeFile(folder + "\\Carlito-Bold.ttf"),
              ReadWholeFile(catalog + "\\fonts-crosextra-carlito\\Carlito-Bold.ttf"));
    EXPECT_EQ(ReadWholeFile(folder + "\\LiberationSerif-Italic.ttf"),
              ReadWholeFile(catalog + "\\fonts-liberation\\LiberationSerif-Italic.ttf"));
    EXPECT_EQ(ReadWholeFile(folder + "\\" + report),
              "Fonts collected: 2 of 2\n"
              "copied\tCarlito-Bold\tCarlito-Bold.ttf\n"
              "copied\tLiberationSerif-Italic\tLiberationSerif-Italic.ttf\n");

    // A font whose workgroup forbids export and an unknown ID are left out and reported; the
    // answer is not success.
    const std::string partial = WindowsPath(mConfig->Child("partial"));
    const std::uint32_t mixed[3] = {caladea, carlito, 999999};
    EXPECT_NE(mLibrary->ExportFonts(Facade(), 3, mixed, partial.c_str(), 0, 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(PathFromUTF8(partial + "\\Caladea-Regular.ttf")));
    EXPECT_EQ(ReadWholeFile(partial + "\\Carlito-Bold.ttf"),
              ReadWholeFile(catalog + "\\fonts-crosextra-carlito\\Carlito-Bold.ttf"));
    EXPECT_EQ(ReadWholeFile(partial + "\\" + report),
              "Fonts collected: 1 of 3\n"
              "not copied\tCaladea-Regular\tits workgroup \"Studio\" does not allow export\n"
              "copied\tCarlito-Bold\tCarlito-Bold.ttf\n"
              "not copied\tfont 999999\tnot in the catalog\n");

    // Nothing that may be exported: refused, and no folder made.
    const std::string refused = WindowsPath(mConfig->Child("refused"));
    EXPECT_NE(mLibrary->ExportFonts(Facade(), 1, &caladea, refused.c_str(), 0, 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(PathFromUTF8(refused)));
    std::uint32_t yes = 1;
    ASSERT_EQ(mLibrary->CanExportFonts(Facade(), 2, mixed, &yes), 0u);
    EXPECT_EQ(yes, 0u);

    // The same font twice is one file; a folder that cannot be made is an error, not a crash.
    const std::string twice = WindowsPath(mConfig->Child("twice"));
    const std::uint32_t same[2] = {carlito, carlito};
    ASSERT_EQ(mLibrary->ExportFonts(Facade(), 2, same, twice.c_str(), 0, 0), 0u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(PathFromUTF8(twice)),
                            std::filesystem::directory_iterator()),
              2);
    const std::string blocked = WindowsPath(mConfig->Child("out\\poster.psd Fonts\\Carlito-Bold.ttf\\below"));
    EXPECT_NE(mLibrary->ExportFonts(Facade(), 1, &carlito, blocked.c_str(), 0, 0), 0u);
}
