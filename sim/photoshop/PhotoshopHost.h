#pragma once
// The host side of Photoshop's plug-in interface: the loaded plug-ins, their entry calls, the
// basic suite with the suites served through it (blocks, action control, the suites of
// ActionSuites, and the JavaScript scripting suite), notifications registered by plug-ins and
// their delivery, and the balance of suite acquisitions.
//
// Plug-ins call the suites through plain C function pointers without a context, so there is one
// current host per process (the last one constructed), reached from those functions.
//
// Suite balance: every AcquireSuite and ReleaseSuite is counted per (name, version). An entry
// call that ends with more acquisitions outstanding than it started with leaked them: a "LEAK"
// line names the suite, the counts during the call and the call, and the leak counts as a
// failure. (A suite acquired between calls, in a message hook, may be released during the next
// call; that is no leak.) A release without an outstanding acquisition is a failure too.

#include "ActionModel.h"
#include "PIPL.h"
#include "StringIDTable.h"
#include "Transcript.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using AutoPluginEntry = SPErr (*)(const char* caller, const char* selector, void* message);

struct HostPlugin;

// What the plug-in reference (SPPluginRef) points to.
struct SPPlugin
{
    HostPlugin* mOwner = nullptr;
};

struct HostPlugin
{
    std::string mName; // the file's path below the plug-ins folder, as the transcript names it
    std::string mPath; // full path
    PIPLPluginInfo mInfo;
    AutoPluginEntry mEntry = nullptr;
    void* mModule = nullptr; // the loaded library (HMODULE); null once unloaded
    SPPlugin mReference{this};
    void* mGlobals = nullptr; // the globals slot, kept between calls
};

struct NotificationRecord
{
    HostPlugin* mPlugin = nullptr;
    DescriptorEventID mEvent = 0;
    PIEventNotifier mProc = nullptr;
    void* mData = nullptr;
};

struct RemovedNotification
{
    HostPlugin* mPlugin = nullptr;
    DescriptorEventID mEvent = 0;
    bool mWasRegistered = false;
};

class PhotoshopHost
{
public:
    explicit PhotoshopHost(Transcript& transcript);
    ~PhotoshopHost();
    PhotoshopHost(const PhotoshopHost&) = delete;
    PhotoshopHost& operator=(const PhotoshopHost&) = delete;

    static PhotoshopHost* Current();

    Transcript& GetTranscript() { return mTranscript; }
    StringIDTable& StringIDs() { return mStringIDs; }

    // Failures found by the host itself (leaks, over-releases, foreign objects), each already in
    // the transcript and on standard error.
    int FailureCount() const { return mFailureCount; }
    void Fail(const std::string& line);

    // --- Plug-ins -----------------------------------------------------------------------------------
    HostPlugin& AddPlugin(std::unique_ptr<HostPlugin> plugin);
    const std::vector<std::unique_ptr<HostPlugin>>& Plugins() const { return mPlugins; }
    HostPlugin* FindPlugin(const std::string& name) const;
    HostPlugin* PluginFromReference(SPPluginRef reference) const;

    // --- Entry calls --------------------------------------------------------------------------------
    // Calls the plug-in's entry point with a message carrying its reference, its globals slot and
    // the basic suite (and for "Do It" the action parameters; null for the interface selectors).
    // The call is framed in the transcript ("call ..." / "return ... -> result") and checked for
    // suite leaks.
    SPErr Call(HostPlugin& plugin, const std::string& caller, const std::string& selector,
               PIActionParameters* parameters);

    // Brackets anything the host runs inside a plug-in (entry calls; notification procedures) for
    // the leak check. Calls may nest; the check runs when the outermost one ends.
    void BeginCall(HostPlugin& plugin, const std::string& label);
    void EndCall();
    // "Startup of Portolan.8li" while a call runs, else empty.
    std::string CurrentCallDescription() const;

    // --- Suites -------------------------------------------------------------------------------------
    void AddSuite(const std::string& name, std::int32_t version, const void* table);
    SPBasicSuite* BasicSuite() const;
    // Lines for suites still acquired (after the last call); informational.
    void ReportOutstandingSuites();

    // --- Action control -----------------------------------------------------------------------------
    // Play answers kActionEventNotHandled for an event without handler; Get answers
    // kActionNoSuchObject until a handler is set. A Get handler may say why it failed (why is
    // shown in the transcript).
    using PlayHandler = std::function<OSErr(const ActionDescriptorData* descriptor, std::int32_t options,
                                            ActionDescriptorData& result)>;
    using GetHandler = std::function<OSErr(const ActionReferenceData& reference, ActionDescriptorData& result,
                                           std::string& why)>;
    void SetPlayHandler(DescriptorEventID event, PlayHandler handler);
    void SetGetHandler(GetHandler handler);
    // The next count plays (of any event) answer error without reaching their handler.
    void FailNextPlays(int count, OSErr error);
    // Every Play of the event so far, failed ones included.
    int PlayCount(DescriptorEventID event) const;

    // Calls every procedure registered for the event, in registration order, with a descriptor
    // holding a copy of the data (the host frees it afterwards). Each call is bracketed with
    // BeginCall/EndCall and has its transcript line. Returns the number of calls.
    int Notify(DescriptorEventID event, const ActionDescriptorData& descriptor);

    // --- JavaScript scripting suite ---------------------------------------------------------------
    // Execute puts the script on the transcript ("ExtendScript: <text>", line ends as \n) and hands
    // its text to the handler.
    void SetScriptHandler(std::function<void(const std::string& script)> handler);
    std::size_t LiveScriptEngines() const { return mEngines.size(); }

    const std::vector<NotificationRecord>& Notifications() const { return mNotifications; }
    const std::vector<NotificationRecord>& AddedNotifications() const { return mAddedNotifications; }
    const std::vector<RemovedNotification>& RemovedNotifications() const { return mRemovedNotifications; }

    // The C functions of the suites forward to these.
    SPErr AcquireSuite(const char* name, std::int32_t version, const void** suite);
    SPErr ReleaseSuite(const char* name, std::int32_t version);
    SPErr AllocateBlock(std::size_t size, const char* debug, void** block);
    SPErr FreeBlock(void* block);
    SPErr ReallocateBlock(void* block, std::size_t newSize, const char* debug, void** newBlock);
    OSErr Play(PIActionDescriptor* result, DescriptorEventID event, PIActionDescriptor descriptor,
               std::int32_t options);
    OSErr Get(PIActionDescriptor* result, PIActionReference reference);
    OSErr AddNotify(SPPluginRef reference, DescriptorEventID event, PIEventNotifier proc, void* data);
    OSErr RemoveNotify(SPPluginRef reference, DescriptorEventID event);
    OSErr StringIDToTypeID(const char* stringID, DescriptorTypeID* typeID);
    ASErr CreateEngine(JSEngineRef* engine);
    ASErr DeleteEngine(JSEngineRef engine);
    ASErr Execute(JSEngineRef engine, const ASUnicode* script, std::int32_t mode, const ASUnicode** result);

private:
    using SuiteKey = std::pair<std::string, std::int32_t>;
    struct CallCounts
    {
        long mAcquired = 0;
        long mReleased = 0;
    };
    struct Block
    {
        std::size_t mSize = 0;
        std::string mName;
    };

    static std::string DescribeSuite(const SuiteKey& key);
    std::string PluginName(SPPluginRef reference) const;
    OSErr Answer(PIActionDescriptor* result, OSErr error, const ActionDescriptorData& data);

    Transcript& mTranscript;
    StringIDTable mStringIDs;
    int mFailureCount = 0;
    std::vector<std::unique_ptr<HostPlugin>> mPlugins;

    std::map<SuiteKey, const void*> mSuites;
    std::map<SuiteKey, long> mOutstanding;
    std::map<SuiteKey, long> mOutstandingAtCallStart;
    std::map<SuiteKey, CallCounts> mCallCounts;
    int mCallDepth = 0;
    HostPlugin* mCallPlugin = nullptr;
    std::string mCallLabel;

    std::map<void*, Block> mBlocks;

    std::map<DescriptorEventID, PlayHandler> mPlayHandlers;
    std::map<DescriptorEventID, int> mPlayCounts;
    int mPlaysToFail = 0;
    OSErr mPlayFailure = 0;
    GetHandler mGetHandler;
    // A script engine is the address of its result buffer (what Execute hands back).
    std::map<JSEngineRef, std::unique_ptr<std::u16string>> mEngines;
    std::function<void(const std::string& script)> mScriptHandler;
    std::vector<NotificationRecord> mNotifications;
    std::vector<NotificationRecord> mAddedNotifications;
    std::vector<RemovedNotification> mRemovedNotifications;
};

// A result as the transcript shows it: 0, 'Parm', -1715.
std::string FormatResult(std::int32_t result);
