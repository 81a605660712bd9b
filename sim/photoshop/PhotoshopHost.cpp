#include "PhotoshopHost.h"

#include "ActionSuites.h"
#include "GStringEncodings.h"
#include "SuiteTables.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
PhotoshopHost* sCurrentHost = nullptr;

// Runs a suite function's body on the current host; nothing is thrown back into the plug-in.
template <typename Result, typename Body>
Result OnHost(Result failure, Body&& body) noexcept
{
    try
    {
        PhotoshopHost* host = PhotoshopHost::Current();
        return host != nullptr ? body(*host) : failure;
    }
    catch (...)
    {
        return failure;
    }
}

// --- SPBasicSuite ----------------------------------------------------------------------------------

SPErr BasicAcquireSuite(const char* name, std::int32_t version, const void** suite)
{
    return OnHost(kHostBadParameter,
                  [&](PhotoshopHost& host) { return host.AcquireSuite(name, version, suite); });
}

SPErr BasicReleaseSuite(const char* name, std::int32_t version)
{
    return OnHost(kHostBadParameter, [&](PhotoshopHost& host) { return host.ReleaseSuite(name, version); });
}

SPBoolean BasicIsEqual(const char* token1, const char* token2)
{
    return token1 != nullptr && token2 != nullptr && std::strcmp(token1, token2) == 0 ? 1 : 0;
}

SPErr BasicAllocateBlock(std::size_t size, void** block)
{
    return OnHost(kHostBadParameter,
                  [&](PhotoshopHost& host) { return host.AllocateBlock(size, nullptr, block); });
}

SPErr BasicFreeBlock(void* block)
{
    return OnHost(kHostBadParameter, [&](PhotoshopHost& host) { return host.FreeBlock(block); });
}

SPErr BasicReallocateBlock(void* block, std::size_t newSize, void** newBlock)
{
    return OnHost(kHostBadParameter, [&](PhotoshopHost& host)
                  { return host.ReallocateBlock(block, newSize, nullptr, newBlock); });
}

// The interface gives it no meaning: no plug-in has a reason to call it.
SPErr BasicUndefined()
{
    ReportUnexpectedCall(SuiteId::kBasic, 6);
    return kHostUnimplemented;
}

SPBasicSuite sBasicSuite = {
    .AcquireSuite = BasicAcquireSuite,
    .ReleaseSuite = BasicReleaseSuite,
    .IsEqual = BasicIsEqual,
    .AllocateBlock = BasicAllocateBlock,
    .FreeBlock = BasicFreeBlock,
    .ReallocateBlock = BasicReallocateBlock,
    .Undefined = BasicUndefined,
};

// --- SP Blocks Suite -------------------------------------------------------------------------------

SPErr BlocksAllocateBlock(std::size_t size, const char* debug, void** block)
{
    return OnHost(kHostBadParameter, [&](PhotoshopHost& host)
                  { return host.AllocateBlock(size, debug != nullptr ? debug : "", block); });
}

SPErr BlocksReallocateBlock(void* block, std::size_t newSize, const char* debug, void** newBlock)
{
    return OnHost(kHostBadParameter, [&](PhotoshopHost& host)
                  { return host.ReallocateBlock(block, newSize, debug != nullptr ? debug : "", newBlock); });
}

const BlocksTable sBlocksSuite = {BlocksAllocateBlock, BasicFreeBlock, BlocksReallocateBlock};

// --- Action control suite --------------------------------------------------------------------------

OSErr ControlPlay(PIActionDescriptor* result, DescriptorEventID event, PIActionDescriptor descriptor,
                  std::int32_t options)
{
    return OnHost(kActionParamError,
                  [&](PhotoshopHost& host) { return host.Play(result, event, descriptor, options); });
}

OSErr ControlGet(PIActionDescriptor* result, PIActionReference reference)
{
    return OnHost(kActionParamError, [&](PhotoshopHost& host) { return host.Get(result, reference); });
}

OSErr ControlAddNotify(SPPluginRef reference, DescriptorEventID event, PIEventNotifier proc, void* data)
{
    return OnHost(kActionParamError,
                  [&](PhotoshopHost& host) { return host.AddNotify(reference, event, proc, data); });
}

OSErr ControlRemoveNotify(SPPluginRef reference, DescriptorEventID event)
{
    return OnHost(kActionParamError,
                  [&](PhotoshopHost& host) { return host.RemoveNotify(reference, event); });
}

OSErr ControlStringIDToTypeID(const char* stringID, DescriptorTypeID* typeID)
{
    return OnHost(kActionParamError,
                  [&](PhotoshopHost& host) { return host.StringIDToTypeID(stringID, typeID); });
}

// TypeIDToStringID, SuspendHistory, MakeStringAlias and AddNotifyLevel1 are nothing a plug-in of
// ours calls: their slots answer as unexpected calls, like every slot after them.
const ServedTable<ActionControlTable, SuiteId::kActionControl> sControlSuite({
    .Play = ControlPlay,
    .Get = ControlGet,
    .StringIDToTypeID = ControlStringIDToTypeID,
    .TypeIDToStringID = nullptr,
    .AddNotify = ControlAddNotify,
    .RemoveNotify = ControlRemoveNotify,
    .SuspendHistory = nullptr,
    .MakeStringAlias = nullptr,
    .AddNotifyLevel1 = nullptr,
});

// Served for completeness of the host's suites; a plug-in of ours uses the action control suite.
const ServedTable<BasicActionControlTable, SuiteId::kBasicActionControl> sBasicControlSuite({});

// --- JavaScript scripting suite --------------------------------------------------------------------

ASErr ScriptCreateEngine(JSEngineRef* engine)
{
    return OnHost(kHostBadParameter, [&](PhotoshopHost& host) { return host.CreateEngine(engine); });
}

ASErr ScriptDeleteEngine(JSEngineRef engine)
{
    return OnHost(kHostBadParameter, [&](PhotoshopHost& host) { return host.DeleteEngine(engine); });
}

ASErr ScriptExecute(JSEngineRef engine, const ASUnicode* script, std::int32_t mode, const ASUnicode** result)
{
    return OnHost(kHostBadParameter,
                  [&](PhotoshopHost& host) { return host.Execute(engine, script, mode, result); });
}

// Whether a script runs, and the include path, are nothing a plug-in of ours asks for.
const ServedTable<ScriptingTable, SuiteId::kScripting> sScriptingSuite({
    .ScriptIsRunning = nullptr,
    .CreateEngine = ScriptCreateEngine,
    .DeleteEngine = ScriptDeleteEngine,
    .SetIncludePath = nullptr,
    .GetIncludePath = nullptr,
    .ExecuteScript = ScriptExecute,
});

// Scripts are longer than any sane one well before this.
constexpr std::size_t kMaxScriptUnits = 16u * 1024 * 1024;

std::string DuringCall(const PhotoshopHost& host)
{
    const std::string call = host.CurrentCallDescription();
    return call.empty() ? std::string() : " during " + call;
}

void ReportUnexpected(SuiteId suite, std::size_t slot)
{
    PhotoshopHost* host = PhotoshopHost::Current();
    if (host != nullptr)
    {
        host->Fail(std::string("unexpected call: ") + SuiteDisplayName(suite) + " slot " +
                   std::to_string(slot) + DuringCall(*host));
    }
}

std::string Quoted(const char* text)
{
    return text == nullptr ? std::string("(null)") : "\"" + std::string(text) + "\"";
}
} // namespace

std::string FormatResult(std::int32_t result)
{
    if (result == 0)
    {
        return "0";
    }
    const std::string code = FormatCode(static_cast<std::uint32_t>(result));
    return code.front() == '\'' ? code : std::to_string(result);
}

PhotoshopHost::PhotoshopHost(Transcript& transcript) : mTranscript(transcript)
{
    sCurrentHost = this;
    // The versions Photoshop 2020 serves; any other version of a suite is refused with 'S!Fd'. The
    // descriptor and reference suites have no last version on record: 2 to 4 are served. Later
    // versions only append slots, so one table serves every version of a suite (the handle suite
    // excepted: version 2 inserted a slot).
    AddSuite(kBlocksSuiteName, 2, &sBlocksSuite);
    for (std::int32_t version = 2; version <= 6; ++version)
    {
        AddSuite(kActionControlSuiteName, version, sControlSuite.Get());
    }
    for (std::int32_t version = 1; version <= 3; ++version)
    {
        AddSuite(kBasicActionControlSuiteName, version, sBasicControlSuite.Get());
    }
    for (std::int32_t version = 2; version <= 4; ++version)
    {
        AddSuite(kActionDescriptorSuiteName, version, ActionDescriptorSuite());
        AddSuite(kActionReferenceSuiteName, version, ActionReferenceSuite());
    }
    AddSuite(kActionListSuiteName, 1, ActionListSuite());
    AddSuite(kHandleSuiteName, 1, HandleSuite1());
    AddSuite(kHandleSuiteName, 2, HandleSuite2());
    for (std::int32_t version = 1; version <= 4; ++version)
    {
        AddSuite(kScriptingSuiteName, version, sScriptingSuite.Get());
    }

    SetUnexpectedCallReporter(ReportUnexpected);
    SetActionMisuseReporter(
        [](const std::string& line, bool isFault)
        {
            PhotoshopHost* host = PhotoshopHost::Current();
            if (host == nullptr)
            {
                return;
            }
            const std::string text = "MISUSE " + line + DuringCall(*host);
            if (isFault)
            {
                host->Fail(text);
            }
            else
            {
                host->GetTranscript().Line(text);
            }
        });

    // The events the plug-in plays after activating fonts; without documents they change nothing.
    for (const char* event : {"updateLayouts", "replaceSubstitutes"})
    {
        SetPlayHandler(mStringIDs.ToTypeID(event), [](const ActionDescriptorData*, std::int32_t,
                                                      ActionDescriptorData&) { return kActionNoError; });
    }
}

PhotoshopHost::~PhotoshopHost()
{
    if (sCurrentHost == this)
    {
        SetUnexpectedCallReporter(nullptr);
        SetActionMisuseReporter(nullptr);
        sCurrentHost = nullptr;
    }
    for (auto& block : mBlocks)
    {
        std::free(block.first);
    }
}

PhotoshopHost* PhotoshopHost::Current()
{
    return sCurrentHost;
}

void PhotoshopHost::Fail(const std::string& line)
{
    ++mFailureCount;
    mTranscript.Line(line);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

// --- Plug-ins ---------------------------------------------------------------------------------------

HostPlugin& PhotoshopHost::AddPlugin(std::unique_ptr<HostPlugin> plugin)
{
    plugin->mReference.mOwner = plugin.get();
    mPlugins.push_back(std::move(plugin));
    return *mPlugins.back();
}

HostPlugin* PhotoshopHost::FindPlugin(const std::string& name) const
{
    for (const auto& plugin : mPlugins)
    {
        if (plugin->mName == name)
        {
            return plugin.get();
        }
    }
    return nullptr;
}

HostPlugin* PhotoshopHost::PluginFromReference(SPPluginRef reference) const
{
    for (const auto& plugin : mPlugins)
    {
        if (&plugin->mReference == reference)
        {
            return plugin.get();
        }
    }
    return nullptr;
}

std::string PhotoshopHost::PluginName(SPPluginRef reference) const
{
    const HostPlugin* plugin = PluginFromReference(reference);
    return plugin != nullptr ? plugin->mName : std::string("(unknown plug-in reference)");
}

// --- Entry calls ------------------------------------------------------------------------------------

SPErr PhotoshopHost::Call(HostPlugin& plugin, const std::string& caller, const std::string& selector,
                          PIActionParameters* parameters)
{
    AutomationMessage message{};
    message.d.SPCheck = kSPCheckValue;
    message.d.self = &plugin.mReference;
    message.d.globals = plugin.mGlobals;
    message.d.basic = BasicSuite();
    message.actionParameters = parameters;

    const std::string frame = plugin.mName + " \"" + caller + "\"/\"" + selector + "\"";
    mTranscript.Line("call " + frame);
    BeginCall(plugin, selector);
    const SPErr result = plugin.mEntry(caller.c_str(), selector.c_str(), &message);
    plugin.mGlobals = message.d.globals;
    mTranscript.Line("return " + frame + " -> " + FormatResult(result));
    EndCall();
    return result;
}

void PhotoshopHost::BeginCall(HostPlugin& plugin, const std::string& label)
{
    if (mCallDepth++ == 0)
    {
        mCallCounts.clear();
        mOutstandingAtCallStart = mOutstanding;
        mCallPlugin = &plugin;
        mCallLabel = label;
    }
}

void PhotoshopHost::EndCall()
{
    if (mCallDepth == 0 || --mCallDepth > 0)
    {
        return;
    }
    for (const auto& [key, counts] : mCallCounts)
    {
        const auto before = mOutstandingAtCallStart.find(key);
        const long outstandingBefore = before != mOutstandingAtCallStart.end() ? before->second : 0;
        if (mOutstanding[key] > outstandingBefore)
        {
            Fail("LEAK suite " + DescribeSuite(key) + ": acquired " + std::to_string(counts.mAcquired) +
                 ", released " + std::to_string(counts.mReleased) + " during " + CurrentCallDescription());
        }
    }
    mCallCounts.clear();
    mCallPlugin = nullptr;
    mCallLabel.clear();
}

std::string PhotoshopHost::CurrentCallDescription() const
{
    return mCallPlugin != nullptr ? mCallLabel + " (" + mCallPlugin->mName + ")" : std::string();
}

// --- Suites -----------------------------------------------------------------------------------------

void PhotoshopHost::AddSuite(const std::string& name, std::int32_t version, const void* table)
{
    mSuites[SuiteKey(name, version)] = table;
}

SPBasicSuite* PhotoshopHost::BasicSuite() const
{
    return &sBasicSuite;
}

std::string PhotoshopHost::DescribeSuite(const SuiteKey& key)
{
    return "\"" + key.first + "\" v" + std::to_string(key.second);
}

void PhotoshopHost::ReportOutstandingSuites()
{
    for (const auto& [key, count] : mOutstanding)
    {
        if (count > 0)
        {
            mTranscript.Line("outstanding suite " + DescribeSuite(key) + ": " + std::to_string(count) +
                             " acquisition(s) not released");
        }
    }
    if (!mEngines.empty())
    {
        mTranscript.Line("script engines not deleted: " + std::to_string(mEngines.size()));
    }
}

SPErr PhotoshopHost::AcquireSuite(const char* name, std::int32_t version, const void** suite)
{
    if (name == nullptr || suite == nullptr)
    {
        mTranscript.Line("AcquireSuite " + Quoted(name) + " v" + std::to_string(version) +
                         " without a name or result pointer -> 'Parm'");
        return kHostBadParameter;
    }
    const SuiteKey key(name, version);
    const auto found = mSuites.find(key);
    if (found == mSuites.end())
    {
        *suite = nullptr;
        mTranscript.Line("AcquireSuite " + DescribeSuite(key) + " -> " + FormatResult(kHostSuiteNotFound) +
                         " (no such suite)" + DuringCall(*this));
        return kHostSuiteNotFound;
    }
    *suite = found->second;
    ++mOutstanding[key];
    ++mCallCounts[key].mAcquired;
    mTranscript.Line("AcquireSuite " + DescribeSuite(key) + " -> 0");
    return kHostNoError;
}

SPErr PhotoshopHost::ReleaseSuite(const char* name, std::int32_t version)
{
    if (name == nullptr)
    {
        mTranscript.Line("ReleaseSuite without a name -> 'Parm'");
        return kHostBadParameter;
    }
    const SuiteKey key(name, version);
    if (mSuites.count(key) == 0)
    {
        mTranscript.Line("ReleaseSuite " + DescribeSuite(key) + " -> " + FormatResult(kHostSuiteNotFound) +
                         " (no such suite)" + DuringCall(*this));
        return kHostSuiteNotFound;
    }
    ++mCallCounts[key].mReleased;
    long& outstanding = mOutstanding[key];
    if (outstanding <= 0)
    {
        Fail("UNBALANCED ReleaseSuite " + DescribeSuite(key) + ": released more often than acquired" +
             DuringCall(*this));
        return kHostNoError;
    }
    --outstanding;
    mTranscript.Line("ReleaseSuite " + DescribeSuite(key) + " -> 0");
    return kHostNoError;
}

SPErr PhotoshopHost::AllocateBlock(std::size_t size, const char* debug, void** block)
{
    if (block == nullptr)
    {
        return kHostBadParameter;
    }
    *block = std::malloc(size == 0 ? 1 : size);
    if (*block == nullptr)
    {
        return kHostOutOfMemory;
    }
    mBlocks[*block] = Block{size, debug != nullptr ? debug : ""};
    mTranscript.Line("AllocateBlock " + std::to_string(size) + (debug != nullptr ? " " + Quoted(debug) : "") +
                     " -> 0");
    return kHostNoError;
}

SPErr PhotoshopHost::FreeBlock(void* block)
{
    const auto found = mBlocks.find(block);
    if (found == mBlocks.end())
    {
        Fail(std::string("MISUSE FreeBlock of ") +
             (block == nullptr ? "a null block" : "a block the host did not allocate") + DuringCall(*this));
        return kHostBadParameter;
    }
    mTranscript.Line("FreeBlock " + std::to_string(found->second.mSize) +
                     (found->second.mName.empty() ? "" : " " + Quoted(found->second.mName.c_str())) +
                     " -> 0");
    std::free(block);
    mBlocks.erase(found);
    return kHostNoError;
}

SPErr PhotoshopHost::ReallocateBlock(void* block, std::size_t newSize, const char* debug, void** newBlock)
{
    if (newBlock == nullptr)
    {
        return kHostBadParameter;
    }
    if (block == nullptr)
    {
        return AllocateBlock(newSize, debug, newBlock);
    }
    const auto found = mBlocks.find(block);
    if (found == mBlocks.end())
    {
        Fail("MISUSE ReallocateBlock of a block the host did not allocate" + DuringCall(*this));
        return kHostBadParameter;
    }
    void* moved = std::realloc(block, newSize == 0 ? 1 : newSize);
    if (moved == nullptr)
    {
        return kHostOutOfMemory;
    }
    Block record = found->second;
    record.mSize = newSize;
    mBlocks.erase(found);
    mBlocks[moved] = record;
    *newBlock = moved;
    mTranscript.Line("ReallocateBlock " + std::to_string(newSize) + " -> 0");
    return kHostNoError;
}

// --- Action control ---------------------------------------------------------------------------------

void PhotoshopHost::SetPlayHandler(DescriptorEventID event, PlayHandler handler)
{
    mPlayHandlers[event] = std::move(handler);
}

void PhotoshopHost::SetGetHandler(GetHandler handler)
{
    mGetHandler = std::move(handler);
}

OSErr PhotoshopHost::Answer(PIActionDescriptor* result, OSErr error, const ActionDescriptorData& data)
{
    if (result != nullptr)
    {
        *result = error == kActionNoError ? ActionObjects::NewDescriptor(data) : nullptr;
    }
    return error;
}

OSErr PhotoshopHost::Play(PIActionDescriptor* result, DescriptorEventID event, PIActionDescriptor descriptor,
                          std::int32_t options)
{
    const std::string play = "Play " + mStringIDs.Describe(event) + " options=" + std::to_string(options);
    if (result != nullptr)
    {
        *result = nullptr;
    }
    ActionDescriptorData input;
    if (descriptor != nullptr && !ActionObjects::CopyDescriptor(descriptor, input))
    {
        Fail("MISUSE " + play + " with an unknown descriptor" + DuringCall(*this));
        return kActionParamError;
    }
    ++mPlayCounts[event];
    ActionDescriptorData output;
    OSErr error = kActionNoError;
    const bool injected = mPlaysToFail > 0;
    if (injected)
    {
        --mPlaysToFail;
        error = mPlayFailure;
    }
    else
    {
        const auto handler = mPlayHandlers.find(event);
        error = handler == mPlayHandlers.end()
                    ? kActionEventNotHandled
                    : handler->second(descriptor != nullptr ? &input : nullptr, options, output);
    }
    mTranscript.Line(play + " -> " + FormatResult(error) + (injected ? " (injected failure)" : "") +
                     (descriptor != nullptr ? " with " + DescribeDescriptor(input) : ""));
    return Answer(result, error, output);
}

void PhotoshopHost::FailNextPlays(int count, OSErr error)
{
    mPlaysToFail = count;
    mPlayFailure = error;
}

int PhotoshopHost::PlayCount(DescriptorEventID event) const
{
    const auto found = mPlayCounts.find(event);
    return found != mPlayCounts.end() ? found->second : 0;
}

int PhotoshopHost::Notify(DescriptorEventID event, const ActionDescriptorData& descriptor)
{
    // A procedure may add or remove registrations; the ones of this moment are called.
    const std::vector<NotificationRecord> registered = mNotifications;
    int calls = 0;
    for (const NotificationRecord& record : registered)
    {
        if (record.mEvent != event)
        {
            continue;
        }
        ++calls;
        mTranscript.Line("notify " + FormatCode(event) + " " + record.mPlugin->mName + " " +
                         DescribeDescriptor(descriptor));
        PIActionDescriptor handed = ActionObjects::NewDescriptor(descriptor);
        BeginCall(*record.mPlugin, "notification " + FormatCode(event));
        record.mProc(event, handed, kDialogDisplayWhenNeeded, record.mData);
        EndCall();
        if (!ActionObjects::FreeDescriptor(handed))
        {
            Fail("MISUSE " + record.mPlugin->mName + " freed the descriptor of notification " +
                 FormatCode(event) + ", which belongs to the host");
        }
    }
    return calls;
}

OSErr PhotoshopHost::Get(PIActionDescriptor* result, PIActionReference reference)
{
    if (result != nullptr)
    {
        *result = nullptr;
    }
    ActionReferenceData target;
    if (!ActionObjects::CopyReference(reference, target))
    {
        Fail(std::string("MISUSE Get with ") + (reference == nullptr ? "a null" : "an unknown") +
             " reference" + DuringCall(*this));
        return kActionParamError;
    }
    ActionDescriptorData output;
    std::string why;
    const OSErr error = mGetHandler ? mGetHandler(target, output, why) : kActionNoSuchObject;
    mTranscript.Line("Get " + DescribeReference(target) + " -> " + FormatResult(error) +
                     (error != kActionNoError && !why.empty() ? " (" + why + ")" : ""));
    return Answer(result, error, output);
}

OSErr PhotoshopHost::AddNotify(SPPluginRef reference, DescriptorEventID event, PIEventNotifier proc,
                               void* data)
{
    HostPlugin* plugin = PluginFromReference(reference);
    if (plugin == nullptr)
    {
        Fail("MISUSE AddNotify " + FormatCode(event) + " with an unknown plug-in reference" +
             DuringCall(*this));
        return kActionParamError;
    }
    if (proc == nullptr)
    {
        mTranscript.Line("AddNotify " + FormatCode(event) + " " + plugin->mName +
                         " without a procedure -> -50");
        return kActionParamError;
    }
    const NotificationRecord record{plugin, event, proc, data};
    mNotifications.push_back(record);
    mAddedNotifications.push_back(record);
    mTranscript.Line("AddNotify " + FormatCode(event) + " " + plugin->mName);
    return kActionNoError;
}

OSErr PhotoshopHost::RemoveNotify(SPPluginRef reference, DescriptorEventID event)
{
    HostPlugin* plugin = PluginFromReference(reference);
    if (plugin == nullptr)
    {
        Fail("MISUSE RemoveNotify " + FormatCode(event) + " with an unknown plug-in reference" +
             DuringCall(*this));
        return kActionParamError;
    }
    bool wasRegistered = false;
    for (auto it = mNotifications.begin(); it != mNotifications.end();)
    {
        if (it->mPlugin == plugin && it->mEvent == event)
        {
            it = mNotifications.erase(it);
            wasRegistered = true;
        }
        else
        {
            ++it;
        }
    }
    mRemovedNotifications.push_back(RemovedNotification{plugin, event, wasRegistered});
    mTranscript.Line("RemoveNotify " + FormatCode(event) + " " + plugin->mName +
                     (wasRegistered ? "" : " (not registered)"));
    return kActionNoError;
}

OSErr PhotoshopHost::StringIDToTypeID(const char* stringID, DescriptorTypeID* typeID)
{
    if (stringID == nullptr || typeID == nullptr)
    {
        return kActionParamError;
    }
    *typeID = mStringIDs.ToTypeID(stringID);
    mTranscript.Line("StringIDToTypeID " + Quoted(stringID) + " -> " + FormatCode(*typeID));
    return kActionNoError;
}

// --- JavaScript scripting suite ---------------------------------------------------------------------

void PhotoshopHost::SetScriptHandler(std::function<void(const std::string& script)> handler)
{
    mScriptHandler = std::move(handler);
}

ASErr PhotoshopHost::CreateEngine(JSEngineRef* engine)
{
    if (engine == nullptr)
    {
        mTranscript.Line("CreateEngine without a result pointer -> 'Parm'");
        return kHostBadParameter;
    }
    auto buffer = std::make_unique<std::u16string>();
    *engine = reinterpret_cast<JSEngineRef>(buffer.get());
    mEngines[*engine] = std::move(buffer);
    mTranscript.Line("CreateEngine -> 0");
    return kHostNoError;
}

ASErr PhotoshopHost::DeleteEngine(JSEngineRef engine)
{
    if (mEngines.erase(engine) == 0)
    {
        Fail("MISUSE DeleteEngine of an engine the host did not create" + DuringCall(*this));
        return kScriptBadEngine;
    }
    mTranscript.Line("DeleteEngine -> 0");
    return kHostNoError;
}

ASErr PhotoshopHost::Execute(JSEngineRef engine, const ASUnicode* script, std::int32_t,
                             const ASUnicode** result)
{
    const auto found = mEngines.find(engine);
    if (found == mEngines.end())
    {
        Fail("MISUSE ExecuteScript on an engine the host did not create" + DuringCall(*this));
        return kScriptBadEngine;
    }
    std::size_t length = 0;
    while (script != nullptr && length < kMaxScriptUnits && script[length] != 0)
    {
        ++length;
    }
    if (script == nullptr || length == kMaxScriptUnits)
    {
        mTranscript.Line(std::string("Execute ") +
                         (script == nullptr ? "without a script" : "of an endless script") + " -> 'Parm'");
        return kHostBadParameter;
    }
    const std::u16string wide(reinterpret_cast<const char16_t*>(script), length);
    const std::string text = UTF16ToUTF8(wide);
    std::string shown;
    for (const char c : text)
    {
        shown += c == '\n'   ? std::string("\\n")
                 : c == '\r' ? std::string("\\r")
                 : c == '\t' ? std::string("\\t")
                             : std::string(1, c);
    }
    mTranscript.Line("ExtendScript: " +
                     (text.empty() && length > 0 ? std::string("(not valid UTF-16)") : shown));
    if (mScriptHandler)
    {
        mScriptHandler(text);
    }
    found->second->clear();
    if (result != nullptr)
    {
        *result = reinterpret_cast<const ASUnicode*>(found->second->c_str());
    }
    return kHostNoError;
}
