// The core agent against a scriptable interface library beside a stand-in core process, with the
// framework stand-in answering and recording the dialogs. The font manager is created once for
// the process, through the compatibility check, as at the plug-in's start-up.

#include "CoreAgentInterface.h"
#include "CoreProcessTestSupport.h"
#include "FakeInterfaceLibrary.h"
#include "FontRecordKeys.h"
#include "GStringEncodings.h"
#include "HostAppInterface.h"
#include "LPFInterface.h"
#include "LPILoader.h"
#include "LogCapture.h"
#include "PortolanGlobals.h"
#include "ScratchFolder.h"
#include "XCFUtils.h"

#include <CoreFoundation/CFLiveObjects.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

namespace
{
// The pushes that reach the host application.
class RecordingHost : public HostAppInterface
{
public:
    void UpdatePanelsWorkgroupState() override { mEvents.push_back("workgroups"); }
    void PushLoggedInStateChangedNotification(bool isLoggedIn, TSInt32 serverType) override
    {
        mEvents.push_back("loggedIn " + std::to_string(isLoggedIn) + " " + std::to_string(serverType));
    }
    void PushFontActivatedNotification(TSInt32 fontID) override
    {
        mEvents.push_back("activated " + std::to_string(fontID));
    }
    void PushBulkReplicationStoppedNotification() override { mEvents.push_back("bulk stopped"); }

    std::vector<std::string> mEvents;
};

RecordingHost sHost;

struct Released
{
    void operator()(const void* object) const
    {
        if (object != nullptr)
        {
            CFRelease(object);
        }
    }
};
using Array = std::unique_ptr<std::remove_pointer_t<CFMutableArrayRef>, Released>;
using Dictionary = std::unique_ptr<std::remove_pointer_t<CFMutableDictionaryRef>, Released>;

Array NewArray()
{
    return Array(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
}

Dictionary Font(TSInt32 fontID)
{
    Dictionary font(CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                              &kCFTypeDictionaryValueCallBacks));
    XCFDictionarySetNumber(font.get(), kFT_DatabaseIDKey, fontID);
    return font;
}

template <typename Proc>
Proc FakeExport(const char* name)
{
    LPILoader* loader = LPILoader::GetSharedInstance();
    void* address =
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(loader->GetLibraryHandle()), name));
    if (address == nullptr)
    {
        throw std::runtime_error(std::string("the interface library has no ") + name);
    }
    return reinterpret_cast<Proc>(address);
}

int Calls(const char* entryPoint)
{
    return FakeExport<FakeLPI_CallCountProc>("FakeLPI_CallCount")(entryPoint);
}

void FailNextCalls(const char* entryPoint, std::uint32_t count, LPIResult code)
{
    FakeExport<FakeLPI_FailNextCallsProc>("FakeLPI_FailNextCalls")(entryPoint, count, code);
}

void SetAnswer(const char* entryPoint, std::uint32_t value)
{
    FakeExport<FakeLPI_SetAnswerProc>("FakeLPI_SetAnswer")(entryPoint, value);
}

std::vector<std::int32_t> LastWorkgroups(const char* entryPoint)
{
    std::vector<std::int32_t> workgroups(8);
    const int count =
        FakeExport<FakeLPI_LastWorkgroupsProc>("FakeLPI_LastWorkgroups")(entryPoint, workgroups.data(), 8);
    workgroups.resize(static_cast<std::size_t>(count));
    return workgroups;
}

void Notify(std::uint32_t type, const void* payload)
{
    FakeExport<FakeLPI_NotifyProc>("FakeLPI_Notify")(type, payload);
}

LPFInterface& Framework()
{
    return *PortolanGlobals::GetSharedLPFInterface();
}

void SetEnvironment(const char* name, const std::string& value)
{
    SetEnvironmentVariableW(PathFromUTF8(name).wstring().c_str(), PathFromUTF8(value).wstring().c_str());
}

// The core folder with the stand-in core and the fake library, the launch-info file that names
// it, the framework's files, and the font manager made by the compatibility check.
class CoreAgentEnvironment : public testing::Environment
{
public:
    void SetUp() override
    {
        sScratch = std::make_unique<ScratchFolder>("coreagent");
        const std::string coreFolder = sScratch->MakeFolder("Core Folder") + "\\";
        sCorePath = coreFolder + "Typehold.exe";
        CopyProgramFile(ProgramFolder() + "fm_launcher_helper.exe", sCorePath);
        CopyProgramFile(ProgramFolder() + "fm_fake_lpi.dll", coreFolder + kLPILibraryName);
        SetEnvironment("LUMORAND_FRAMEWORK_PREFS_DIR", sScratch->MakeFolder("prefs"));
        sTranscript = sScratch->Child("transcript.txt");
        sScript = sScratch->Child("ui-script.txt");
        SetEnvironment("LUMORAND_UI_TRANSCRIPT", sTranscript);
        SetEnvironment("LUMORAND_UI_SCRIPT", sScript);
        const std::string text = ScopedLaunchInfoFile::Text(sCorePath, "--lifetime-ms 60000");
        sMachineLaunchInfo = std::make_unique<ScopedLaunchInfoFile>(ELaunchInfoLocation::kPerMachine, &text);
        sUserLaunchInfo = std::make_unique<ScopedLaunchInfoFile>(ELaunchInfoLocation::kPerUser, nullptr);

        PortolanGlobals::InitializeIdentity(PortolanGlobals::kBundleIdentifier,
                                            PortolanGlobals::kHostAppVersionPrefix);
        LogCapture log;
        sCompatible = FontManagerInterface::CompatibleFontManagerIsRunning(&sBundleName);
        sStartUpLog = log.Lines();
    }

    void TearDown() override
    {
        FontManagerInterface::OnHostAppShuttingDown();
        TerminateProcessesIn(UTF8FromPath(sScratch->Path()));
        sMachineLaunchInfo.reset();
        sUserLaunchInfo.reset();
        sScratch.reset();
    }

    static std::unique_ptr<ScratchFolder> sScratch;
    static std::unique_ptr<ScopedLaunchInfoFile> sMachineLaunchInfo;
    static std::unique_ptr<ScopedLaunchInfoFile> sUserLaunchInfo;
    static std::string sCorePath;
    static std::string sTranscript;
    static std::string sScript;
    static bool sCompatible;
    static std::string sBundleName;
    static std::vector<std::string> sStartUpLog;
};

std::unique_ptr<ScratchFolder> CoreAgentEnvironment::sScratch;
std::unique_ptr<ScopedLaunchInfoFile> CoreAgentEnvironment::sMachineLaunchInfo;
std::unique_ptr<ScopedLaunchInfoFile> CoreAgentEnvironment::sUserLaunchInfo;
std::string CoreAgentEnvironment::sCorePath;
std::string CoreAgentEnvironment::sTranscript;
std::string CoreAgentEnvironment::sScript;
bool CoreAgentEnvironment::sCompatible = false;
std::string CoreAgentEnvironment::sBundleName;
std::vector<std::string> CoreAgentEnvironment::sStartUpLog;

testing::Environment* const sEnvironment = testing::AddGlobalTestEnvironment(new CoreAgentEnvironment);

class CoreAgentTest : public testing::Test
{
protected:
    void SetUp() override
    {
        mFontManager = FontManagerInterface::GetFontManager();
        ASSERT_NE(mFontManager, nullptr);
        FakeExport<FakeLPI_ResetProc>("FakeLPI_Reset")();
        PortolanGlobals::SetPluginServicesEnabled(true);
        PortolanGlobals::SetConnectedToCore(true);
        PortolanGlobals::SetLoggedIn(true);
        PortolanGlobals::SetWorkgroupAccess(true);
        // No liveness check unless a test asks for one.
        CoreAgentInterface::SetLastLivenessCheckTimeForTesting(std::time(nullptr));
        WriteScript("");
        std::filesystem::remove(PathFromUTF8(CoreAgentEnvironment::sTranscript));
        sHost.mEvents.clear();
    }

    static void WriteScript(const std::string& text)
    {
        std::filesystem::remove(PathFromUTF8(CoreAgentEnvironment::sScript));
        ScratchFolder::Append(CoreAgentEnvironment::sScript, text);
    }

    static std::string Transcript()
    {
        return std::filesystem::exists(PathFromUTF8(CoreAgentEnvironment::sTranscript))
                   ? ReadWholeFile(CoreAgentEnvironment::sTranscript)
                   : std::string();
    }

    FontManagerInterface* mFontManager = nullptr;
    LogCapture mLog;
};

std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
    {
        ++count;
    }
    return count;
}
} // namespace

HostAppInterface* GetHostAppInterface()
{
    return &sHost;
}

TEST_F(CoreAgentTest, StartUpLaunchesTheCoreAndConnects)
{
    EXPECT_TRUE(CoreAgentEnvironment::sCompatible);
    EXPECT_EQ(CoreAgentEnvironment::sBundleName, "MeridianPlugin");
    EXPECT_TRUE(PortolanGlobals::GetConnectedToCore());
    const std::string library = FolderOfWindowsPath(CoreAgentEnvironment::sCorePath) + kLPILibraryName;
    const auto startUpLines = [](const std::string& part)
    {
        std::size_t count = 0;
        for (const std::string& line : CoreAgentEnvironment::sStartUpLog)
        {
            count += line.find(part) != std::string::npos ? 1 : 0;
        }
        return count;
    };
    EXPECT_EQ(startUpLines("Successfully launched Typehold at: " + CoreAgentEnvironment::sCorePath), 1u);
    EXPECT_EQ(startUpLines("SUCCESS: LoadLibraryA('" + library + "')"), 1u);
    EXPECT_EQ(startUpLines("GObsidianSdk::Initialize SUCCEEDED."), 1u);
    EXPECT_EQ(startUpLines("LPI at location '" + library + "' is version '1.0.0.42' and plugin version is '" +
                           PortolanGlobals::GetPluginVersion() + "'"),
              1u);
    EXPECT_EQ(startUpLines("VersionsAreCompatible('1.0.0.42', '1.0.0.7') returning 1"), 1u);
}

TEST_F(CoreAgentTest, ACommandMeetingShutdownOnceIsRetriedAfterASilentRelaunch)
{
    // The core runs: the relaunch connects to it afresh.
    FailNextCalls("DeactivateFonts", 1, kLPIAgentShutdown);
    EXPECT_EQ(mFontManager->DeactivateFont(Font(11).get()), 0);
    EXPECT_EQ(Calls("DeactivateFonts"), 2);
    EXPECT_EQ(Calls("ResetPluginFacadeInstance"), 1);
    EXPECT_EQ(mLog.Count("Agent not running:  error code = GAgentIF_kShutdown"), 1u);
    EXPECT_EQ(mLog.Count("Agent not running, automatically relaunching agent and retrying command"), 1u);
    EXPECT_EQ(mLog.Count("': connecting to it afresh"), 1u);
    EXPECT_EQ(mLog.Count("Successfully launched Typehold at: "), 0u);

    // The core has gone: the relaunch launches it.
    ASSERT_EQ(TerminateProcessesIn(FolderOfWindowsPath(CoreAgentEnvironment::sCorePath)), 1);
    FailNextCalls("DeactivateFonts", 1, kLPIServiceUnavailable);
    EXPECT_EQ(mFontManager->DeactivateFont(Font(11).get()), 0);
    EXPECT_EQ(Calls("DeactivateFonts"), 4);
    EXPECT_EQ(Calls("ResetPluginFacadeInstance"), 2);
    EXPECT_EQ(mLog.Count("Successfully launched Typehold at: " + CoreAgentEnvironment::sCorePath), 1u);
    EXPECT_TRUE(PortolanGlobals::GetPluginServicesEnabled());
    EXPECT_TRUE(PortolanGlobals::GetConnectedToCore());
    EXPECT_EQ(Transcript(), "");
}

// A core that runs and answers "unavailable" twice within one command (a core that stopped
// answering) is given up on: the user is told once, and nothing asks it again until the user's
// reset, which connects afresh.
TEST_F(CoreAgentTest, ACoreThatRunsButDoesNotAnswerWaitsForTheUsersReset)
{
    FailNextCalls("ActivateDocumentFontsByPath", 2, kLPIServiceUnavailable);
    Array extra = NewArray();
    Array matched = NewArray();
    Array problems = NewArray();
    EXPECT_EQ(mFontManager->ActivateDocumentFontsByPath("C:\\Docs\\Poster.psd", extra.get(), matched.get(),
                                                        problems.get()),
              -1);
    EXPECT_EQ(CFArrayGetCount(matched.get()), 0);
    EXPECT_EQ(Calls("ActivateDocumentFontsByPath"), 2);
    EXPECT_EQ(Calls("ResetPluginFacadeInstance"), 1);
    EXPECT_EQ(mLog.Count("Agent not running:  error code = GIPCClient_kServiceUnavailable"), 2u);
    EXPECT_EQ(mLog.Count("Agent runs but does not answer; plugin functionality stays disabled"), 1u);
    EXPECT_FALSE(PortolanGlobals::GetPluginServicesEnabled());
    EXPECT_FALSE(PortolanGlobals::GetConnectedToCore());
    EXPECT_EQ(Occurrences(Transcript(), "messagebox title=600"), 1u);

    // Given up on: a command makes its one call and no relaunch, and tells nobody again.
    FailNextCalls("DeactivateFonts", 5, kLPIServiceUnavailable);
    EXPECT_EQ(mFontManager->DeactivateFont(Font(11).get()), -1);
    EXPECT_EQ(Calls("DeactivateFonts"), 1);
    EXPECT_EQ(Calls("ResetPluginFacadeInstance"), 1);
    EXPECT_EQ(Occurrences(Transcript(), "messagebox title=600"), 1u);
    FailNextCalls("DeactivateFonts", 0, 0);

    // A reset while the core still does not answer leaves everything as it is, and the command
    // box's questions do not blame the user for it (logged out, no workgroups): it goes on to
    // tell that the core does not answer.
    FailNextCalls("InitAppInstance", 1, kLPIServiceUnavailable);
    EXPECT_TRUE(mFontManager->IsLoggedIn());
    EXPECT_EQ(Calls("InitAppInstance"), 1);
    EXPECT_EQ(mLog.Count("Exiting CoreAgentInterface::Reconnect, Typehold cannot be reached"), 1u);
    EXPECT_FALSE(PortolanGlobals::IsPluginEnabled());
    EXPECT_TRUE(mFontManager->UserHasWorkgroups());
    EXPECT_EQ(Calls("GetAllWorkgroupsForUser"), 0);

    // The user's reset once the core answers again.
    EXPECT_TRUE(mFontManager->IsLoggedIn());
    EXPECT_EQ(Calls("InitAppInstance"), 2);
    EXPECT_EQ(Calls("InitThreadInstance"), 1);
    EXPECT_EQ(Calls("RegisterForNotifications"), 1);
    EXPECT_EQ(Calls("ResetPluginFacadeInstance"), 3);
    EXPECT_EQ(mLog.Count("Exiting CoreAgentInterface::Reconnect, connected to Typehold again"), 1u);
    EXPECT_TRUE(PortolanGlobals::GetPluginServicesEnabled());
    EXPECT_TRUE(PortolanGlobals::GetConnectedToCore());
    EXPECT_EQ(mFontManager->DeactivateFont(Font(11).get()), 0);
    EXPECT_EQ(Occurrences(Transcript(), "messagebox title=600"), 1u);
}

TEST_F(CoreAgentTest, ARelaunchThatFailsAsksTheUserAndDecliningEndsTheCommand)
{
    ASSERT_EQ(TerminateProcessesIn(FolderOfWindowsPath(CoreAgentEnvironment::sCorePath)), 1);
    ScopedLaunchInfoFile noLaunchInfo(ELaunchInfoLocation::kPerMachine, nullptr);
    WriteScript("messagebox 2\n");
    FailNextCalls("DeactivateFonts", 1, kLPIServiceUnavailable);
    EXPECT_EQ(mFontManager->DeactivateFont(Font(11).get()), -1);
    EXPECT_EQ(Calls("DeactivateFonts"), 1);
    EXPECT_EQ(Occurrences(Transcript(), "messagebox title=614"), 1u);
    EXPECT_EQ(mLog.Count("Agent not running, done attempting to relaunch.  Disabling plugin functionality"),
              1u);
    EXPECT_FALSE(PortolanGlobals::GetPluginServicesEnabled());
}

// The host's user-interface thread asks whether the plug-in may work at every timer step: the
// answer comes from what the core last reported (asked once when the connection was made, then
// kept from its notifications), never from a call that could wait for the core.
TEST_F(CoreAgentTest, TheSessionIsAskedOnceAndKeptFromNotifications)
{
    Framework().SetPreferenceForKey("EnablePlugin", true);
    for (int step = 0; step < 100; ++step)
    {
        ASSERT_TRUE(PortolanGlobals::IsPluginOperational());
        ASSERT_FALSE(mFontManager->GetRunningStandalone());
        ASSERT_FALSE(mFontManager->IsGoogleWebFontsEnabled());
    }
    EXPECT_EQ(Calls("GetIsLoggedIn"), 0);
    EXPECT_EQ(Calls("GetRunningStandalone"), 0);
    EXPECT_EQ(Calls("GetIsGoogleWebFontsEnabled"), 0);

    CFMutableDictionaryRef session = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                               &kCFTypeDictionaryValueCallBacks);
    XCFDictionarySetBoolean(session, kPluginNotification_IsLoggedInKey, false);
    XCFDictionarySetNumber(session, kPluginNotification_ServerTypeKey, 1);
    Notify(kLPINotifyLoggedInStateChanged, session);
    const std::uint8_t enabled = 1;
    Notify(kLPINotifyGoogleWebFontsEnabled, &enabled);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 2);
    EXPECT_FALSE(mFontManager->IsLoggedIn());
    EXPECT_FALSE(PortolanGlobals::IsPluginOperational());
    EXPECT_TRUE(mFontManager->IsGoogleWebFontsEnabled());

    XCFDictionarySetBoolean(session, kPluginNotification_IsLoggedInKey, true);
    Notify(kLPINotifyLoggedInStateChanged, session);
    CFRelease(session);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 1);
    EXPECT_TRUE(mFontManager->IsLoggedIn());
    EXPECT_EQ(Calls("GetIsLoggedIn"), 0);
    EXPECT_EQ(Calls("GetIsGoogleWebFontsEnabled"), 0);
}

TEST_F(CoreAgentTest, ActivationFollowsTheLocalAndGlobalPreferences)
{
    Framework().SetPreferenceForKey("ActivateLocally", true);
    Framework().SetPreferenceForKey("ActivateGlobally", false);
    EXPECT_EQ(mFontManager->ActivateFontByID(Font(11).get(), "doc-1"), 0);
    EXPECT_EQ(Calls("PreviewActivateFonts"), 1);
    EXPECT_EQ(Calls("ActivateFonts"), 0);

    Framework().SetPreferenceForKey("ActivateLocally", false);
    Array fonts = NewArray();
    for (const TSInt32 fontID : {11, 1001, 0, 12})
    {
        CFArrayAppendValue(fonts.get(), Font(fontID).get());
    }
    Array activated = NewArray();
    EXPECT_EQ(mFontManager->ActivateFontsByID(fonts.get(), "doc-1", activated.get()), 0);
    EXPECT_EQ(Calls("ActivateFonts"), 1);
    EXPECT_EQ(Calls("PreviewActivateFonts"), 1);
    // The library refused 1001; 0 is no font.
    ASSERT_EQ(CFArrayGetCount(activated.get()), 2);
    EXPECT_EQ(CoreAgentInterface::GetFontIDsFromFontInfoArray(activated.get()),
              (std::vector<TUInt32>{11, 12}));
}

TEST_F(CoreAgentTest, FontQueriesAddTheSystemWorkgroupUnlessAllAreAsked)
{
    std::vector<TUInt32> fontIDs;
    EXPECT_EQ(mFontManager->FontIDsForPostScriptName("Matched-Regular",
                                                     FontManagerInterface::kAllWorkgroupsID, fontIDs),
              0);
    EXPECT_EQ(Calls("GetFontsByPostscriptName"), 1);
    EXPECT_EQ(LastWorkgroups("GetFontsByPostscriptName"), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(fontIDs, (std::vector<TUInt32>{21, 22}));

    EXPECT_EQ(mFontManager->FontIDsForPostScriptName("Matched-Regular", 5, fontIDs), 0);
    EXPECT_EQ(Calls("GetFontsByPostscriptName"), 3);
    EXPECT_EQ(LastWorkgroups("GetFontsByPostscriptName"), (std::vector<std::int32_t>{9}));
    EXPECT_EQ(fontIDs, (std::vector<TUInt32>{21, 22, 21, 22}));

    TSInt32 count = -1;
    EXPECT_EQ(mFontManager->CountNamedFonts("Matched-Regular", FontManagerInterface::kPostScriptNameKind,
                                            FontManagerInterface::kAllWorkgroupsID, count),
              0);
    EXPECT_EQ(count, 2);
    FontInfoResult info;
    EXPECT_EQ(mFontManager->GetNamedFontInfo("Matched-Regular", FontManagerInterface::kPostScriptNameKind,
                                             FontManagerInterface::kAllWorkgroupsID, 3, info),
              -1);
    ASSERT_EQ(mFontManager->GetNamedFontInfo("Matched-Regular", FontManagerInterface::kPostScriptNameKind,
                                             FontManagerInterface::kAllWorkgroupsID, 2, info),
              0);
    // The record as the plug-in sees it: state converted, checksums normalised.
    EXPECT_TRUE(info.mFound);
    EXPECT_EQ(info.mActivationState, 2);
    EXPECT_EQ(XCFStringCopyUTF8(XCFDictionaryGetString(info.GetFontInfo(), kFT_IsActiveKey)), "1");
    EXPECT_EQ(XCFStringCopyUTF8(XCFDictionaryGetString(info.GetFontInfo(), kFT_KerningChecksumKey)), "0");
}

TEST_F(CoreAgentTest, WorkgroupsGetTheirDisplayNamesAndTheAllEntry)
{
    Array workgroups = NewArray();
    ASSERT_EQ(mFontManager->GetAllWorkgroupsForUser(workgroups.get(), true, false, false), 0);
    ASSERT_EQ(CFArrayGetCount(workgroups.get()), 3);
    const auto nameAt = [&](CFIndex index)
    {
        return XCFStringCopyUTF8(XCFDictionaryGetString(
            static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(workgroups.get(), index)),
            kFT_WorkgroupNameKey));
    };
    const auto localized = [](TSInt32 number)
    {
        CFStringRef text = Framework().CopyLocalizedString(number);
        const std::string utf8 = XCFStringCopyUTF8(text);
        CFRelease(text);
        return utf8;
    };
    EXPECT_EQ(nameAt(0), localized(212));
    EXPECT_EQ(nameAt(1), localized(211));
    EXPECT_EQ(nameAt(2), localized(210));
    TSInt32 allID = 0;
    XCFDictionaryGetNumber(static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(workgroups.get(), 2)),
                           kFT_WorkgroupIDKey, &allID);
    EXPECT_EQ(allID, FontManagerInterface::kAllWorkgroupsID);

    // Without the right to activate across workgroups, a stored "all workgroups" gives way to the
    // user's only workgroup.
    SetAnswer("GetPermission", 0);
    FakeExport<FakeLPI_SetWorkgroupCountProc>("FakeLPI_SetWorkgroupCount")(1);
    mFontManager->SetDefaultWorkgroupID(FontManagerInterface::kAllWorkgroupsID);
    FontManagerInterface::InitializeDefaultWorkgroup();
    EXPECT_EQ(FontManagerInterface::GetCurrentWorkgroupID(), 5);
    EXPECT_TRUE(FontManagerInterface::IsWorkgroupChosen());
}

// What the commands make, and what the library and the framework hand over, is released on each
// path: run twice, the second run ends with as many Core Foundation objects alive as it began with
// (the first fills the caches).
TEST_F(CoreAgentTest, CommandsLeaveNoCoreFoundationObjectsBehind)
{
    const TSInt32 formerWorkgroup = FontManagerInterface::GetCurrentWorkgroupID();
    mFontManager->SetDefaultWorkgroupID(5);
    const std::string tooLong(300, 'x');
    WriteScript("askstring \"" + tooLong + "\"\naskstring cancel\naskstring \"" + tooLong +
                "\"\naskstring cancel\n");
    const auto commands = [&]
    {
        Array workgroups = NewArray();
        ASSERT_EQ(mFontManager->GetAllWorkgroupsForUser(workgroups.get(), true, true, false), 0);
        ASSERT_EQ(CFArrayGetCount(workgroups.get()), 4);
        const auto nameAt = [&](CFIndex index)
        {
            return XCFDictionaryGetString(
                static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(workgroups.get(), index)),
                kFT_WorkgroupNameKey);
        };
        TSInt32 workgroupID = 0;
        EXPECT_EQ(mFontManager->FindWorkgroupIDByName(nameAt(3), workgroupID), 0);
        EXPECT_EQ(workgroupID, FontManagerInterface::kAllWorkgroupsID);
        EXPECT_EQ(mFontManager->FindWorkgroupIDByName(nameAt(1), workgroupID), 0);
        EXPECT_EQ(workgroupID, 6);
        CFStringRef name = mFontManager->GetWorkgroupNameFromID(6);
        ASSERT_NE(name, nullptr);
        EXPECT_TRUE(CFEqual(name, nameAt(1)));
        CFRelease(name);
        EXPECT_TRUE(FontManagerInterface::IsValidWorkgroupForUser(5, mFontManager));
        EXPECT_TRUE(mFontManager->UserHasWorkgroups());

        Array fonts = NewArray();
        Dictionary font = Font(11);
        XCFDictionarySetNumber(font.get(), kFT_WorkgroupIDKey, 5);
        CFArrayAppendValue(fonts.get(), font.get());
        EXPECT_EQ(mFontManager->AddWorkgroupNamesToFonts(fonts.get()), 0);
        {
            FontInfoResult info;
            ASSERT_EQ(mFontManager->GetNamedFontInfo("Matched-Regular",
                                                     FontManagerInterface::kPostScriptNameKind, 5, 1, info),
                      0);
            std::vector<char> slug(4096, '\0');
            TUInt32 size = static_cast<TUInt32>(slug.size());
            EXPECT_EQ(mFontManager->GetFaceTraceInfo(11, info.GetFontInfo(), slug.data(), size), 0);
            TUTF8String postScriptName;
            EXPECT_EQ(mFontManager->GetPostscriptNameByID(5, 11, postScriptName), 0);
            EXPECT_EQ(postScriptName, "Matched-Regular");
        }
        // A name too long is cut to 255 characters; then the user cancels.
        EXPECT_EQ(mFontManager->MakeSetForDocumentFonts(CFSTR("Poster"), fonts.get()), 0);
        EXPECT_EQ(mFontManager->MakeSetForDocumentFonts(CFSTR("Poster"), fonts.get()), 0);
        Framework().ShowFormattedMessage(LPFInterface::kVaultInUseFormat, CFSTR("D:/Shared Vault"));
        const std::int32_t fontID = 12;
        Notify(kLPINotifyFontActivated, &fontID);
        EXPECT_EQ(mFontManager->ProcessNotifications(), 1);
    };
    commands();
    const CFIndex before = _CFGetLiveObjectCount();
    commands();
    EXPECT_EQ(_CFGetLiveObjectCount(), before);
    EXPECT_EQ(Calls(("CreateTopLevelSet:" + std::string(255, 'x')).c_str()), 2);
    EXPECT_EQ(Calls("CreateTopLevelSet"), 2);
    EXPECT_EQ(Occurrences(Transcript(), "messagebox title=627"), 2u);
    EXPECT_EQ(Occurrences(Transcript(), "D:/Shared Vault"), 2u);
    mFontManager->SetDefaultWorkgroupID(formerWorkgroup);
}

// A font record read by ID belongs to its result: released when another takes its place, at a
// reset and with the result, and only then. The test keeps a reference of its own to each record.
TEST(FontInfoResultTest, TheResultOwnsItsRecordUntilReplacedResetOrGone)
{
    Dictionary first = Font(1);
    Dictionary second = Font(2);
    {
        FontInfoResult info;
        CFRetain(first.get());
        info.SetFontInfo(GCFRef<CFMutableDictionaryRef>(first.get()));
        EXPECT_EQ(info.GetFontInfo(), first.get());
        EXPECT_EQ(CFGetRetainCount(first.get()), 2);
        // The same record handed over again, with the reference that comes with it.
        CFRetain(first.get());
        info.SetFontInfo(GCFRef<CFMutableDictionaryRef>(first.get()));
        EXPECT_EQ(CFGetRetainCount(first.get()), 2);

        CFRetain(second.get());
        info.SetFontInfo(GCFRef<CFMutableDictionaryRef>(second.get()));
        EXPECT_EQ(CFGetRetainCount(first.get()), 1);
        info.mFound = true;
        info.Reset();
        EXPECT_EQ(info.GetFontInfo(), nullptr);
        EXPECT_FALSE(info.mFound);
        EXPECT_EQ(CFGetRetainCount(second.get()), 1);
        info.Reset();

        CFRetain(second.get());
        info.SetFontInfo(GCFRef<CFMutableDictionaryRef>(second.get()));
        EXPECT_EQ(CFGetRetainCount(second.get()), 2);
    }
    EXPECT_EQ(CFGetRetainCount(second.get()), 1);
}

TEST_F(CoreAgentTest, NotificationsFromTheLibraryThreadChangeTheFlags)
{
    CFMutableDictionaryRef loggedOut = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                 &kCFTypeDictionaryValueCallBacks);
    XCFDictionarySetBoolean(loggedOut, kPluginNotification_IsLoggedInKey, false);
    XCFDictionarySetNumber(loggedOut, kPluginNotification_ServerTypeKey, 3);
    // Server type 3 only reaches the panels.
    Notify(kLPINotifyLoggedInStateChanged, loggedOut);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 1);
    EXPECT_TRUE(PortolanGlobals::GetLoggedIn());
    EXPECT_TRUE(PortolanGlobals::GetPluginServicesEnabled());

    XCFDictionarySetNumber(loggedOut, kPluginNotification_ServerTypeKey, 1);
    Notify(kLPINotifyLoggedInStateChanged, loggedOut);
    CFRelease(loggedOut);
    const std::int32_t fontID = 12;
    Notify(kLPINotifyFontActivated, &fontID);
    Notify(kLPINotifyFontActivated, nullptr);
    Notify(5, nullptr);
    Notify(29, nullptr);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 3);
    EXPECT_FALSE(PortolanGlobals::GetLoggedIn());
    EXPECT_FALSE(PortolanGlobals::GetPluginServicesEnabled());
    EXPECT_EQ(Occurrences(Transcript(), "messagebox title=609"), 1u);
    EXPECT_EQ(sHost.mEvents, (std::vector<std::string>{"loggedIn 0 3", "loggedIn 0 1", "activated 12"}));

    Notify(kLPINotifyAgentShutdown, nullptr);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 1);
    EXPECT_FALSE(PortolanGlobals::GetConnectedToCore());
    EXPECT_EQ(Occurrences(Transcript(), "messagebox title=600"), 1u);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 0);
}

TEST_F(CoreAgentTest, AStormOfNotificationsIsHandledAFewHundredAPassInItsOrder)
{
    for (std::int32_t fontID = 1; fontID <= 600; ++fontID)
    {
        Notify(kLPINotifyFontActivated, &fontID);
    }
    EXPECT_EQ(mFontManager->ProcessNotifications(), 250);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 250);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 100);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 0);
    ASSERT_EQ(sHost.mEvents.size(), 600u);
    for (std::size_t i = 0; i < sHost.mEvents.size(); ++i)
    {
        ASSERT_EQ(sHost.mEvents[i], "activated " + std::to_string(i + 1));
    }
}

TEST_F(CoreAgentTest, TheCoreIsCheckedAtMostEveryFifteenSeconds)
{
    CoreAgentInterface::SetLastLivenessCheckTimeForTesting(0);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 0);
    EXPECT_EQ(mFontManager->ProcessNotifications(), 0);
    EXPECT_EQ(Calls("GetIsCoreAgentProcessRunning"), 1);
    EXPECT_TRUE(PortolanGlobals::GetPluginServicesEnabled());

    CoreAgentInterface::SetLastLivenessCheckTimeForTesting(0);
    FailNextCalls("GetIsCoreAgentProcessRunning", 2, kLPIServiceUnavailable);
    SetAnswer("GetIsCoreAgentProcessRunning", 0);
    mFontManager->ProcessNotifications();
    EXPECT_EQ(Calls("GetIsCoreAgentProcessRunning"), 4);
    EXPECT_FALSE(PortolanGlobals::GetPluginServicesEnabled());
    EXPECT_FALSE(PortolanGlobals::GetConnectedToCore());
    EXPECT_EQ(mLog.Count("Disabling plug-in services in CoreAgentInterface::ProcessNotifications() because "
                         "Typehold is no longer running."),
              1u);
    EXPECT_EQ(Occurrences(Transcript(), "messagebox title=600"), 1u);
}

TEST_F(CoreAgentTest, ThePluginLogStartsWithADatedSeparator)
{
    BeginPluginLog("PhotoshopCC2020.log");
    EXPECT_EQ(Calls("BeginLogging:PhotoshopCC2020.log"), 1);
    EXPECT_EQ(Calls("Log"), 1);
}

// The library calls back whenever it likes, on its own thread: while the font manager is being
// made (before anyone can reach it) and while it is being destroyed (a library need not wait for a
// callback in flight when it is unregistered). What arrives during the making waits for the first
// drain; what arrives during the destruction never reaches freed memory (ASan's native run of
// NotificationDeliveryTest covers the same ground).
TEST_F(CoreAgentTest, NotificationsWhileTheFontManagerIsMadeAndDestroyed)
{
    FontManagerInterface::OnHostAppShuttingDown();
    FakeExport<FakeLPI_NotifyOnRegisterProc>("FakeLPI_NotifyOnRegister")(kLPINotifyFontActivated, 3);
    ASSERT_TRUE(FontManagerInterface::CompatibleFontManagerIsRunning(nullptr));
    auto* coreAgent = dynamic_cast<CoreAgentInterface*>(FontManagerInterface::GetFontManager());
    ASSERT_NE(coreAgent, nullptr);
    EXPECT_EQ(coreAgent->CountQueuedNotifications(), 3u) << "the notifications of the making were kept";
    EXPECT_EQ(coreAgent->ProcessNotifications(), 3);
    EXPECT_EQ(sHost.mEvents, (std::vector<std::string>{"activated 1", "activated 2", "activated 3"}));
    EXPECT_EQ(mLog.Count("WARNING:  CoreAgentInterface::GetFontManager() returned NULL."), 0u);
    FakeExport<FakeLPI_NotifyOnRegisterProc>("FakeLPI_NotifyOnRegister")(kLPINotifyFontActivated, 0);

    const auto startNotifying = FakeExport<FakeLPI_StartNotifyingProc>("FakeLPI_StartNotifying");
    const auto finishNotifying = FakeExport<FakeLPI_FinishNotifyingProc>("FakeLPI_FinishNotifying");
    for (int round = 0; round < 5; ++round)
    {
        coreAgent = dynamic_cast<CoreAgentInterface*>(FontManagerInterface::GetFontManager());
        ASSERT_NE(coreAgent, nullptr);
        startNotifying(kLPINotifyFontActivated, 10000, 1);
        // Shut down while they arrive: once the first hundred are queued.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (coreAgent->CountQueuedNotifications() < 100 && std::chrono::steady_clock::now() < deadline)
        {
            std::this_thread::yield();
        }
        FontManagerInterface::OnHostAppShuttingDown();
        EXPECT_EQ(FontManagerInterface::GetFontManager(), nullptr);
        EXPECT_GE(finishNotifying(), 100) << "round " << round << ": the notifications arrived meanwhile";
        ASSERT_TRUE(FontManagerInterface::CompatibleFontManagerIsRunning(nullptr)) << "round " << round;
    }
}

TEST_F(CoreAgentTest, ShutdownUnregistersAndEndsTheConnection)
{
    FontManagerInterface::OnHostAppShuttingDown();
    EXPECT_EQ(FontManagerInterface::GetFontManager(), nullptr);
    EXPECT_EQ(Calls("UnregisterForNotifications"), 1);
    EXPECT_EQ(Calls("DestroyThreadInstance"), 1);
    // Notifications after shutdown find no font manager.
    Notify(kLPINotifyAgentShutdown, nullptr);
    FontManagerInterface::OnHostAppShuttingDown();
    EXPECT_EQ(mLog.Count("*** UH-OH, sm_pFontManager is NULL in FontManagerInterface::OnHostAppShuttingDown"),
              1u);
}
