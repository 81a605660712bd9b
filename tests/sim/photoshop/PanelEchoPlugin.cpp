// A tiny automation plug-in that talks to the HTML panel through the extension event library, the
// way a panel's plug-in does: at Startup it loads the library from the host's folder, listens for
// "com.lumorand.PanelToPlugin", dispatches the panel's launch event and says hello; each panel
// message is answered with an echo, except two requests:
//   "please-send-garbage"  answered with data that is not "(" JSON ")"
//   "please-press-keys"    the main window gets the keyboard focus and a K pressed and released
// At Shutdown it stops listening and lets the library go.

#include "HostInterface.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace
{
struct Event
{
    const char* type;
    std::int32_t scope;
    const char* appId;
    const char* extensionId;
    const char* data;
};
using Listener = void (*)(const Event* event, void* context);
using ListenerCall = std::int32_t (*)(const char* type, Listener listener, void* context);
using DispatchCall = std::int32_t (*)(const Event* event);

constexpr const char* kToPlugin = "com.lumorand.PanelToPlugin";
constexpr const char* kToPanel = "com.lumorand.PluginToPanel";

HMODULE sLibrary = nullptr;
ListenerCall sRemove = nullptr;
DispatchCall sDispatch = nullptr;
DWORD sUIThread = 0;
int sReceived = 0;

template <typename Function>
Function Export(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text)
    {
        if (c == '"' || c == '\\')
        {
            quoted += '\\';
        }
        if (static_cast<unsigned char>(c) < 0x20)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            quoted += escaped;
            continue;
        }
        quoted += c;
    }
    return quoted + "\"";
}

void Send(const std::string& data)
{
    const Event event{kToPanel, 1, "HTML", nullptr, data.c_str()};
    sDispatch(&event);
}

// The host's main window: of class "Photoshop", on this (the user-interface) thread, so never
// the window of another host running at the same time.
HWND MainWindow()
{
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL
        {
            wchar_t windowClass[32] = {};
            GetClassNameW(window, windowClass, 32);
            if (std::wstring(windowClass) != L"Photoshop")
            {
                return TRUE;
            }
            *reinterpret_cast<HWND*>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void OnPanelMessage(const Event* event, void*)
{
    ++sReceived;
    const std::string data = event->data != nullptr ? event->data : "";
    if (data == "please-send-garbage")
    {
        Send("garbage");
        return;
    }
    if (data == "please-press-keys")
    {
        HWND window = MainWindow();
        SetFocus(window);
        PostMessageW(window, WM_KEYDOWN, 'K', 1);
        PostMessageW(window, WM_KEYUP, 'K', static_cast<LPARAM>(0xC0000001));
        return;
    }
    Send("({\"messageID\":\"echo\",\"count\":" + std::to_string(sReceived) + ",\"data\":" + Quoted(data) +
         ",\"extensionId\":" + (event->extensionId != nullptr ? Quoted(event->extensionId) : "null") +
         ",\"onUIThread\":" + (GetCurrentThreadId() == sUIThread ? "true" : "false") + "})");
}

SPErr Startup()
{
    sUIThread = GetCurrentThreadId();
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\') + 1);
    sLibrary = LoadLibraryW((folder + L"PlugPlugOwl.dll").c_str());
    if (sLibrary == nullptr)
    {
        sLibrary = LoadLibraryW((folder + L"PlugPlug.dll").c_str());
    }
    if (sLibrary == nullptr)
    {
        return kHostNoError; // no panel without the library
    }
    auto add = Export<ListenerCall>(sLibrary, "PlugPlugAddEventListener");
    sRemove = Export<ListenerCall>(sLibrary, "PlugPlugRemoveEventListener");
    sDispatch = Export<DispatchCall>(sLibrary, "PlugPlugDispatchEvent");
    if (add == nullptr || sRemove == nullptr || sDispatch == nullptr)
    {
        FreeLibrary(sLibrary);
        sLibrary = nullptr;
        return kHostNoError;
    }
    add(kToPlugin, OnPanelMessage, nullptr);
    const Event launch{"com.lumorand.startpanel", 1, "test", nullptr, ""};
    sDispatch(&launch);
    Send("({\"messageID\":\"hello\",\"version\":\"1.0\"})");
    return kHostNoError;
}

SPErr Shutdown()
{
    if (sLibrary != nullptr)
    {
        sRemove(kToPlugin, OnPanelMessage, nullptr);
        FreeLibrary(sLibrary);
        sLibrary = nullptr;
    }
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
    if (basic->IsEqual(caller, kInterfaceCaller) && basic->IsEqual(selector, kStartupSelector))
    {
        return Startup();
    }
    if (basic->IsEqual(caller, kInterfaceCaller) && basic->IsEqual(selector, kShutdownSelector))
    {
        return Shutdown();
    }
    return kHostNoError;
}
