#pragma once
// Suite tables longer than their declarations. Photoshop's later suite versions append members
// to the earlier layout; a plug-in built for a later version may call one of them. The host serves
// the declared members followed by stubs up to kSuiteTableSlots entries, so every declared offset
// holds for every version and a call beyond the declared part answers kActionUnimplemented (and
// is reported) instead of jumping through garbage.

#include "PhotoshopPluginAPI.h"

#include <cstddef>
#include <utility>

constexpr std::size_t kSuiteTableSlots = 96;

// Identifies the suite in the report of a stub call.
enum class SuiteId : int
{
    kActionControl,
    kActionDescriptor,
    kActionReference,
    kActionList,
    kHandle1,
    kHandle2,
    kCount
};

const char* SuiteDisplayName(SuiteId suite);

// Receives (suite, slot index) for every call of a stub; installed by the host.
using UnimplementedReporter = void (*)(SuiteId suite, std::size_t slot);
void SetUnimplementedReporter(UnimplementedReporter reporter);
void ReportUnimplemented(SuiteId suite, std::size_t slot);

using SuiteStub = OSErr (*)();

template <SuiteId kSuite, std::size_t kSlot>
OSErr UnimplementedMember()
{
    ReportUnimplemented(kSuite, kSlot);
    return static_cast<OSErr>(kSPUnimplementedError & 0xFFFF);
}

// The declared table followed by the stubs (all members are pointers, so the array continues the
// declared layout without padding).
template <typename Declared, SuiteId kSuite>
struct ExtendedSuite
{
    static_assert(sizeof(Declared) % sizeof(void*) == 0);
    static constexpr std::size_t kDeclaredSlots = sizeof(Declared) / sizeof(void*);
    static_assert(kDeclaredSlots < kSuiteTableSlots);

    Declared mDeclared;
    SuiteStub mStubs[kSuiteTableSlots - kDeclaredSlots];

    explicit ExtendedSuite(const Declared& declared)
        : ExtendedSuite(declared, std::make_index_sequence<kSuiteTableSlots - kDeclaredSlots>())
    {
    }

private:
    template <std::size_t... kIndex>
    ExtendedSuite(const Declared& declared, std::index_sequence<kIndex...>)
        : mDeclared(declared), mStubs{&UnimplementedMember<kSuite, kDeclaredSlots + kIndex>...}
    {
    }
};
