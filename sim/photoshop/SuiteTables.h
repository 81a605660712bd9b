#pragma once
// The tables the host serves. Each is the suite's full table as Photoshop lays it out, followed by
// further slots up to kSuiteTableSlots (later versions of a suite append members). A slot this host
// does not serve, inside the declared table or beyond it, holds a stub that reports
// "unexpected call: <suite> slot N" (the host fails the run) and answers kHostUnimplemented: a
// plug-in that calls through a wrong slot is caught instead of being answered by whatever
// function happens to sit there.

#include "HostInterface.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

constexpr std::size_t kSuiteTableSlots = 96;

enum class SuiteId : int
{
    kBasic,
    kActionControl,
    kBasicActionControl,
    kActionDescriptor,
    kActionReference,
    kActionList,
    kHandle1,
    kHandle2,
    kScripting,
    kCount
};

// "action control", "handle v2", ...
const char* SuiteDisplayName(SuiteId suite);

// Receives (suite, slot) for every call of a stub; installed by the host.
using UnexpectedCallReporter = void (*)(SuiteId suite, std::size_t slot);
void SetUnexpectedCallReporter(UnexpectedCallReporter reporter);
void ReportUnexpectedCall(SuiteId suite, std::size_t slot);

// A stub is called through whatever type the caller has for the slot: on x64 the caller owns its
// arguments, and the value comes back in the integer register every result type reads from.
using AnySlot = void (*)(void);

template <SuiteId kSuite, std::size_t kSlot>
std::intptr_t UnexpectedSlot()
{
    ReportUnexpectedCall(kSuite, kSlot);
    return kHostUnimplemented;
}

template <typename Table, SuiteId kSuite>
class ServedTable
{
public:
    static_assert(sizeof(Table) % sizeof(void*) == 0);
    static constexpr std::size_t kDeclaredSlots = sizeof(Table) / sizeof(void*);
    static_assert(kDeclaredSlots < kSuiteTableSlots);

    // The served members of `table`; every member left null becomes a stub.
    explicit ServedTable(const Table& table)
        : ServedTable(table, std::make_index_sequence<kSuiteTableSlots>())
    {
    }

    const Table* Get() const { return &mTable; }

private:
    template <std::size_t... kIndex>
    ServedTable(const Table& table, std::index_sequence<kIndex...>) : mTable(table)
    {
        const AnySlot stubs[] = {reinterpret_cast<AnySlot>(&UnexpectedSlot<kSuite, kIndex>)...};
        auto* bytes = reinterpret_cast<unsigned char*>(&mTable);
        for (std::size_t slot = 0; slot < kDeclaredSlots; ++slot)
        {
            AnySlot served = nullptr;
            std::memcpy(&served, bytes + slot * sizeof(AnySlot), sizeof(AnySlot));
            if (served == nullptr)
            {
                std::memcpy(bytes + slot * sizeof(AnySlot), &stubs[slot], sizeof(AnySlot));
            }
        }
        for (std::size_t slot = kDeclaredSlots; slot < kSuiteTableSlots; ++slot)
        {
            mAppended[slot - kDeclaredSlots] = stubs[slot];
        }
    }

    Table mTable;
    AnySlot mAppended[kSuiteTableSlots - kDeclaredSlots];
};
