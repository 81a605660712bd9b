#pragma once
// The host's suites as the plug-in uses them. Each entry call stores the basic suite and the
// plug-in reference of its message; a suite is acquired through the basic suite on its first use
// during the call and kept in a process-wide slot; ReleaseAllSuites, at the end of every entry
// call, releases them all and clears the slots.
//
// A suite whose acquisition fails raises the host's error as an unsigned 32-bit exception (caught
// by the entry point); without a basic suite the error is kSPBadParameterError. A suite is asked
// for at the lowest version Photoshop serves that has every slot the plug-in calls, and at the
// next versions when the host refuses it: later versions only append slots.

#include "PhotoshopPluginAPI.h"

namespace PhotoshopSuites
{
void SetBasicSuite(SPBasicSuite* basicSuite, SPPluginRef pluginRef);
SPBasicSuite* GetBasicSuite();
SPPluginRef GetPluginRef();

const PSActionDescriptorProcs* ActionDescriptor();
const PSActionControlProcs* ActionControl();
const PSActionReferenceProcs* ActionReference();
const PSActionListProcs* ActionList();

// The handle suite at whichever of its two layouts the host served.
class HandleSuite
{
public:
    std::int32_t GetSize(Handle handle) const;
    // Locks the handle and returns its data (null when it has none).
    Ptr Lock(Handle handle, PSBoolean& oldLock) const;
    void Unlock(Handle handle, PSBoolean oldLock) const;
    Handle New(std::int32_t size) const;
    void Dispose(Handle handle) const;

private:
    friend HandleSuite Handles();
    const PSHandleSuite1* mpVersion1 = nullptr;
    const PSHandleSuite2* mpVersion2 = nullptr;
};
HandleSuite Handles();

// Releases every suite acquired since the last call and clears the slots.
void ReleaseAllSuites();
// The number of suites currently held (for tests).
int GetAcquiredSuiteCount();
} // namespace PhotoshopSuites
