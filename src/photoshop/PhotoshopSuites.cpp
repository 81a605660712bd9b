#include "PhotoshopSuites.h"

#include "GLogger.h"

#include <array>
#include <cstring>

namespace
{
SPBasicSuite* sBasicSuite = nullptr;
SPPluginRef sPluginRef = nullptr;

// One cache slot: a suite name at one version.
struct SuiteSlot
{
    const char* name;
    std::int32_t version;
    const void* suite;
};

// Each suite at the versions the plug-in asks for, lowest first (later versions only append
// slots, so the first one served has every slot the plug-in calls).
enum SlotIndex
{
    kDescriptor2,
    kDescriptor3,
    kDescriptor4,
    kControl2,
    kControl3,
    kControl4,
    kReference2,
    kReference3,
    kReference4,
    kList1,
    kHandle1,
    kHandle2,
    kSlotCount
};

std::array<SuiteSlot, kSlotCount> sSlots = {{
    {kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersions[0], nullptr},
    {kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersions[1], nullptr},
    {kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersions[2], nullptr},
    {kPSActionControlSuite, kPSActionControlSuiteVersions[0], nullptr},
    {kPSActionControlSuite, kPSActionControlSuiteVersions[1], nullptr},
    {kPSActionControlSuite, kPSActionControlSuiteVersions[2], nullptr},
    {kPSActionReferenceSuite, kPSActionReferenceSuiteVersions[0], nullptr},
    {kPSActionReferenceSuite, kPSActionReferenceSuiteVersions[1], nullptr},
    {kPSActionReferenceSuite, kPSActionReferenceSuiteVersions[2], nullptr},
    {kPSActionListSuite, kPSActionListSuiteVersion, nullptr},
    {kPSHandleSuite, kPSHandleSuiteVersion1, nullptr},
    {kPSHandleSuite, kPSHandleSuiteVersion2, nullptr},
}};

// Acquires one slot; the host's error, or 0.
SPErr AcquireSlot(SuiteSlot& slot)
{
    if (slot.suite != nullptr)
    {
        return kSPNoError;
    }
    if (sBasicSuite == nullptr || sBasicSuite->AcquireSuite == nullptr)
    {
        return kSPBadParameterError;
    }
    const void* suite = nullptr;
    const SPErr error = sBasicSuite->AcquireSuite(slot.name, slot.version, &suite);
    if (error != kSPNoError)
    {
        return error;
    }
    if (suite == nullptr)
    {
        return kSPBadParameterError;
    }
    slot.suite = suite;
    return kSPNoError;
}

// The first slot of the range that the host serves, acquired on first use; the range's last
// error is raised when none is served.
const void* AcquireFirstOf(int first, int last)
{
    for (int index = first; index <= last; ++index)
    {
        if (sSlots[static_cast<std::size_t>(index)].suite != nullptr)
        {
            return sSlots[static_cast<std::size_t>(index)].suite;
        }
    }
    SPErr error = kSPBadParameterError;
    for (int index = first; index <= last; ++index)
    {
        SuiteSlot& slot = sSlots[static_cast<std::size_t>(index)];
        error = AcquireSlot(slot);
        if (error == kSPNoError)
        {
            return slot.suite;
        }
        if (sBasicSuite == nullptr)
        {
            break;
        }
    }
    TraceLog(0, "AcquireSuite(\"%s\", %d) failed with error %d", sSlots[static_cast<std::size_t>(first)].name,
             static_cast<int>(sSlots[static_cast<std::size_t>(first)].version), static_cast<int>(error));
    throw static_cast<std::uint32_t>(error);
}
} // namespace

namespace PhotoshopSuites
{
void SetBasicSuite(SPBasicSuite* basicSuite, SPPluginRef pluginRef)
{
    sBasicSuite = basicSuite;
    sPluginRef = pluginRef;
}

SPBasicSuite* GetBasicSuite()
{
    return sBasicSuite;
}

SPPluginRef GetPluginRef()
{
    return sPluginRef;
}

const PSActionDescriptorProcs* ActionDescriptor()
{
    return static_cast<const PSActionDescriptorProcs*>(AcquireFirstOf(kDescriptor2, kDescriptor4));
}

const PSActionControlProcs* ActionControl()
{
    return static_cast<const PSActionControlProcs*>(AcquireFirstOf(kControl2, kControl4));
}

const PSActionReferenceProcs* ActionReference()
{
    return static_cast<const PSActionReferenceProcs*>(AcquireFirstOf(kReference2, kReference4));
}

const PSActionListProcs* ActionList()
{
    return static_cast<const PSActionListProcs*>(AcquireFirstOf(kList1, kList1));
}

HandleSuite Handles()
{
    HandleSuite suite;
    // The version 2 layout first; a host that only serves version 1 gets the older layout.
    if (sSlots[kHandle2].suite == nullptr && sSlots[kHandle1].suite == nullptr)
    {
        if (AcquireSlot(sSlots[kHandle2]) != kSPNoError)
        {
            AcquireFirstOf(kHandle1, kHandle1);
        }
    }
    suite.mpVersion2 = static_cast<const PSHandleSuite2*>(sSlots[kHandle2].suite);
    suite.mpVersion1 = static_cast<const PSHandleSuite1*>(sSlots[kHandle1].suite);
    return suite;
}

std::int32_t HandleSuite::GetSize(Handle handle) const
{
    if (mpVersion2 != nullptr)
    {
        return mpVersion2->GetSize(handle);
    }
    return mpVersion1 != nullptr ? mpVersion1->GetSize(handle) : 0;
}

Ptr HandleSuite::Lock(Handle handle, PSBoolean& oldLock) const
{
    Ptr address = nullptr;
    oldLock = 0;
    if (mpVersion2 != nullptr)
    {
        mpVersion2->SetLock(handle, 1, &address, &oldLock);
    }
    else if (mpVersion1 != nullptr)
    {
        mpVersion1->SetLock(handle, 1, &address, &oldLock);
    }
    return address;
}

void HandleSuite::Unlock(Handle handle, PSBoolean oldLock) const
{
    Ptr address = nullptr;
    PSBoolean previous = 0;
    if (mpVersion2 != nullptr)
    {
        mpVersion2->SetLock(handle, oldLock, &address, &previous);
    }
    else if (mpVersion1 != nullptr)
    {
        mpVersion1->SetLock(handle, oldLock, &address, &previous);
    }
}

Handle HandleSuite::New(std::int32_t size) const
{
    if (mpVersion2 != nullptr)
    {
        return mpVersion2->New(size);
    }
    return mpVersion1 != nullptr ? mpVersion1->New(size) : nullptr;
}

void HandleSuite::Dispose(Handle handle) const
{
    if (mpVersion2 != nullptr)
    {
        mpVersion2->Dispose(handle);
    }
    else if (mpVersion1 != nullptr)
    {
        mpVersion1->Dispose(handle);
    }
}

void ReleaseAllSuites()
{
    for (SuiteSlot& slot : sSlots)
    {
        if (slot.suite != nullptr)
        {
            if (sBasicSuite != nullptr && sBasicSuite->ReleaseSuite != nullptr)
            {
                sBasicSuite->ReleaseSuite(slot.name, slot.version);
            }
            slot.suite = nullptr;
        }
    }
}

int GetAcquiredSuiteCount()
{
    int count = 0;
    for (const SuiteSlot& slot : sSlots)
    {
        count += slot.suite != nullptr ? 1 : 0;
    }
    return count;
}
} // namespace PhotoshopSuites
