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
//   typehold-ctl exit                             ask the core to exit and wait until it has
//   typehold-ctl freeze [MS]                      the core stops answering its other clients (and
//                                                 sends no notifications) until thawed, or for MS
//   typehold-ctl thaw                             the core answers again
//
// Exit status: 0 done, 1 the core is unreachable or refused, 2 usage.

#include "GPipeConnection.h"
#include "TypeholdMessage.h"
#include "TypeholdProtocol.h"

#include <cstdio>
#include <cstdlib>
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
        "       fonts | activate [--client NAME] ID... | deactivate [--client NAME] ID... | exit |\n"
        "       freeze [MS] | thaw\n");
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

int Run(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
    {
        return Usage();
    }
    const std::string& command = arguments[0];
    std::string client = "ctl";
    std::vector<long long> numbers;
    std::string kind;
    for (std::size_t i = 1; i < arguments.size(); ++i)
    {
        long long number = 0;
        if (arguments[i] == "--client" && i + 1 < arguments.size())
        {
            client = arguments[++i];
        }
        else if (ParseNumber(arguments[i].c_str(), number))
        {
            numbers.push_back(number);
        }
        else if (command == "replicate" && kind.empty())
        {
            kind = arguments[i];
        }
        else
        {
            return Usage();
        }
    }

    GControlConnection connection;
    GCFHolder<CFMutableDictionaryRef> request;
    if (command == "emit" && (numbers.size() == 2 || numbers.size() == 3))
    {
        request.Reset(GControlConnection::Request(protocol::kOpEmitNotifications));
        SetInt(request.Get(), "type", numbers[0]);
        SetInt(request.Get(), "count", numbers[1]);
        SetInt(request.Get(), "first", numbers.size() == 3 ? numbers[2] : 1);
    }
    else if (command == "replicate" && !kind.empty() && numbers.size() <= 2)
    {
        request.Reset(GControlConnection::Request(protocol::kOpReplicate));
        SetString(request.Get(), "kind", kind);
        SetInt(request.Get(), "steps", numbers.size() >= 1 ? numbers[0] : 3);
        SetInt(request.Get(), "intervalMs", numbers.size() >= 2 ? numbers[1] : 0);
    }
    else if ((command == "reload" || command == "dump" || command == "fonts" || command == "exit") &&
             numbers.empty())
    {
        const char* op = command == "reload" ? protocol::kOpReloadConfig
                         : command == "exit" ? protocol::kOpExit
                                             : protocol::kOpDumpState;
        request.Reset(GControlConnection::Request(op));
    }
    else if (command == "freeze" && numbers.size() <= 1 && (numbers.empty() || numbers[0] > 0))
    {
        request.Reset(GControlConnection::Request(protocol::kOpFreeze));
        if (!numbers.empty())
        {
            SetInt(request.Get(), "ms", numbers[0]);
        }
    }
    else if (command == "thaw" && numbers.empty())
    {
        request.Reset(GControlConnection::Request(protocol::kOpThaw));
    }
    else if ((command == "activate" || command == "deactivate") && !numbers.empty())
    {
        request.Reset(
            GControlConnection::Request(command == "activate" ? "ActivateFonts" : "DeactivateFonts"));
        SetInts(request.Get(), "ids", numbers);
        SetInt(request.Get(), "mode", 1);
        SetInt(request.Get(), "persistent", 1);
    }
    else
    {
        return Usage();
    }

    GCFHolder<CFDictionaryRef> reply;
    if (!connection.Open(client) || !connection.Call(request.Get(), reply))
    {
        return 1;
    }
    if (command == "dump")
    {
        GCFHolder<CFDataRef> xml(
            CFPropertyListCreateXMLData(kCFAllocatorDefault, MessageValue(reply.Get(), "state")));
        if (xml)
        {
            std::fwrite(CFDataGetBytePtr(xml.Get()), 1, static_cast<std::size_t>(CFDataGetLength(xml.Get())),
                        stdout);
        }
    }
    else if (command == "fonts")
    {
        CFArrayRef fonts = MessageArray(MessageDictionary(reply.Get(), "state"), "fonts");
        for (CFIndex i = 0; fonts != nullptr && i < CFArrayGetCount(fonts); ++i)
        {
            CFDictionaryRef font = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(fonts, i));
            std::printf("%lld\t%s\t%lld\t%lld\t%s\n", static_cast<long long>(MessageInt(font, "DatabaseID")),
                        MessageString(font, "PostScriptName").c_str(),
                        static_cast<long long>(MessageInt(font, "ActivationStatus")),
                        static_cast<long long>(MessageInt(font, "WorkgroupID")),
                        MessageString(font, "Path").c_str());
        }
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
