// A tiny automation plug-in that behaves: it keeps a globals block, registers notifications,
// balances its suite acquisitions, answers "Do It" from the 'Oper' key and reports what it saw of
// its host (version resource, globals slot, WM_TIMER messages of the main window). It writes one
// line per call to the file named by TEST_PLUGIN_LOG, when that variable is set. "Do It" with
// 'Oper' 66 crashes it on purpose.

#include "HostInterface.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace
{
constexpr DescriptorKeyID kOperKey = FourCharCode("Oper");

int sStartups = 0;
void* sGlobals = nullptr;
bool sSawMainWindowTimer = false;

void Log(const char* text)
{
    const char* path = std::getenv("TEST_PLUGIN_LOG");
    if (path == nullptr || *path == '\0')
    {
        return;
    }
    if (std::FILE* file = std::fopen(path, "a"))
    {
        std::fprintf(file, "%s\n", text);
        std::fclose(file);
    }
}

template <typename Suite>
Suite* Acquire(SPBasicSuite* basic, const char* name, std::int32_t version)
{
    const void* suite = nullptr;
    return basic->AcquireSuite(name, version, &suite) == kHostNoError
               ? static_cast<Suite*>(const_cast<void*>(suite))
               : nullptr;
}

LRESULT CALLBACK WatchMessages(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code >= 0 && message->message == WM_TIMER)
    {
        wchar_t windowClass[64] = {};
        wchar_t title[64] = {};
        GetClassNameW(message->hwnd, windowClass, 64);
        GetWindowTextW(message->hwnd, title, 64);
        sSawMainWindowTimer = sSawMainWindowTimer || (std::wcscmp(windowClass, L"Photoshop") == 0 &&
                                                      std::wcscmp(title, L"Adobe Photoshop 2020") == 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Notified(DescriptorEventID, PIActionDescriptor, std::int32_t, void*)
{
}

std::string HostVersion()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    std::vector<char> bytes(GetFileVersionInfoSizeW(path, &handle));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (bytes.empty() || !GetFileVersionInfoW(path, 0, static_cast<DWORD>(bytes.size()), bytes.data()) ||
        !VerQueryValueW(bytes.data(), L"\\", reinterpret_cast<void**>(&fixed), &length))
    {
        return "unknown";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)),
                  static_cast<unsigned>(LOWORD(fixed->dwFileVersionLS)));
    return text;
}

SPErr Startup(SPMessageData* message)
{
    Log("Startup");
    if (++sStartups > 1)
    {
        return kHostNoError;
    }
    auto* blocks = Acquire<BlocksTable>(message->basic, kBlocksSuiteName, 2);
    if (blocks == nullptr || blocks->AllocateBlock(16, "globals", &sGlobals) != kHostNoError)
    {
        return kHostBadParameter;
    }
    message->globals = sGlobals;
    message->basic->ReleaseSuite(kBlocksSuiteName, 2);

    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Startup), &self);
    SetWindowsHookExW(WH_GETMESSAGE, WatchMessages, self, GetCurrentThreadId());

    auto* control = Acquire<ActionControlTable>(message->basic, kActionControlSuiteName, 2);
    if (control == nullptr)
    {
        return kHostBadParameter;
    }
    OSErr error = control->AddNotify(message->self, FourCharCode("Mk  "), Notified, nullptr);
    if (error == 0)
    {
        error = control->AddNotify(message->self, FourCharCode("Cls "), Notified, nullptr);
    }
    message->basic->ReleaseSuite(kActionControlSuiteName, 2);
    return error;
}

SPErr Shutdown(SPMessageData* message)
{
    Log("Shutdown");
    auto* blocks = Acquire<BlocksTable>(message->basic, kBlocksSuiteName, 2);
    if (blocks != nullptr)
    {
        blocks->FreeBlock(message->globals);
        message->globals = nullptr;
        message->basic->ReleaseSuite(kBlocksSuiteName, 2);
    }
    auto* control = Acquire<ActionControlTable>(message->basic, kActionControlSuiteName, 2);
    if (control == nullptr)
    {
        return kHostBadParameter;
    }
    OSErr error = 0;
    for (const char* event : {"Opn ", "Mk  ", "Cls "})
    {
        std::uint32_t code = 0;
        control->StringIDToTypeID(event, &code);
        error = error != 0 ? error : control->RemoveNotify(message->self, code);
    }
    message->basic->ReleaseSuite(kActionControlSuiteName, 2);
    return error;
}

SPErr DoIt(AutomationMessage* message)
{
    if (message->actionParameters == nullptr)
    {
        return kHostBadParameter;
    }
    SPBasicSuite* basic = message->d.basic;
    auto* descriptors = Acquire<ActionDescriptorTable>(basic, kActionDescriptorSuiteName, 2);
    auto* control = Acquire<ActionControlTable>(basic, kActionControlSuiteName, 3);
    PIActionDescriptor descriptor = message->actionParameters->descriptor;
    std::int32_t oper = 0;
    if (descriptors->GetInteger(descriptor, kOperKey, &oper) != 0)
    {
        oper = 0;
    }
    char line[64];
    std::snprintf(line, sizeof line, "Do It oper=%d", static_cast<int>(oper));
    Log(line);
    if (oper == 66) // the scenario wants to see a plug-in crash
    {
        RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    }
    descriptors->Clear(descriptor);
    descriptors->PutInteger(descriptor, FourCharCode("SPor"), oper * 10);
    std::string version = HostVersion();
    descriptors->PutString(descriptor, FourCharCode("HVer"), version.data());
    descriptors->PutBoolean(descriptor, FourCharCode("Glob"), message->d.globals == sGlobals ? 1 : 0);
    descriptors->PutBoolean(descriptor, FourCharCode("Timr"), sSawMainWindowTimer ? 1 : 0);
    if (oper == 2)
    {
        DescriptorEventID event = 0;
        control->StringIDToTypeID("updateLayouts", &event);
        PIActionDescriptor result = nullptr;
        const OSErr error = control->Play(&result, event, nullptr, kDialogSilent);
        if (result != nullptr)
        {
            descriptors->Free(result);
        }
        descriptors->PutInteger(descriptor, FourCharCode("Play"), error);
    }
    basic->ReleaseSuite(kActionDescriptorSuiteName, 2);
    basic->ReleaseSuite(kActionControlSuiteName, 3);
    return kHostNoError;
}
} // namespace

extern "C" __declspec(dllexport) SPErr AutoPluginMain(const char* caller, const char* selector, void* message)
{
    auto* data = static_cast<SPMessageData*>(message);
    if (data == nullptr || data->SPCheck != kSPCheckValue)
    {
        return kHostBadParameter;
    }
    SPBasicSuite* basic = data->basic;
    if (basic->IsEqual(caller, kInterfaceCaller))
    {
        if (basic->IsEqual(selector, kStartupSelector))
        {
            return Startup(data);
        }
        if (basic->IsEqual(selector, kShutdownSelector))
        {
            return Shutdown(data);
        }
        if (basic->IsEqual(selector, kAboutSelector))
        {
            Log("About");
        }
        return kHostNoError;
    }
    if (basic->IsEqual(caller, kPhotoshopCaller) && basic->IsEqual(selector, kDoItSelector))
    {
        return DoIt(static_cast<AutomationMessage*>(message));
    }
    return kHostNoError;
}
