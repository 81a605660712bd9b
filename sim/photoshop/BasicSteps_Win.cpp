#include "BasicSteps.h"

#include "ActionSuites.h"
#include "FolderBrowser_Win.h"
#include "GStringEncodings.h"
#include "PluginLoader.h"
#include "ScenarioValues.h"
#include <CoreFoundation/CFLiveObjects.h>

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <regex>

namespace
{
using Step = ScenarioPlayer::Step;
using StepStatus = ScenarioPlayer::StepStatus;

// --- Parameters -------------------------------------------------------------------------------------

bool StringParameter(Step& step, const std::string& name, std::string& value, bool required)
{
    JsonNode node;
    if (!step.Parameter(name, node))
    {
        if (required)
        {
            step.Error("needs \"" + name + "\"");
        }
        return false;
    }
    if (!node.is_string())
    {
        step.Error("\"" + name + "\" is not a string");
        return false;
    }
    value = node.to_string();
    return true;
}

// The plug-ins a call step addresses: every loaded one, or the one named by "plugin".
bool TargetPlugins(Step& step, SimSession& session, std::vector<HostPlugin*>& plugins)
{
    std::string name;
    JsonNode node;
    if (step.Parameter("plugin", node))
    {
        if (!StringParameter(step, "plugin", name, true))
        {
            return false;
        }
        HostPlugin* plugin = session.mHost.FindPlugin(name);
        if (plugin == nullptr)
        {
            step.Error("no loaded plug-in is named \"" + name + "\"");
            return false;
        }
        plugins.push_back(plugin);
        return true;
    }
    for (const auto& plugin : session.mHost.Plugins())
    {
        plugins.push_back(plugin.get());
    }
    return true;
}

bool RequireStarted(Step& step, const SimSession& session)
{
    if (!session.mStarted)
    {
        step.Error("the plug-ins are not loaded yet (no \"start\" step before)");
    }
    return session.mStarted;
}

// --- Plug-in calls ----------------------------------------------------------------------------------

void ExpectResult(Step& step, SPErr result, const HostPlugin& plugin, const std::string& call)
{
    JsonNode expected;
    if (!step.Expectation("result", expected))
    {
        return;
    }
    std::int32_t wanted = 0;
    if (!ScenarioPlayer::ParseResult(expected, wanted))
    {
        step.Error("\"expect\": \"result\" is neither an integer nor a four-character code");
        return;
    }
    if (result != wanted)
    {
        step.Fail(call + " of " + plugin.mName + " returned " + FormatResult(result) + ", expected " +
                  FormatResult(wanted));
    }
}

StepStatus CallEach(Step& step, SimSession& session, const std::string& caller, const std::string& selector)
{
    std::vector<HostPlugin*> plugins;
    if (!TargetPlugins(step, session, plugins))
    {
        return StepStatus::kDone;
    }
    JsonNode expected;
    if (plugins.empty() && step.Expectation("result", expected))
    {
        step.Fail("no plug-in is loaded, so nothing returned a result");
    }
    for (HostPlugin* plugin : plugins)
    {
        const SPErr result = session.mHost.Call(*plugin, caller, selector, nullptr);
        ExpectResult(step, result, *plugin, "\"" + caller + "\"/\"" + selector + "\"");
    }
    return StepStatus::kDone;
}

// Photoshop uses Windows sockets itself: it has started them before it loads any plug-in, and a
// plug-in that cleans up what it never started takes them from under Photoshop.
void StartHostSockets(SimSession& session)
{
    WSADATA data{};
    const int error = WSAStartup(MAKEWORD(2, 2), &data);
    session.mSocketsStarted = error == 0;
    session.mHost.GetTranscript().Line(error == 0 ? "Windows sockets started by the host"
                                                  : "WSAStartup failed with error " + std::to_string(error));
}

void CheckHostSockets(SimSession& session, const std::string& when)
{
    if (!session.mSocketsStarted)
    {
        return;
    }
    const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (probe != INVALID_SOCKET)
    {
        closesocket(probe);
        return;
    }
    const int error = WSAGetLastError();
    if (error == WSANOTINITIALISED)
    {
        session.mSocketsStarted = false;
        session.mHost.Fail("the host's Windows sockets were cleaned up " + when +
                           " (a WSACleanup without its WSAStartup)");
    }
}

StepStatus StartStep(Step& step, SimSession& session)
{
    if (session.mStarted)
    {
        step.Error("the plug-ins were started already");
        return StepStatus::kDone;
    }
    session.mStarted = true;
    StartHostSockets(session);
    LoadPlugins(session.mHost, session.mPluginsFolder);
    return CallEach(step, session, kInterfaceCaller, kStartupSelector);
}

StepStatus InterfaceStep(Step& step, SimSession& session, const char* selector)
{
    if (!RequireStarted(step, session))
    {
        return StepStatus::kDone;
    }
    return CallEach(step, session, kInterfaceCaller, selector);
}

StepStatus DoItStep(Step& step, SimSession& session)
{
    if (!RequireStarted(step, session))
    {
        return StepStatus::kDone;
    }
    JsonNode node;
    const bool noParameters = step.Parameter("noParameters", node) && node.to_bool();
    ActionDescriptorData input;
    std::string error;
    if (step.Parameter("descriptor", node) &&
        !DescriptorFromJson(node, session.mHost.StringIDs(), input, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    if (step.Parameter("oper", node))
    {
        if (!node.is_int())
        {
            step.Error("\"oper\" is not an integer");
            return StepStatus::kDone;
        }
        input.Put(FourCharCode("Oper"), ActionValue::Integer(node.to_int()));
    }
    std::int32_t playInfo = kDialogDisplay;
    if (step.Parameter("playInfo", node))
    {
        playInfo = node.to_int();
    }
    std::vector<HostPlugin*> plugins;
    if (!TargetPlugins(step, session, plugins))
    {
        return StepStatus::kDone;
    }
    JsonNode expectedDescriptor;
    const bool checkDescriptor = step.Expectation("descriptor", expectedDescriptor);
    if (plugins.empty() && step.HasExpectations())
    {
        step.Fail("no plug-in is loaded");
    }
    // A folder browser the plug-in opens is answered with this folder, or cancelled ("cancel" or
    // no answer) so that it never holds the scenario.
    std::string folder;
    if (!StringParameter(step, "folderBrowser", folder, false) || folder == "cancel")
    {
        folder.clear();
    }
    for (HostPlugin* plugin : plugins)
    {
        PIActionDescriptor descriptor = noParameters ? nullptr : ActionObjects::NewDescriptor(input);
        PIActionParameters parameters{playInfo, 0, descriptor};
        FolderBrowserAnswer browser(folder);
        const SPErr result = session.mHost.Call(*plugin, kPhotoshopCaller, kDoItSelector,
                                                noParameters ? nullptr : &parameters);
        for (const std::string& line : browser.Finish())
        {
            session.mHost.GetTranscript().Line(line);
        }
        ExpectResult(step, result, *plugin, "\"Do It\"");
        if (noParameters)
        {
            if (checkDescriptor)
            {
                step.Fail("\"Do It\" without action parameters has no descriptor to check");
            }
            continue;
        }
        // The plug-in may have replaced the descriptor; what is there now is the answer.
        PIActionDescriptor after = parameters.descriptor;
        ActionDescriptorData output;
        const std::string label = "descriptor after Do It (" + plugin->mName + "): ";
        if (after != nullptr && ActionObjects::CopyDescriptor(after, output))
        {
            session.mHost.GetTranscript().Line(label + DescribeDescriptor(output));
            std::vector<std::string> problems;
            if (checkDescriptor &&
                !CheckDescriptor(output, expectedDescriptor, session.mHost.StringIDs(), problems, error))
            {
                step.Error(error);
                return StepStatus::kDone;
            }
            for (const std::string& problem : problems)
            {
                step.Fail(plugin->mName + ": " + problem);
            }
            ActionObjects::FreeDescriptor(after);
        }
        else
        {
            session.mHost.GetTranscript().Line(label + "none");
            if (checkDescriptor)
            {
                step.Fail(plugin->mName + " left no descriptor in the action parameters");
            }
        }
        if (after != descriptor)
        {
            ActionObjects::FreeDescriptor(descriptor);
        }
    }
    return StepStatus::kDone;
}

StepStatus CallStep(Step& step, SimSession& session)
{
    std::string caller;
    std::string selector;
    if (!RequireStarted(step, session) || !StringParameter(step, "caller", caller, true) ||
        !StringParameter(step, "selector", selector, true))
    {
        return StepStatus::kDone;
    }
    return CallEach(step, session, caller, selector);
}

StepStatus QuitStep(Step& step, SimSession& session)
{
    session.mQuit = true;
    if (!session.mStarted)
    {
        return StepStatus::kDone;
    }
    const StepStatus status = CallEach(step, session, kInterfaceCaller, kShutdownSelector);
    CheckHostSockets(session, "during Shutdown");
    return status;
}

bool IsModuleLoaded(const std::string& path)
{
    HMODULE module = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              OSMakeOSStringFromUTF8String(path).c_str(), &module) != 0;
}

// After Shutdown Photoshop may unload a plug-in: FreeLibrary, then the message loop goes on for
// "ms" milliseconds (timers, hooks) and the library must not have come back (a hook, timer or
// callback of it left behind would crash Photoshop, or under Wine load the library again).
StepStatus UnloadStep(Step& step, SimSession& session)
{
    JsonNode node;
    std::int64_t waitMs = 3000;
    if (step.Parameter("ms", node))
    {
        if (!node.is_int() || node.to_int64() < 0)
        {
            step.Error("\"ms\" must be a number of milliseconds");
            return StepStatus::kDone;
        }
        waitMs = node.to_int64();
    }
    if (!session.mQuit)
    {
        step.Error("plug-ins are unloaded only after \"quit\"");
        return StepStatus::kDone;
    }
    Transcript& transcript = session.mHost.GetTranscript();
    if (!session.mUnloaded)
    {
        session.mUnloaded = true;
        std::vector<void*> freed;
        for (const auto& plugin : session.mHost.Plugins())
        {
            if (plugin->mModule == nullptr)
            {
                continue;
            }
            if (std::find(freed.begin(), freed.end(), plugin->mModule) == freed.end())
            {
                FreeLibrary(static_cast<HMODULE>(plugin->mModule));
                freed.push_back(plugin->mModule);
                const bool held = IsModuleLoaded(plugin->mPath);
                transcript.Line("unload " + plugin->mName + ": FreeLibrary" +
                                (held ? "; still loaded (something else holds it)" : "; unloaded"));
                if (held)
                {
                    step.Fail(plugin->mName + " stayed loaded after FreeLibrary");
                }
            }
            plugin->mModule = nullptr;
            plugin->mEntry = nullptr;
        }
    }
    if (step.ElapsedMs() < waitMs)
    {
        return StepStatus::kAgain;
    }
    for (const auto& plugin : session.mHost.Plugins())
    {
        if (IsModuleLoaded(plugin->mPath))
        {
            step.Fail(plugin->mName + " was loaded again after it was unloaded (a hook, timer or callback of "
                                      "it was still called)");
        }
    }
    transcript.Line("unload: " + std::to_string(waitMs) + " ms of messages after unloading");
    return StepStatus::kDone;
}

// --- Host-side steps --------------------------------------------------------------------------------

// The Core Foundation objects alive in the process (the host's, the plug-ins' and their
// libraries'), remembered under a name ("as") or compared with a count remembered before
// ("expect": {"sameAs": NAME, "tolerance": N}, N defaulting to 0): work that leaves nothing
// behind ends with the count it began with, give or take what is in flight at that moment.
StepStatus CountCFObjectsStep(Step& step, SimSession& session)
{
    const long long live = static_cast<long long>(_CFGetLiveObjectCount());
    std::string name;
    JsonNode node;
    if (step.Parameter("as", node))
    {
        if (!StringParameter(step, "as", name, true))
        {
            return StepStatus::kDone;
        }
        session.mObjectCounts[name] = live;
    }
    session.mHost.GetTranscript().Line("Core Foundation objects alive: " + std::to_string(live) +
                                       (name.empty() ? "" : " (as \"" + name + "\")"));
    JsonNode expected;
    if (step.Expectation("sameAs", expected))
    {
        JsonNode toleranceNode;
        long long tolerance = 0;
        if (step.Expectation("tolerance", toleranceNode))
        {
            if (!toleranceNode.is_int() || toleranceNode.to_int64() < 0)
            {
                step.Error("\"tolerance\" must be a number of objects");
                return StepStatus::kDone;
            }
            tolerance = toleranceNode.to_int64();
        }
        const std::string before = expected.is_string() ? expected.to_string() : std::string();
        const auto found = session.mObjectCounts.find(before);
        if (found == session.mObjectCounts.end())
        {
            step.Error("no count was remembered as \"" + before + "\"");
        }
        else if (live > found->second + tolerance || live < found->second - tolerance)
        {
            step.Fail("Core Foundation objects alive: " + std::to_string(live) + ", " +
                      std::to_string(found->second) + " at \"" + before + "\" (" +
                      (live > found->second ? "+" : "") + std::to_string(live - found->second) +
                      ", tolerance " + std::to_string(tolerance) + ")");
        }
    }
    return StepStatus::kDone;
}

StepStatus WaitStep(Step& step)
{
    JsonNode node;
    if (!step.Parameter("ms", node) || !node.is_int() || node.to_int64() < 0)
    {
        step.Error("needs \"ms\", a number of milliseconds");
        return StepStatus::kDone;
    }
    return step.ElapsedMs() >= node.to_int64() ? StepStatus::kDone : StepStatus::kAgain;
}

StepStatus SetEnvStep(Step& step, SimSession& session)
{
    std::string name;
    if (!StringParameter(step, "name", name, true))
    {
        return StepStatus::kDone;
    }
    if (name.find('=') != std::string::npos)
    {
        step.Error("\"name\" contains '='");
        return StepStatus::kDone;
    }
    std::string value;
    const bool set = StringParameter(step, "value", value, false);
    std::string expanded;
    std::string error;
    if (set && !ExpandEnvironment(value, expanded, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    // Both the process environment and the C runtime's copy, which getenv reads.
    const std::wstring wideName = OSMakeOSStringFromUTF8String(name);
    const std::wstring wideValue = OSMakeOSStringFromUTF8String(expanded);
    SetEnvironmentVariableW(wideName.c_str(), set ? wideValue.c_str() : nullptr);
    _wputenv_s(wideName.c_str(), set ? wideValue.c_str() : L"");
    session.mHost.GetTranscript().Line("set-env " + name + (set ? "=" + expanded : " unset"));
    return StepStatus::kDone;
}

std::string DescribeCodes(const std::vector<std::uint32_t>& codes)
{
    std::string text = "[";
    for (std::size_t i = 0; i < codes.size(); ++i)
    {
        text += (i == 0 ? "" : ", ") + FormatCode(codes[i]);
    }
    return text + "]";
}

StepStatus ExpectNotificationsStep(Step& step, SimSession& session)
{
    const HostPlugin* only = nullptr;
    std::string name;
    if (StringParameter(step, "plugin", name, false) && (only = session.mHost.FindPlugin(name)) == nullptr)
    {
        step.Error("no loaded plug-in is named \"" + name + "\"");
        return StepStatus::kDone;
    }
    auto events = [&](const auto& records)
    {
        std::vector<std::uint32_t> codes;
        for (const auto& record : records)
        {
            if (only == nullptr || record.mPlugin == only)
            {
                codes.push_back(record.mEvent);
            }
        }
        return codes;
    };
    const std::pair<const char*, std::vector<std::uint32_t>> lists[] = {
        {"registered", events(session.mHost.Notifications())},
        {"added", events(session.mHost.AddedNotifications())},
        {"removed", events(session.mHost.RemovedNotifications())},
    };
    bool any = false;
    for (const auto& [list, actual] : lists)
    {
        JsonNode node;
        if (!step.Parameter(list, node))
        {
            continue;
        }
        any = true;
        std::vector<std::uint32_t> expected;
        for (const JsonNode& element : node.is_array() ? node.to_array() : std::vector<JsonNode>{node})
        {
            DescriptorKeyID code = 0;
            if (!element.is_string() || !KeyFromText(element.to_string(), session.mHost.StringIDs(), code))
            {
                step.Error(std::string("\"") + list + "\" is not an array of event codes");
                return StepStatus::kDone;
            }
            expected.push_back(code);
        }
        if (expected != actual)
        {
            step.Fail(std::string(list) + " notifications: expected " + DescribeCodes(expected) + ", found " +
                      DescribeCodes(actual));
        }
    }
    if (!any)
    {
        step.Error("needs \"registered\", \"added\" or \"removed\"");
    }
    return StepStatus::kDone;
}

// A string member of a condition's object; false (error set) when required and absent, or not a
// string.
bool StringMember(const JsonNode& node, const std::string& name, std::string& value, bool required,
                  std::string& error)
{
    JsonNode member;
    if (!node.find(name, member))
    {
        if (required)
        {
            error = "needs \"" + name + "\"";
        }
        return false;
    }
    if (!member.is_string())
    {
        error = "\"" + name + "\" is not a string";
        return false;
    }
    value = member.to_string();
    return true;
}

// expect-file, as a step and as a condition of wait-until (a file that another program writes).
bool CheckFile(const JsonNode& node, std::string& problem, std::string& error)
{
    std::string pattern;
    std::string path;
    if (!StringMember(node, "path", pattern, true, error) || !ExpandEnvironment(pattern, path, error))
    {
        return false;
    }
    std::string contains;
    std::string matches;
    const bool byText = StringMember(node, "contains", contains, false, error);
    const bool byRegex = StringMember(node, "matches", matches, false, error);
    if (!error.empty())
    {
        return false;
    }
    if (byText == byRegex)
    {
        error = "needs exactly one of \"contains\" and \"matches\"";
        return false;
    }
    JsonNode member;
    const bool absent = node.find("absent", member) && member.to_bool();
    long long count = -1;
    if (node.find("count", member))
    {
        if (!member.is_int() || member.to_int64() < 0)
        {
            error = "\"count\" is not a non-negative integer";
            return false;
        }
        count = member.to_int64();
    }
    std::regex regex;
    try
    {
        if (byRegex)
        {
            regex = std::regex(matches, std::regex::ECMAScript);
        }
    }
    catch (const std::regex_error& regexError)
    {
        error = "\"matches\" is not a regular expression: " + std::string(regexError.what());
        return false;
    }
    const std::string what = byText ? "contain \"" + contains + "\"" : "match /" + matches + "/";
    std::vector<std::string> lines;
    if (!ReadFileLines(path, lines))
    {
        if (!absent && count != 0)
        {
            problem = "cannot read '" + path + "' (no line can " + what + ")";
        }
        return true;
    }
    long long found = 0;
    for (const std::string& line : lines)
    {
        found += (byText ? line.find(contains) != std::string::npos : std::regex_search(line, regex)) ? 1 : 0;
    }
    const std::string summary = "'" + path + "': " + std::to_string(found) + " line(s) " + what;
    if (absent && found > 0)
    {
        problem = summary + ", expected none";
    }
    else if (!absent && count >= 0 && found != count)
    {
        problem = summary + ", expected " + std::to_string(count);
    }
    else if (!absent && count < 0 && found == 0)
    {
        problem = summary + ", expected at least one";
    }
    return true;
}

StepStatus ExpectFileStep(Step& step)
{
    std::string problem;
    std::string error;
    const bool made = CheckFile(step.Node(), problem, error);
    return step.Conclude(made, problem, error);
}

void FinishSession(SimSession& session)
{
    Transcript& transcript = session.mHost.GetTranscript();
    if (session.mStarted && !session.mQuit)
    {
        transcript.Line("end of scenario without \"quit\": shutting the plug-ins down");
        for (const auto& plugin : session.mHost.Plugins())
        {
            session.mHost.Call(*plugin, kInterfaceCaller, kShutdownSelector, nullptr);
        }
    }
    CheckHostSockets(session, "by a plug-in");
    session.mHost.ReportOutstandingSuites();
    const ActionObjects::LiveCounts live = ActionObjects::CountLive();
    if (live.mDescriptors + live.mReferences + live.mLists + live.mHandles > 0)
    {
        transcript.Line("action objects not freed: " + std::to_string(live.mDescriptors) +
                        " descriptor(s), " + std::to_string(live.mReferences) + " reference(s), " +
                        std::to_string(live.mLists) + " list(s), " + std::to_string(live.mHandles) +
                        " handle(s)");
    }
}
} // namespace

void RegisterBasicSteps(ScenarioPlayer& player, SimSession& session)
{
    using Flags = ScenarioPlayer::StepFlags;
    SimSession* s = &session;
    player.AddStep(
        "start", [s](Step& step) { return StartStep(step, *s); }, Flags::kCallsPlugins);
    player.AddStep(
        "startup-again", [s](Step& step) { return InterfaceStep(step, *s, kStartupSelector); },
        Flags::kCallsPlugins);
    player.AddStep(
        "about", [s](Step& step) { return InterfaceStep(step, *s, kAboutSelector); }, Flags::kCallsPlugins);
    player.AddStep(
        "do-it", [s](Step& step) { return DoItStep(step, *s); }, Flags::kCallsPlugins);
    player.AddStep(
        "call", [s](Step& step) { return CallStep(step, *s); }, Flags::kCallsPlugins);
    player.AddStep(
        "quit", [s](Step& step) { return QuitStep(step, *s); }, Flags::kEndsPlugins);
    player.AddStep("unload", [s](Step& step) { return UnloadStep(step, *s); });
    player.AddStep("count-cf-objects", [s](Step& step) { return CountCFObjectsStep(step, *s); });
    player.AddStep("wait", [](Step& step) { return WaitStep(step); });
    player.AddStep("set-env", [s](Step& step) { return SetEnvStep(step, *s); });
    player.AddStep("expect-notifications", [s](Step& step) { return ExpectNotificationsStep(step, *s); });
    player.AddStep("expect-file", [](Step& step) { return ExpectFileStep(step); });
    s->mConditions["expect-file"] = CheckFile;
    player.AddFinisher([s] { FinishSession(*s); });
}
