#pragma once
// The host side of the action descriptor, reference and list suites and of the handle suite
// ("Photoshop Handle Suite for Plug-ins" versions 1 and 2), over the values of ActionModel.
//
// Every descriptor, reference, list and handle handed to a plug-in is remembered until it is freed.
// A call with a pointer the host never gave out (or already took back) answers kActionParamError
// and is reported, instead of touching memory. Values go in and out as copies: Put copies the
// child, Get hands out a new object that the caller frees.

#include "ActionModel.h"
#include "SuiteTables.h"

#include <cstddef>
#include <functional>
#include <string>

// Receives one line for each misuse of the suites. A null object is reported with isFault false
// (the call only fails); an object the host does not know (never handed out, or already freed)
// with isFault true.
using ActionMisuseReporter = std::function<void(const std::string& line, bool isFault)>;
void SetActionMisuseReporter(ActionMisuseReporter reporter);

class ActionObjects
{
public:
    // New objects, registered as live.
    static PIActionDescriptor NewDescriptor(const ActionDescriptorData& data = {});
    static PIActionReference NewReference(const ActionReferenceData& data = {});
    static PIActionList NewList(const ActionListData& data = {});
    static Handle NewHandle(const void* bytes, std::size_t size);

    // Copies of live objects; false for an unknown object.
    static bool CopyDescriptor(PIActionDescriptor descriptor, ActionDescriptorData& data);
    static bool CopyReference(PIActionReference reference, ActionReferenceData& data);
    static bool CopyList(PIActionList list, ActionListData& data);
    static bool CopyHandle(Handle handle, std::vector<std::uint8_t>& bytes);

    // Free live objects; false (and nothing done) for an unknown one.
    static bool FreeDescriptor(PIActionDescriptor descriptor);
    static bool FreeReference(PIActionReference reference);
    static bool FreeList(PIActionList list);
    static bool DisposeHandle(Handle handle);

    struct LiveCounts
    {
        std::size_t mDescriptors = 0;
        std::size_t mReferences = 0;
        std::size_t mLists = 0;
        std::size_t mHandles = 0;
    };
    static LiveCounts CountLive();
};

// The tables served for every version of each suite: the served slots, every other one a stub
// that reports an unexpected call (SuiteTables.h).
const ActionDescriptorTable* ActionDescriptorSuite();
const ActionReferenceTable* ActionReferenceSuite();
const ActionListTable* ActionListSuite();
const HandleTable1* HandleSuite1();
const HandleTable2* HandleSuite2();
