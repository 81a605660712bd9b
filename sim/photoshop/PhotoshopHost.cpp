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
    return OnHost(kSPBadParameterError,
                  [&](PhotoshopHost& host) { return host.AcquireSuite(name, version, suite); });
}

SPErr BasicReleaseSuite(const char* name, std::int32_t version)
{
    return OnHost(kSPBadParameterError,
                  [&](PhotoshopHost& host) { return host.ReleaseSuite(name, version); });
}

SPBoolean BasicIsEqual(const char* token1, const char* token2)
{
    return token1 != nullptr && token2 != nullptr && std::strcmp(token1, token2) == 0 ? 1 : 0;
}

SPErr BasicAllocateBlock(std::size_t size, void** block)
{
    return OnHost(kSPBadParameterError,
                  [&](PhotoshopHost& host) { return host.AllocateBlock(size, nullptr, block); });
}

SPErr BasicFreeBlock(void* block)
{
    return OnHost(kSPBadParameterError, [&](PhotoshopHost& host) { return host.FreeBlock(block); });
}

SPErr BasicReallocateBlock(void* block, std::size_t newSize, void** newBlock)
{
    return OnHost(kSPBadParameterError, [&](PhotoshopHost& host)
                  { return host.ReallocateBlock(block, newSize, nullptr, newBlock); });
}

SPErr BasicUndefined()
{
    return kSPUnimplementedError;
}

SPBasicSuite sBasicSuite = {BasicAcquireSuite, BasicReleaseSuite,    BasicIsEqual,  BasicAllocateBlock,
                            BasicFreeBlock,    BasicReallocateBlock, BasicUndefined};

// --- SP Blocks Suite -------------------------------------------------------------------------------

SPErr BlocksAllocateBlock(std::size_t size, const char* debug, void** block)
{
    return OnHost(kSPBadParameterError, [&](PhotoshopHost& host)
                  { return host.AllocateBlock(size, debug != nullptr ? debug : "", block); });
}

SPErr BlocksReallocateBlock(void* block, std::size_t newSize, const char* debug, void** newBlock)
{
    return OnHost(kSPBadParameterError, [&](PhotoshopHost& host)
                  { return host.ReallocateBlock(block, newSize, debug != nullptr ? debug : "", newBlock); });
}

const SPBlocksSuite sBlocksSuite = {BlocksAllocateBlock, BasicFreeBlock, BlocksReallocateBlock};

// --- Action control suite --------------------------------------------------------------------------

OSErr ControlPlay(PIActionDescriptor* result, DescriptorEventID event, PIActionDescriptor descriptor,
                  PIDialogPlayOptions options)
{
    return OnHost(kActionParamError,
                  [&](PhotoshopHost& host) { return host.Play(result, event, descriptor, options); });
}

OSErr ControlGet(PIActionDescriptor* result, PIActionReference reference)
{
    return OnHost(kActionParamError, [&](PhotoshopHost& host) { return host.Get(result, reference); });
}

OSErr ControlSet(PIActionDescriptor* result, PIActionReference reference, PIActionDescriptor descriptor)
{
    return OnHost(kActionParamError,
                  [&](PhotoshopHost& host) { return host.Set(result, reference, descriptor); });
}

OSErr ControlAddNotify(SPPluginRef reference, DescriptorEventID event, PIActionNotifyProc proc, void* data)
{
    return OnHost(kActionParamError,
                  [&](PhotoshopHost& host) { return host.AddNotify(reference, event, proc, data); });
}

OSErr ControlRemoveNotify(SPPluginRef reference, DescriptorEventID event)
{
    return OnHost(kActionParamError,
                  [&](PhotoshopHost& host) { return host.RemoveNotify(reference, event); });
}

OSErr ControlStringIDToTypeID(char* stringID, DescriptorTypeID* typeID)
{
    return OnHost(kActionParamError,
                  [&](PhotoshopHost& host) { return host.StringIDToTypeID(stringID, typeID); });
}

OSErr ControlTypeIDToStringID(DescriptorTypeID typeID, char* stringID, std::uint32_t stringLength)
{
    return OnHost(kActionParamError,
                  [&](PhotoshopHost& host) { return host.TypeIDToStringID(typeID, stringID, stringLength); });
}

const ExtendedSuite<PSActionControlProcs, SuiteId::kActionControl> sControlSuite({
    ControlPlay,
    ControlGet,
    ControlSet,
    ControlAddNotify,
    ControlRemoveNotify,
    ControlStringIDToTypeID,
    ControlTypeIDToStringID,
});

// --- JavaScript scripting suite --------------------------------------------------------------------

SPErr ScriptCreateEngine(JSEngineRef* engine)
{
    return OnHost(kSPBadParameterError, [&](PhotoshopHost& host) { return host.CreateEngine(engine); });
}

SPErr ScriptDeleteEngine(JSEngineRef engine)
{
    return OnHost(kSPBadParameterError, [&](PhotoshopHost& host) { return host.DeleteEngine(engine); });
}

SPErr ScriptExecute(JSEngineRef engine, const ASUnicode* script, std::int32_t flags, const ASUnicode** result)
{
    return OnHost(kSPBadParameterError,
                  [&](PhotoshopHost& host) { return host.Execute(engine, script, flags, result); });
}

const PSJavaScriptScriptingSuite sScriptingSuite = {ScriptCreateEngine, ScriptDeleteEngine, ScriptExecute};

// Scripts are longer than any sane one well before this.
constexpr std::size_t kMaxScriptUnits = 16u * 1024 * 1024;

std::string DuringCall(const PhotoshopHost& host)
{
    const std::string call = host.CurrentCallDescription();
    return call.empty() ? std::string() : " during " + call;
}

void ReportStubCall(SuiteId suite, std::size_t slot)
{
    PhotoshopHost* host = PhotoshopHost::Current();
    if (host != nullptr)
    {
        host->GetTranscript().Line(std::string("UNIMPLEMENTED ") + SuiteDisplayName(suite) +
                                   " suite member " + std::to_string(slot) + " called" + DuringCall(*host));
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
    AddSuite(kSPBlocksSuite, kSPBlocksSuiteVersion, &sBlocksSuite);
    for (std::int32_t version = 1; version <= 3; ++version)
    {
        AddSuite(kPSActionControlSuite, version, &sControlSuite.mDeclared);
        AddSuite(kPSActionDescriptorSuite, version, ActionDescriptorSuite());
        AddSuite(kPSActionReferenceSuite, version, ActionReferenceSuite());
    }
    AddSuite(kPSActionListSuite, 1, ActionListSuite());
    AddSuite(kPSHandleSuite, kPSHandleSuiteVersion1, HandleSuite1());
    AddSuite(kPSHandleSuite, kPSHandleSuiteVersion2, HandleSuite2());
    AddSuite(kPSJavaScriptScriptingSuite, kPSJavaScriptScriptingSuiteVersion, &sScriptingSuite);

    SetUnimplementedReporter(ReportStubCall);
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
        SetPlayHandler(mStringIDs.ToTypeID(event), [](const ActionDescriptorData*, PIDialogPlayOptions,
                                                      ActionDescriptorData&) { return kActionNoError; });
    }
}

PhotoshopHost::~PhotoshopHost()
{
    if (sCurrentHost == this)
    {
        SetUnimplementedReporter(nullptr);
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
    PSActionsPlugInMessage message{};
    message.d.SPCheck = kSPValidSPMessageData;
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
        return kSPBadParameterError;
    }
    const SuiteKey key(name, version);
    const auto found = mSuites.find(key);
    if (found == mSuites.end())
    {
        *suite = nullptr;
        mTranscript.Line("AcquireSuite " + DescribeSuite(key) + " -> " + FormatResult(kSPSuiteNotFoundError) +
                         " (no such suite)" + DuringCall(*this));
        return kSPSuiteNotFoundError;
    }
    *suite = found->second;
    ++mOutstanding[key];
    ++mCallCounts[key].mAcquired;
    mTranscript.Line("AcquireSuite " + DescribeSuite(key) + " -> 0");
    return kSPNoError;
}

SPErr PhotoshopHost::ReleaseSuite(const char* name, std::int32_t version)
{
    if (name == nullptr)
    {
        mTranscript.Line("ReleaseSuite without a name -> 'Parm'");
        return kSPBadParameterError;
    }
    const SuiteKey key(name, version);
    if (mSuites.count(key) == 0)
    {
        mTranscript.Line("ReleaseSuite " + DescribeSuite(key) + " -> " + FormatResult(kSPSuiteNotFoundError) +
                         " (no such suite)" + DuringCall(*this));
        return kSPSuiteNotFoundError;
    }
    ++mCallCounts[key].mReleased;
    long& outstanding = mOutstanding[key];
    if (outstanding <= 0)
    {
        Fail("UNBALANCED ReleaseSuite " + DescribeSuite(key) + ": released more often than acquired" +
             DuringCall(*this));
        return kSPNoError;
    }
    --outstanding;
    mTranscript.Line("ReleaseSuite " + DescribeSuite(key) + " -> 0");
    return kSPNoError;
}

SPErr PhotoshopHost::AllocateBlock(std::size_t size, const char* debug, void** block)
{
    if (block == nullptr)
    {
        return kSPBadParameterError;
    }
    *block = std::malloc(size == 0 ? 1 : size);
    if (*block == nullptr)
    {
        return kSPOutOfMemoryError;
    }
    mBlocks[*block] = Block{size, debug != nullptr ? debug : ""};
    mTranscript.Line("AllocateBlock " + std::to_string(size) + (debug != nullptr ? " " + Quoted(debug) : "") +
                     " -> 0");
    return kSPNoError;
}

SPErr PhotoshopHost::FreeBlock(void* block)
{
    const auto found = mBlocks.find(block);
    if (found == mBlocks.end())
    {
        Fail(std::string("MISUSE FreeBlock of ") +
             (block == nullptr ? "a null block" : "a block the host did not allocate") + DuringCall(*this));
        return kSPBadParameterError;
    }
    mTranscript.Line("FreeBlock " + std::to_string(found->second.mSize) +
                     (found->second.mName.empty() ? "" : " " + Quoted(found->second.mName.c_str())) +
                     " -> 0");
    std::free(block);
    mBlocks.erase(found);
    return kSPNoError;
}

SPErr PhotoshopHost::ReallocateBlock(void* block, std::size_t newSize, const char* debug, void** newBlock)
{
    if (newBlock == nullptr)
    {
        return kSPBadParameterError;
    }
    if (block == nullptr)
    {
        return AllocateBlock(newSize, debug, newBlock);
    }
    const auto found = mBlocks.find(block);
    if (found == mBlocks.end())
    {
        Fail("MISUSE ReallocateBlock of a block the host did not allocate" + DuringCall(*this));
        return kSPBadParameterError;
    }
    void* moved = std::realloc(block, newSize == 0 ? 1 : newSize);
    if (moved == nullptr)
    {
        return kSPOutOfMemoryError;
    }
    Block record = found->second;
    record.mSize = newSize;
    mBlocks.erase(found);
    mBlocks[moved] = record;
    *newBlock = moved;
    mTranscript.Line("ReallocateBlock " + std::to_string(newSize) + " -> 0");
    return kSPNoError;
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
                          PIDialogPlayOptions options)
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
        record.mProc(event, handed, plugInDialogDontDisplay, record.mData);
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

OSErr PhotoshopHost::Set(PIActionDescriptor* result, PIActionReference reference,
                         PIActionDescriptor descriptor)
{
    if (result != nullptr)
    {
        *result = nullptr;
    }
    ActionReferenceData target;
    ActionDescriptorData input;
    if (!ActionObjects::CopyReference(reference, target) ||
        (descriptor != nullptr && !ActionObjects::CopyDescriptor(descriptor, input)))
    {
        Fail("MISUSE Set with an unknown reference or descriptor" + DuringCall(*this));
        return kActionParamError;
    }
    mTranscript.Line("Set " + DescribeReference(target) + " " + DescribeDescriptor(input) + " -> " +
                     FormatResult(kActionNoSuchObject));
    return kActionNoSuchObject;
}

OSErr PhotoshopHost::AddNotify(SPPluginRef reference, DescriptorEventID event, PIActionNotifyProc proc,
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

OSErr PhotoshopHost::TypeIDToStringID(DescriptorTypeID typeID, char* stringID, std::uint32_t stringLength)
{
    if (stringID == nullptr || stringLength == 0)
    {
        return kActionParamError;
    }
    std::string text;
    OSErr error = kActionNoError;
    if (!mStringIDs.ToStringID(typeID, text))
    {
        error = kActionNoSuchObject;
    }
    else if (text.size() >= stringLength)
    {
        error = kActionParamError;
    }
    // An ID without a string, or a buffer too small for it, leaves the empty string.
    const std::size_t copied = error == kActionNoError ? text.size() : 0;
    std::memcpy(stringID, text.data(), copied);
    stringID[copied] = '\0';
    mTranscript.Line("TypeIDToStringID " + FormatCode(typeID) + " -> " +
                     (error == kActionNoError ? Quoted(text.c_str()) : FormatResult(error)));
    return error;
}

// --- JavaScript scripting suite ---------------------------------------------------------------------

void PhotoshopHost::SetScriptHandler(std::function<void(const std::string& script)> handler)
{
    mScriptHandler = std::move(handler);
}

SPErr PhotoshopHost::CreateEngine(JSEngineRef* engine)
{
    if (engine == nullptr)
    {
        mTranscript.Line("CreateEngine without a result pointer -> 'Parm'");
        return kSPBadParameterError;
    }
    auto buffer = std::make_unique<std::u16string>();
    *engine = reinterpret_cast<JSEngineRef>(buffer.get());
    mEngines[*engine] = std::move(buffer);
    mTranscript.Line("CreateEngine -> 0");
    return kSPNoError;
}

SPErr PhotoshopHost::DeleteEngine(JSEngineRef engine)
{
    if (mEngines.erase(engine) == 0)
    {
        Fail("MISUSE DeleteEngine of an engine the host did not create" + DuringCall(*this));
        return kSPBadParameterError;
    }
    mTranscript.Line("DeleteEngine -> 0");
    return kSPNoError;
}

SPErr PhotoshopHost::Execute(JSEngineRef engine, const ASUnicode* script, std::int32_t,
                             const ASUnicode** result)
{
    const auto found = mEngines.find(engine);
    if (found == mEngines.end())
    {
        Fail("MISUSE Execute on an engine the host did not create" + DuringCall(*this));
        return kSPBadParameterError;
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
        return kSPBadParameterError;
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
    return kSPNoError;
}
