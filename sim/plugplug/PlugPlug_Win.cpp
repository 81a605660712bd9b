// The extension event library stand-in: listeners by event type, deliveries on the host's
// user-interface thread, the launch of the panel's extension, a transcript. See README.md.
//
// Deliveries go through a hidden message-only window that the library's first call creates on
// its own thread (the host's user-interface thread): a dispatch copies the event and posts it
// there, so listeners are always called from that thread's message loop, never inside the
// dispatch call, and events the panel page sends from the bridge's threads arrive the same way.

#include "PlugPlugEvents.h"
#include "StandIn_Win.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace
{
constexpr UINT kDeliverMessage = WM_APP + 0x50; // lParam: an OwnedEvent*, owned by the message
constexpr wchar_t kWindowClass[] = L"PlugPlugStandInEvents";
constexpr const char* kLaunchEventType = "com.lumorand.startpanel";

struct Listener
{
    std::string type;
    PlugPlugEventListener function;
    void* context;
};

HMODULE sModule = nullptr;
std::mutex sMutex; // the listeners, the transcript file and the window's creation
std::vector<Listener> sListeners;
std::atomic<HWND> sWindow{nullptr};
DWORD sWindowThread = 0;
std::vector<std::string> sLoadedExtensions;

std::string Describe(const char* text)
{
    return text != nullptr ? JsonQuoted(text) : "null";
}

std::string DescribeEvent(const OwnedEvent& event)
{
    return JsonQuoted(event.type) + " scope " + std::to_string(event.scope) + " appId " +
           JsonQuoted(event.appId) + " extensionId " +
           (event.hasExtensionId ? JsonQuoted(event.extensionId) : "null") + " data " +
           JsonQuoted(event.data);
}

std::size_t CountLocked(const std::string& type)
{
    return static_cast<std::size_t>(std::count_if(sListeners.begin(), sListeners.end(),
                                                  [&](const Listener& listener)
                                                  { return listener.type == type; }));
}

bool StillListening(const Listener& wanted)
{
    std::lock_guard<std::mutex> lock(sMutex);
    return std::any_of(sListeners.begin(), sListeners.end(),
                       [&](const Listener& listener)
                       {
                           return listener.type == wanted.type && listener.function == wanted.function &&
                                  listener.context == wanted.context;
                       });
}

void Deliver(const OwnedEvent& event)
{
    std::vector<Listener> listeners;
    {
        std::lock_guard<std::mutex> lock(sMutex);
        for (const Listener& listener : sListeners)
        {
            if (listener.type == event.type)
            {
                listeners.push_back(listener);
            }
        }
    }
    StandInRecord("deliver " + JsonQuoted(event.type) + " to " + std::to_string(listeners.size()) +
                  " listener(s)");
    const PlugPlugEvent view = event.View();
    for (const Listener& listener : listeners)
    {
        // A listener removed by an earlier one of this delivery is not called any more.
        if (StillListening(listener))
        {
            listener.function(&view, listener.context);
        }
    }
}

LRESULT CALLBACK EventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kDeliverMessage)
    {
        std::unique_ptr<OwnedEvent> event(reinterpret_cast<OwnedEvent*>(lParam));
        Deliver(*event);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The hidden window on the calling thread, made by the library's first call (or the first after
// the window was closed).
void EnsureWindow()
{
    std::lock_guard<std::mutex> lock(sMutex);
    if (sWindow.load() != nullptr)
    {
        return;
    }
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = EventWindowProc;
    windowClass.hInstance = sModule;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass); // fails harmlessly when the class is there already
    HWND window =
        CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, sModule, nullptr);
    if (window == nullptr)
    {
        StandInRecord("cannot make the event window (error " + std::to_string(GetLastError()) + ")");
        return;
    }
    sWindowThread = GetCurrentThreadId();
    sWindow = window;
    StandInRecord("event window made on thread " + std::to_string(sWindowThread));
}

// Closes the hidden window, dropping the deliveries still queued for it. Only its own thread can.
void CloseWindow()
{
    HWND window = sWindow.load();
    if (window == nullptr || GetCurrentThreadId() != sWindowThread)
    {
        return;
    }
    sWindow = nullptr;
    MSG message;
    std::size_t dropped = 0;
    while (PeekMessageW(&message, window, kDeliverMessage, kDeliverMessage, PM_REMOVE))
    {
        delete reinterpret_cast<OwnedEvent*>(message.lParam);
        ++dropped;
    }
    DestroyWindow(window);
    UnregisterClassW(kWindowClass, sModule);
    StandInRecord("event window closed" +
                  (dropped > 0 ? "; " + std::to_string(dropped) + " delivery(ies) dropped" : std::string()));
}

std::string Fault()
{
    return StandInEnvironment("PLUGPLUG_FAULT");
}
} // namespace

std::string StandInPanelExtensionId()
{
    const std::string id = StandInEnvironment("PLUGPLUG_PANEL_EXTENSION_ID");
    return id.empty() ? "com.lumorand.panel" : id;
}

bool StandInPostDelivery(const OwnedEvent& event)
{
    HWND window = sWindow.load();
    if (window == nullptr)
    {
        return false;
    }
    auto copy = std::make_unique<OwnedEvent>(event);
    if (!PostMessageW(window, kDeliverMessage, 0, reinterpret_cast<LPARAM>(copy.get())))
    {
        return false;
    }
    copy.release();
    return true;
}

PLUGPLUG_EXPORT std::int32_t PlugPlugLoadExtension(const char* extensionId)
{
    EnsureWindow();
    if (extensionId == nullptr || *extensionId == '\0')
    {
        StandInRecord("load extension " + Describe(extensionId) + " -> 1");
        return kPlugPlugOperationFailed;
    }
    {
        std::lock_guard<std::mutex> lock(sMutex);
        sLoadedExtensions.push_back(extensionId);
    }
    StandInRecord("load extension " + Describe(extensionId) + " -> 0");
    return kPlugPlugSuccess;
}

PLUGPLUG_EXPORT std::int32_t PlugPlugUnloadExtension(const char* extensionId)
{
    EnsureWindow();
    bool found = false;
    if (extensionId != nullptr)
    {
        std::lock_guard<std::mutex> lock(sMutex);
        const auto at = std::find(sLoadedExtensions.begin(), sLoadedExtensions.end(), extensionId);
        found = at != sLoadedExtensions.end();
        if (found)
        {
            sLoadedExtensions.erase(at);
        }
    }
    StandInRecord("unload extension " + Describe(extensionId) + (found ? " -> 0" : " -> 1 (not loaded)"));
    return found ? kPlugPlugSuccess : kPlugPlugOperationFailed;
}

PLUGPLUG_EXPORT std::int32_t PlugPlugAddEventListener(const char* type, PlugPlugEventListener listener,
                                                      void* context)
{
    EnsureWindow();
    if (type == nullptr || *type == '\0')
    {
        StandInRecord("add listener " + Describe(type) + " -> 1 (no type)");
        return kPlugPlugOperationFailed;
    }
    if (listener == nullptr)
    {
        StandInRecord("add listener " + Describe(type) + ": null listener ignored");
        return kPlugPlugSuccess;
    }
    std::size_t count = 0;
    {
        std::lock_guard<std::mutex> lock(sMutex);
        sListeners.push_back(Listener{type, listener, context});
        count = CountLocked(type);
    }
    StandInRecord("add listener " + Describe(type) + " (now " + std::to_string(count) + ")");
    return kPlugPlugSuccess;
}

PLUGPLUG_EXPORT std::int32_t PlugPlugRemoveEventListener(const char* type, PlugPlugEventListener listener,
                                                         void* context)
{
    EnsureWindow();
    if (type == nullptr || *type == '\0')
    {
        StandInRecord("remove listener " + Describe(type) + " -> 1 (no type)");
        return kPlugPlugOperationFailed;
    }
    std::size_t removed = 0;
    std::size_t count = 0;
    bool none = false;
    {
        std::lock_guard<std::mutex> lock(sMutex);
        const auto end = std::remove_if(sListeners.begin(), sListeners.end(),
                                        [&](const Listener& entry) {
                                            return entry.type == type && entry.function == listener &&
                                                   entry.context == context;
                                        });
        removed = static_cast<std::size_t>(sListeners.end() - end);
        sListeners.erase(end, sListeners.end());
        count = CountLocked(type);
        none = sListeners.empty();
    }
    StandInRecord("remove listener " + Describe(type) + ": " + std::to_string(removed) + " removed (now " +
                  std::to_string(count) + ")");
    if (none && removed > 0)
    {
        // Nobody listens any more: the host is letting the library go. The bridge's threads stop
        // now, from here, rather than in the unload (see README.md, "Unloading").
        BridgeStop();
        CloseWindow();
    }
    return kPlugPlugSuccess;
}

PLUGPLUG_DISPATCH_EXPORT std::int32_t PlugPlugDispatchEvent(const PlugPlugEvent* event)
{
    EnsureWindow();
    if (event == nullptr || event->type == nullptr || *event->type == '\0')
    {
        StandInRecord("dispatch " + std::string(event == nullptr ? "null event" : "without a type") +
                      " -> 1");
        return kPlugPlugOperationFailed;
    }
    const OwnedEvent copy = OwnedEvent::Copy(*event);
    const std::string fault = Fault();
    if (fault == "dispatch-fails" || fault == "dispatch-unknown")
    {
        const std::int32_t result = fault == "dispatch-fails" ? kPlugPlugOperationFailed : kPlugPlugUnknown;
        StandInRecord("dispatch " + DescribeEvent(copy) + " -> " + std::to_string(result) + " (fault " +
                      fault + ")");
        return result;
    }
    StandInRecord("dispatch " + DescribeEvent(copy) + " -> 0");
    BridgePublish(copy);
    if (copy.type == kLaunchEventType)
    {
        StandInRecord(std::string("extension started: ") + kLaunchEventType);
        BridgeStart();
    }
    if (!StandInPostDelivery(copy))
    {
        StandInRecord("cannot post the delivery of " + JsonQuoted(copy.type) + " (error " +
                      std::to_string(GetLastError()) + ")");
    }
    return kPlugPlugSuccess;
}

PLUGPLUG_EXPORT std::int32_t PlugPlugStandInListenerCount(const char* type)
{
    if (type == nullptr)
    {
        return 0;
    }
    std::lock_guard<std::mutex> lock(sMutex);
    return static_cast<std::int32_t>(CountLocked(type));
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        sModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    else if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
    {
        // FreeLibrary: the bridge is not running (it holds a reference to the library while it
        // does). The window goes when this is its thread; a window of another thread is left
        // (its messages would call into the unloaded library, so nothing may be posted to it).
        CloseWindow();
        BridgeUnload();
    }
    // At process exit (reserved not null) the other threads are gone already, ended wherever they
    // were: nothing is joined or freed.
    return TRUE;
}
