// typehold-ctl.exe: drives a running Typehold.exe for tests and by hand.
//
//   typehold-ctl emit TYPE COUNT [FIRST]          COUNT test notifications of TYPE; font-ID types
//                                                 carry FIRST, FIRST+1, ... (default 1)
//   typehold-ctl replicate KIND [STEPS] [MS]      progress notifications then "stopped" for
//                                                 KIND bulk|incremental|server|google
//   typehold-ctl reload                           read config.json again now
//   typehold-ctl dump                             the core's state as an XML property list
//   typehold-ctl fonts                            ID, PostScript name, raw activation, workgroup, path
//   typehold-ctl activate [--client NAME] ID...   activate as another client (default "ctl")
//   typehold-ctl deactivate [--client NAME] ID...
//   typehold-ctl deactivate --everyone ID...      release every client's hold, as the user does in
//                                                 the font manager's own window
//   typehold-ctl exit                             ask the core to exit and wait until it has
//   typehold-ctl freeze [MS]                      the core stops answering its other clients (and
//                                                 sends no notifications) until thawed, or for MS
//   typehold-ctl thaw                             the core answers again
//   typehold-ctl google on|off                    Google web fonts on or off (as the panel does)
//   typehold-ctl online on|off                    the session as the user changes it: online,
//   typehold-ctl standalone on|off                standalone, logged in (kept until config.json
//   typehold-ctl login on|off                     changes the same setting)
//   typehold-ctl set NAME [--workgroup ID] ID...  a set of fonts; prints its ID
//   typehold-ctl smartset NAME [--workgroup ID] PATTERN...
//                                                 a smart set: the fonts whose PostScript name
//                                                 matches a pattern ('*', '?'); prints its ID
//   typehold-ctl sets                             sets and smart sets, one a line
//   typehold-ctl smartlists                       smart lists: ID, name, their fonts' IDs
//   typehold-ctl clicks                           the panel clicks recorded, oldest first
//
// Exit status: 0 done, 1 the core is unreachable or refused, 2 usage.

#include "GPipeConnection.h"
#include "TypeholdMessage.h"
#include "TypeholdProtocol.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace typehold;

namespace
{
constexpr DWORD kTimeoutMs = 120000;

int Usage()
{
    std::fprintf(
        stderr,
        "usage: typehold-ctl emit TYPE COUNT [FIRST] | replicate KIND [STEPS] [MS] | reload | dump |\n"
        "       fonts | activate [--client NAME] ID... | deactivate [--client NAME | --everyone] ID... | "
        "exit |\n"
        "       freeze [MS] | thaw | google|online|standalone|login on|off |\n"
        "       set NAME [--workgroup ID] ID... | smartset NAME [--workgroup ID] PATTERN... | sets |\n"
        "       smartlists | clicks\n");
    return 2;
}

bool ParseNumber(const char* text, long long& value)
{
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0';
}

class GControlConnection
{
public:
    bool Open(const std::string& client)
    {
        DWORD error = 0;
        mPipe = GPipeConnection::Connect(protocol::kPipeName, 5000, error);
        if (!mPipe)
        {
            std::fprintf(stderr, "typehold-ctl: the core is not reachable (error %lu)\n", error);
            return false;
        }
        GCFHolder<CFMutableDictionaryRef> hello(Request(protocol::kOpHello));
        SetString(hello.Get(), protocol::kRoleKey, protocol::kRoleCalls);
        SetString(hello.Get(), protocol::kClientKey, "typehold-ctl:" + client);
        SetInt(hello.Get(), protocol::kPidKey, GetCurrentProcessId());
        GCFHolder<CFDictionaryRef> reply;
        if (!Call(hello.Get(), reply))
        {
            return false;
        }
        mCorePid = static_cast<DWORD>(MessageInt(reply.Get(), protocol::kPidKey));
        return true;
    }

    static CFMutableDictionaryRef Request(const char* op)
    {
        CFMutableDictionaryRef request = CreateMutableDictionary();
        SetString(request, protocol::kOpKey, op);
        return request;
    }

    // Sends a request; false (with a message) when the core does not answer or answers an error.
    bool Call(CFDictionaryRef request, GCFHolder<CFDictionaryRef>& reply)
    {
        CFTypeRef value = nullptr;
        if (mPipe->WriteValue(request, kTimeoutMs) != GPipeConnection::EStatus::kOK ||
            mPipe->ReadValue(value, kTimeoutMs) != GPipeConnection::EStatus::kOK)
        {
            std::fprintf(stderr, "typehold-ctl: no answer from the core (%s)\n", mPipe->LastError().c_str());
            return false;
        }
        reply.Reset(static_cast<CFDictionaryRef>(value));
        if (CFGetTypeID(value) != CFDictionaryGetTypeID())
        {
            std::fprintf(stderr, "typehold-ctl: the core's answer is not a dictionary\n");
            return false;
        }
        const long long code = MessageInt(reply.Get(), protocol::kResultKey, -1);
        if (code != 0)
        {
            std::fprintf(stderr, "typehold-ctl: %s answered 0x%08llx\n",
                         MessageString(request, protocol::kOpKey).c_str(), code);
            return false;
        }
        return true;
    }

    DWORD CorePid() const { return mCorePid; }

private:
    std::unique_ptr<GPipeConnection> mPipe;
    DWORD mCorePid = 0;
};

std::string Joined(const std::vector<std::int64_t>& values)
{
    std::string text;
    for (const std::int64_t value : values)
    {
        text += (text.empty() ? "" : ",") + std::to_string(value);
    }
    return text;
}

// The arguments after the command: options taken out, the rest in order.
struct GArguments
{
    std::string client = "ctl";
    bool everyone = false;
    bool hasWorkgroup = false;
    long long workgroup = 0;
    std::vector<std::string> words;

    // Every word from the index on as a number.
    bool Numbers(std::size_t from, std::vector<long long>& numbers) const
    {
        numbers.clear();
        for (std::size_t i = from; i < words.size(); ++i)
        {
            long long number = 0;
            if (!ParseNumber(words[i].c_str(), number))
            {
                return false;
            }
            numbers.push_back(number);
        }
        return true;
    }
};

bool IsSessionCommand(const std::string& command)
{
    return command == "google" || command == "online" || command == "standalone" || command == "login";
}

// The request of a command line; null for a usage error.
CFMutableDictionaryRef CreateRequest(const std::string& command, const GArguments& arguments)
{
    std::vector<long long> numbers;
    const std::vector<std::string>& words = arguments.words;
    const bool allNumbers = arguments.Numbers(0, numbers);
    if (arguments.hasWorkgroup && command != "set" && command != "smartset")
    {
        return nullptr;
    }
    CFMutableDictionaryRef request = nullptr;
    if (command == "emit" && allNumbers && (numbers.size() == 2 || numbers.size() == 3))
    {
        request = GControlConnection::Request(protocol::kOpEmitNotifications);
        SetInt(request, "type", numbers[0]);
        SetInt(request, "count", numbers[1]);
        SetInt(request, "first", numbers.size() == 3 ? numbers[2] : 1);
    }
    else if (command == "replicate" && !words.empty() && arguments.Numbers(1, numbers) && numbers.size() <= 2)
    {
        request = GControlConnection::Request(protocol::kOpReplicate);
        SetString(request, "kind", words[0]);
        SetInt(request, "steps", numbers.size() >= 1 ? numbers[0] : 3);
        SetInt(request, "intervalMs", numbers.size() >= 2 ? numbers[1] : 0);
    }
    else if ((command == "reload" || command == "dump" || command == "fonts" || command == "exit" ||
              command == "sets" || command == "clicks") &&
             words.empty())
    {
        const char* op = command == "reload" ? protocol::kOpReloadConfig
                         : command == "exit" ? protocol::kOpExit
                                             : protocol::kOpDumpState;
        request = GControlConnection::Request(op);
    }
    else if (command == "smartlists" && words.empty())
    {
        request = GControlConnection::Request("GetAllSmartLists");
    }
    else if (command == "freeze" && allNumbers && numbers.size() <= 1 && (numbers.empty() || numbers[0] > 0))
    {
        request = GControlConnection::Request(protocol::kOpFreeze);
        if (!numbers.empty())
        {
            SetInt(request, "ms", numbers[0]);
        }
    }
    else if (command == "thaw" && words.empty())
    {
        request = GControlConnection::Request(protocol::kOpThaw);
    }
    else if ((command == "activate" || command == "deactivate") && allNumbers && !numbers.empty())
    {
        request = GControlConnection::Request(command == "activate" ? "ActivateFonts" : "DeactivateFonts");
        SetInts(request, "ids", numbers);
        if (arguments.everyone)
        {
            SetInt(request, "everyone", 1);
        }
        SetInt(request, "mode", 1);
        SetInt(request, "persistent", 1);
    }
    else if (IsSessionCommand(command) && words.size() == 1 && (words[0] == "on" || words[0] == "off"))
    {
        const bool on = words[0] == "on";
        if (command == "google")
        {
            request = GControlConnection::Request("SetGoogleWebFontsEnabled");
            SetInt(request, "enabled", on ? 1 : 0);
        }
        else
        {
            request = GControlConnection::Request(protocol::kOpSetSessionState);
            SetString(request, "name", command == "login" ? "loggedIn" : command);
            SetBool(request, "value", on);
        }
    }
    else if (command == "set" && !words.empty() && arguments.Numbers(1, numbers))
    {
        request = GControlConnection::Request("CreateTopLevelSet");
        SetString(request, "name", words[0]);
        SetInt(request, "workgroup", arguments.workgroup);
        SetInts(request, "ids", numbers);
    }
    else if (command == "smartset" && words.size() >= 2)
    {
        request = GControlConnection::Request(protocol::kOpCreateSmartSet);
        SetString(request, "name", words[0]);
        SetInt(request, "workgroup", arguments.workgroup);
        GCFHolder<CFMutableArrayRef> patterns(CreateMutableArray());
        for (std::size_t i = 1; i < words.size(); ++i)
        {
            GCFHolder<CFStringRef> pattern(CreateString(words[i]));
            CFArrayAppendValue(patterns.Get(), pattern.Get());
        }
        SetValue(request, "patterns", patterns.Get());
    }
    return request;
}

void PrintRecords(CFArrayRef records, const std::function<void(CFDictionaryRef)>& print)
{
    for (CFIndex i = 0; records != nullptr && i < CFArrayGetCount(records); ++i)
    {
        CFTypeRef record = CFArrayGetValueAtIndex(records, i);
        if (CFGetTypeID(record) == CFDictionaryGetTypeID())
        {
            print(static_cast<CFDictionaryRef>(record));
        }
    }
}

int Run(const std::vector<std::string>& commandLine)
{
    if (commandLine.empty())
    {
        return Usage();
    }
    const std::string& command = commandLine[0];
    GArguments arguments;
    for (std::size_t i = 1; i < commandLine.size(); ++i)
    {
        if (commandLine[i] == "--client" && i + 1 < commandLine.size())
        {
            arguments.client = commandLine[++i];
        }
        else if (commandLine[i] == "--everyone")
        {
            arguments.everyone = true;
        }
        else if (commandLine[i] == "--workgroup" && i + 1 < commandLine.size() &&
                 ParseNumber(commandLine[i + 1].c_str(), arguments.workgroup))
        {
            arguments.hasWorkgroup = true;
            ++i;
        }
        else
        {
            arguments.words.push_back(commandLine[i]);
        }
    }

    GCFHolder<CFMutableDictionaryRef> request(CreateRequest(command, arguments));
    if (!request)
    {
        return Usage();
    }
    GControlConnection connection;
    GCFHolder<CFDictionaryRef> reply;
    if (!connection.Open(arguments.client) || !connection.Call(request.Get(), reply))
    {
        return 1;
    }
    CFDictionaryRef state = MessageDictionary(reply.Get(), "state");
    if (command == "dump")
    {
        GCFHolder<CFDataRef> xml(CFPropertyListCreateXMLData(kCFAllocatorDefault, state));
        if (xml)
        {
            std::fwrite(CFDataGetBytePtr(xml.Get()), 1, static_cast<std::size_t>(CFDataGetLength(xml.Get())),
                        stdout);
        }
    }
    else if (command == "fonts")
    {
        PrintRecords(MessageArray(state, "fonts"),
                     [](CFDictionaryRef font)
                     {
                         std::printf("%lld\t%s\t%lld\t%lld\t%s\n",
                                     static_cast<long long>(MessageInt(font, "DatabaseID")),
                                     MessageString(font, "PostScriptName").c_str(),
                                     static_cast<long long>(MessageInt(font, "ActivationStatus")),
                                     static_cast<long long>(MessageInt(font, "WorkgroupID")),
                                     MessageString(font, "Path").c_str());
                     });
    }
    else if (command == "sets")
    {
        PrintRecords(MessageArray(state, "sets"),
                     [](CFDictionaryRef set)
                     {
                         std::printf("set\t%lld\t%s\t%lld\t%s\n",
                                     static_cast<long long>(MessageInt(set, "id")),
                                     MessageString(set, "name").c_str(),
                                     static_cast<long long>(MessageInt(set, "workgroup")),
                                     Joined(MessageInts(set, "fonts")).c_str());
                     });
        PrintRecords(MessageArray(state, "smartSets"),
                     [](CFDictionaryRef smartSet)
                     {
                         std::string patterns;
                         CFArrayRef list = MessageArray(smartSet, "patterns");
                         for (CFIndex i = 0; list != nullptr && i < CFArrayGetCount(list); ++i)
                         {
                             patterns += (i == 0 ? "" : " ") + StringValue(CFArrayGetValueAtIndex(list, i));
                         }
                         std::printf("smartset\t%lld\t%s\t%lld\t%s\n",
                                     static_cast<long long>(MessageInt(smartSet, "id")),
                                     MessageString(smartSet, "name").c_str(),
                                     static_cast<long long>(MessageInt(smartSet, "workgroup")),
                                     patterns.c_str());
                     });
    }
    else if (command == "clicks")
    {
        PrintRecords(MessageArray(state, "panelClicks"),
                     [](CFDictionaryRef click)
                     {
                         std::printf(
                             "%lld\t%lld\t%s\t%s\t%s\n", static_cast<long long>(MessageInt(click, "time")),
                             static_cast<long long>(MessageInt(click, "fontID")),
                             MessageString(click, "postScriptName").c_str(),
                             MessageString(click, "version").c_str(), MessageString(click, "client").c_str());
                     });
    }
    else if (command == "smartlists")
    {
        bool answered = true;
        PrintRecords(MessageArray(reply.Get(), "smartLists"),
                     [&](CFDictionaryRef list)
                     {
                         const long long id = MessageInt(list, "smartListID");
                         GCFHolder<CFMutableDictionaryRef> fontsRequest(
                             GControlConnection::Request("GetSmartListFonts"));
                         SetInt(fontsRequest.Get(), "smartListID", id);
                         GCFHolder<CFDictionaryRef> fonts;
                         std::vector<std::int64_t> ids;
                         answered = answered && connection.Call(fontsRequest.Get(), fonts);
                         PrintRecords(MessageArray(fonts.Get(), "fonts"), [&ids](CFDictionaryRef font)
                                      { ids.push_back(MessageInt(font, "fontID")); });
                         std::printf("%lld\t%s\t%s\n", id, MessageString(list, "smartListName").c_str(),
                                     Joined(ids).c_str());
                     });
        if (!answered)
        {
            return 1;
        }
    }
    else if (command == "set" || command == "smartset")
    {
        std::printf("%lld\n", static_cast<long long>(
                                  MessageInt(reply.Get(), command == "set" ? "setID" : "smartSetID")));
    }
    else if (command == "activate")
    {
        const std::vector<std::int64_t> refused = MessageInts(reply.Get(), "notActivated");
        for (const std::int64_t id : refused)
        {
            std::fprintf(stderr, "typehold-ctl: font %lld was not activated\n", static_cast<long long>(id));
        }
        return refused.empty() ? 0 : 1;
    }
    else if (command == "exit")
    {
        HANDLE core = OpenProcess(SYNCHRONIZE, FALSE, connection.CorePid());
        if (core != nullptr)
        {
            const DWORD waited = WaitForSingleObject(core, 30000);
            CloseHandle(core);
            if (waited != WAIT_OBJECT_0)
            {
                std::fprintf(stderr, "typehold-ctl: the core has not exited\n");
                return 1;
            }
        }
    }
    std::fflush(stdout);
    return 0;
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
    {
        std::string argument;
        for (const wchar_t* c = argv[i]; *c != 0; ++c)
        {
            argument.push_back(*c < 0x80 ? static_cast<char>(*c) : '?'); // commands and numbers are ASCII
        }
        arguments.push_back(argument);
    }
    return Run(arguments);
}
