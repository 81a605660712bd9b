#pragma once
// The C interface of Photoshop's extension event library (PlugPlugOwl.dll, or PlugPlug.dll), as
// the plug-in calls it: functions looked up by name, an event record of five fields, a listener
// called with the event and the context it was added with. The library calls listeners on the
// host's main (user-interface) thread.

#include <cstddef>
#include <cstdint>

namespace csxs
{
namespace event
{
// Results of the event functions.
enum EventErrorCode : std::int32_t
{
    kEventErrorCode_Success = 0,
    kEventErrorCode_OperationFailed = 1,
    kEventErrorCode_Unknown = 2,
};

// Scopes of an event.
enum EventScope : std::int32_t
{
    kEventScope_Global = 0,
    kEventScope_Application = 1,
};

struct Event
{
    const char* type;
    std::int32_t scope;
    const char* appId;
    const char* extensionId; // null when the event did not come from an extension
    const char* data;        // UTF-8
};
static_assert(offsetof(Event, type) == 0);
static_assert(offsetof(Event, scope) == 8);
static_assert(offsetof(Event, appId) == 16);
static_assert(offsetof(Event, extensionId) == 24);
static_assert(offsetof(Event, data) == 32);
static_assert(sizeof(Event) == 40);

typedef void (*EventListenerFn)(const Event* event, void* context);
} // namespace event
} // namespace csxs

extern "C"
{
    typedef std::int32_t (*PlugPlugLoadExtensionProc)(const char* extensionId);
    typedef std::int32_t (*PlugPlugUnloadExtensionProc)(const char* extensionId);
    typedef std::int32_t (*PlugPlugAddEventListenerProc)(const char* type,
                                                         csxs::event::EventListenerFn listener,
                                                         void* context);
    typedef std::int32_t (*PlugPlugRemoveEventListenerProc)(const char* type,
                                                            csxs::event::EventListenerFn listener,
                                                            void* context);
    typedef std::int32_t (*PlugPlugDispatchEventProc)(const csxs::event::Event* event);
}
