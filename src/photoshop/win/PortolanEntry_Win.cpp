// The automation entry point: Startup, Shutdown and About from the "SP Interface" caller, and
// "Do It" from the Automate menu item or a script.

#include "CommonFunctionality.h"
#include "DocumentEventHooks.h"
#include "FontManagerInterface.h"
#include "GHostGuard.h"
#include "GLogger.h"
#include "LPFInterface.h"
#include "MenuCommands.h"
#include "PanelManager.h"
#include "PhotoshopPluginAPI.h"
#include "PhotoshopSuites.h"
#include "PortolanGlobals.h"

#include <windows.h>

namespace
{
constexpr DescriptorKeyID kOperationKey = PSFourCharCode("Oper");
constexpr DescriptorKeyID kListeningPortKey = PSFourCharCode("SPor");
constexpr std::int32_t kOperationListeningPort = 4;

// The globals block the plug-in keeps in the host's memory: a word, then the plug-in reference.
struct PortolanGlobalsBlock
{
    std::int32_t reserved;
    SPPluginRef pluginRef;
};
static_assert(sizeof(PortolanGlobalsBlock) == 16);

std::int32_t sStartupCallCount = 0;
bool sNotificationsRegistered = false;
PortolanGlobalsBlock* sGlobalsBlock = nullptr;

// The events registered at startup, and the ones removed at shutdown ('Opn ' was never added:
// opening is detected by polling, but it is removed all the same).
constexpr DescriptorEventID kMakeEvent = PSFourCharCode("Mk  ");
constexpr DescriptorEventID kCloseEvent = PSFourCharCode("Cls ");
constexpr DescriptorEventID kSaveEvent = PSFourCharCode("save");
constexpr DescriptorEventID kOpenEvent = PSFourCharCode("Opn ");

// Raises the deferred replacement delays to their minimums.
void RaiseReplacementDelays(LPFInterface& lpf)
{
    if (lpf.GetLongPreferenceForKey("RMF4") < 500)
    {
        lpf.SetLongPreferenceForKey("RMF4", 500);
    }
    if (lpf.GetLongPreferenceForKey("RMF5") < 4000)
    {
        lpf.SetLongPreferenceForKey("RMF5", 4000);
    }
}

SPErr RegisterNotifications()
{
    const PSActionControlProcs* control = PhotoshopSuites::ActionControl();
    const SPPluginRef pluginRef = PhotoshopSuites::GetPluginRef();
    const struct
    {
        DescriptorEventID event;
        PIActionNotifyProc proc;
    } registrations[] = {{kMakeEvent, MakeEvent}, {kCloseEvent, CloseEvent}, {kSaveEvent, SaveEvent}};
    for (const auto& registration : registrations)
    {
        const OSErr error = control->AddNotify(pluginRef, registration.event, registration.proc, nullptr);
        if (error != 0)
        {
            return static_cast<SPErr>(error);
        }
    }
    sNotificationsRegistered = true;
    return kSPNoError;
}

SPErr StartupPlugin(SPMessageData* message)
{
    TraceLog(1, "Entering %s", "StartupPlugin");
    ++sStartupCallCount;
    if (sStartupCallCount > 1)
    {
        return kSPNoError;
    }

    SPErr pendingError = kSPNoError;
    SPBasicSuite* basic = PhotoshopSuites::GetBasicSuite();
    const SPBlocksSuite* blocks = nullptr;
    try
    {
        try
        {
            const void* suite = nullptr;
            const SPErr error = basic->AcquireSuite(kSPBlocksSuite, kSPBlocksSuiteVersion, &suite);
            if (error != kSPNoError || suite == nullptr)
            {
                throw static_cast<std::uint32_t>(error != kSPNoError ? error : kSPBadParameterError);
            }
            blocks = static_cast<const SPBlocksSuite*>(suite);
        }
        catch (std::uint32_t)
        {
            TraceLog(0, "EXCEPTION: SPErr from AcquireSuite(kSPBlocksSuite)");
            throw;
        }

        void* block = nullptr;
        const SPErr allocationError = blocks->AllocateBlock(sizeof(PortolanGlobalsBlock), "globals", &block);
        if (allocationError != kSPNoError)
        {
            throw static_cast<std::uint32_t>(allocationError);
        }
        sGlobalsBlock = static_cast<PortolanGlobalsBlock*>(block);
        sGlobalsBlock->reserved = 0;
        sGlobalsBlock->pluginRef = message->self;
        message->globals = sGlobalsBlock;

        DocumentEvents::InstallMessageHooks(static_cast<HINSTANCE>(PortolanGlobals::GetModuleInstance()));
        PanelManager::GetSharedInstance().OpenSocket();

        if (CommonFunctionality::Startup(true) != 0)
        {
            // The common checks failed: no defaults, no delays; the notifications are still
            // registered below.
            throw static_cast<std::uint32_t>(0);
        }

        PortolanGlobals::WriteDefaultPreferences();
        if (LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface(); lpf != nullptr)
        {
            RaiseReplacementDelays(*lpf);
        }
    }
    catch (std::uint32_t error)
    {
        TraceLog(0, "StartupPlugin, after catching an error\n");
        pendingError = static_cast<SPErr>(error);
    }

    if (blocks != nullptr)
    {
        basic->ReleaseSuite(kSPBlocksSuite, kSPBlocksSuiteVersion);
    }
    if (sNotificationsRegistered || pendingError != kSPNoError)
    {
        return pendingError;
    }
    try
    {
        return RegisterNotifications();
    }
    catch (std::uint32_t error)
    {
        return static_cast<SPErr>(error);
    }
}

SPErr ShutdownPlugin(SPMessageData* message)
{
    TraceLog(1, "Entering %s", "ShutdownPlugin");
    // First of all the hooks go and every hook procedure, timer step and notification procedure
    // becomes a no-op: Photoshop may unload the plug-in once Shutdown returns.
    DocumentEvents::StopForShutdown();
    try
    {
        FontManagerInterface::OnHostAppShuttingDown();
        PortolanGlobals::CleanUpOnShutdown();

        SPBasicSuite* basic = PhotoshopSuites::GetBasicSuite();
        const void* suite = nullptr;
        const SPErr error = basic->AcquireSuite(kSPBlocksSuite, kSPBlocksSuiteVersion, &suite);
        if (error != kSPNoError || suite == nullptr)
        {
            throw static_cast<std::uint32_t>(error != kSPNoError ? error : kSPBadParameterError);
        }
        if (sGlobalsBlock != nullptr)
        {
            static_cast<const SPBlocksSuite*>(suite)->FreeBlock(sGlobalsBlock);
        }
        sGlobalsBlock = nullptr;
        message->globals = nullptr;
        basic->ReleaseSuite(kSPBlocksSuite, kSPBlocksSuiteVersion);

        SPErr result = kSPNoError;
        if (sNotificationsRegistered)
        {
            const PSActionControlProcs* control = PhotoshopSuites::ActionControl();
            const SPPluginRef pluginRef = PhotoshopSuites::GetPluginRef();
            for (const DescriptorEventID event : {kOpenEvent, kMakeEvent, kCloseEvent, kSaveEvent})
            {
                result = static_cast<SPErr>(control->RemoveNotify(pluginRef, event));
                if (result != kSPNoError)
                {
                    return result;
                }
            }
        }
        return result;
    }
    catch (std::uint32_t error)
    {
        return static_cast<SPErr>(error);
    }
    catch (...)
    {
        return -1;
    }
}

void AboutCommand()
{
    if (LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface(); lpf != nullptr)
    {
        lpf->ShowAboutBox();
    }
}

SPErr DoItCommand(PIActionParameters* actionParameters)
{
    if (actionParameters == nullptr)
    {
        return kSPBadParameterError;
    }
    const PSActionDescriptorProcs* descriptors = PhotoshopSuites::ActionDescriptor();
    PIActionDescriptor descriptor = actionParameters->descriptor;
    std::int32_t operation = 0;
    if (descriptor != nullptr && descriptors->GetInteger(descriptor, kOperationKey, &operation) != 0)
    {
        operation = 0;
    }
    if (descriptor != nullptr)
    {
        descriptors->Clear(descriptor);
    }
    if (operation == kOperationListeningPort)
    {
        if (descriptor != nullptr)
        {
            descriptors->PutInteger(descriptor, kListeningPortKey,
                                    PanelManager::GetSharedInstance().GetListeningPort());
        }
        return kSPNoError;
    }
    return RunCommandBox();
}

SPErr Dispatch(const char* caller, const char* selector, void* message)
{
    SPMessageData* data = static_cast<SPMessageData*>(message);
    PhotoshopSuites::SetBasicSuite(data->basic, data->self);
    SPBasicSuite* basic = data->basic;
    if (basic == nullptr || basic->IsEqual == nullptr || caller == nullptr || selector == nullptr)
    {
        return kSPBadParameterError;
    }

    SPErr result = kSPNoError;
    if (basic->IsEqual(caller, kSPInterfaceCaller))
    {
        if (basic->IsEqual(selector, kSPInterfaceAboutSelector))
        {
            AboutCommand();
        }
        else if (basic->IsEqual(selector, kSPInterfaceStartupSelector))
        {
            result = StartupPlugin(data);
        }
        else if (basic->IsEqual(selector, kSPInterfaceShutdownSelector))
        {
            result = ShutdownPlugin(data);
        }
    }
    if (basic->IsEqual(caller, kPSPhotoshopCaller) && basic->IsEqual(selector, kPSDoIt))
    {
        result = DoItCommand(static_cast<PSActionsPlugInMessage*>(message)->actionParameters);
    }
    return result;
}
} // namespace

extern "C" SPErr AutoPluginMain(const char* caller, const char* selector, void* message)
{
    SPErr result = kSPNoError;
    if (message != nullptr)
    {
        // Nothing may leave the plug-in into the host: a suite error that escaped a command ends it
        // with that error, anything else with -1.
        try
        {
            result = Dispatch(caller, selector, message);
        }
        catch (std::uint32_t error)
        {
            result = static_cast<SPErr>(error);
        }
        catch (const std::exception& exception)
        {
            HostGuard::LogEscaped("AutoPluginMain", exception.what());
            result = -1;
        }
        catch (...)
        {
            HostGuard::LogEscaped("AutoPluginMain", nullptr);
            result = -1;
        }
    }
    PhotoshopSuites::ReleaseAllSuites();
    return result;
}
