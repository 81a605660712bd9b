#pragma once
// The extension event library's C interface, as Photoshop 2020's PlugPlugOwl.dll exports it, and
// the stand-in's own additions. Written from the host's published description; the plug-in's and
// the Photoshop stand-in's declarations are their own.
//
// Every export is a plain C function with the x64 calling convention, looked up by name.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && defined(PLUGPLUG_BUILDING)
#define PLUGPLUG_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGPLUG_EXPORT extern "C"
#endif
// A build of the stand-in without PlugPlugDispatchEvent among its exports (a damaged library).
#if defined(PLUGPLUG_WITHOUT_DISPATCH_EXPORT)
#define PLUGPLUG_DISPATCH_EXPORT extern "C"
#else
#define PLUGPLUG_DISPATCH_EXPORT PLUGPLUG_EXPORT
#endif

// An event: its type, scope, the application and extension it comes from, and its data.
struct PlugPlugEvent
{
    const char* type;        // e.g. "com.lumorand.PluginToPanel"
    std::int32_t scope;      // kPlugPlugScopeGlobal or kPlugPlugScopeApplication
    const char* appId;       // e.g. "PHXS"
    const char* extensionId; // null when the event did not come from an extension
    const char* data;        // UTF-8 text
};
static_assert(sizeof(PlugPlugEvent) == 40, "an event is 40 bytes");
static_assert(offsetof(PlugPlugEvent, type) == 0, "type at 0");
static_assert(offsetof(PlugPlugEvent, scope) == 8, "scope at 8");
static_assert(offsetof(PlugPlugEvent, appId) == 16, "appId at 16");
static_assert(offsetof(PlugPlugEvent, extensionId) == 24, "extensionId at 24");
static_assert(offsetof(PlugPlugEvent, data) == 32, "data at 32");

constexpr std::int32_t kPlugPlugScopeGlobal = 0;
constexpr std::int32_t kPlugPlugScopeApplication = 1;

// Results of the event calls.
constexpr std::int32_t kPlugPlugSuccess = 0;
constexpr std::int32_t kPlugPlugOperationFailed = 1;
constexpr std::int32_t kPlugPlugUnknown = 2;

using PlugPlugEventListener = void (*)(const PlugPlugEvent* event, void* context);

// Extensions: 0 on success.
PLUGPLUG_EXPORT std::int32_t PlugPlugLoadExtension(const char* extensionId);
PLUGPLUG_EXPORT std::int32_t PlugPlugUnloadExtension(const char* extensionId);

// Listeners by event type. A listener added twice is called twice; removing takes every entry
// with the same type, function and context; a null listener is ignored.
PLUGPLUG_EXPORT std::int32_t PlugPlugAddEventListener(const char* type, PlugPlugEventListener listener,
                                                      void* context);
PLUGPLUG_EXPORT std::int32_t PlugPlugRemoveEventListener(const char* type, PlugPlugEventListener listener,
                                                         void* context);

// Delivers the event to every listener of its type, later, on the thread that made the library's
// first call (the host's user-interface thread), never inside this call.
PLUGPLUG_DISPATCH_EXPORT std::int32_t PlugPlugDispatchEvent(const PlugPlugEvent* event);

// The stand-in's own: how many listeners the type has now (entries, duplicates counted).
PLUGPLUG_EXPORT std::int32_t PlugPlugStandInListenerCount(const char* type);
