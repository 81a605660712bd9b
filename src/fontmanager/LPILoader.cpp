#include "LPILoader.h"

#include "GLogger.h"
#include "GStringEncodings.h"

#include <cstdint>
#include <cstring>

LPILoader* LPILoader::sSharedInstance = nullptr;

namespace
{
// Addresses and handles in the log lines are written as 32-bit hexadecimal numbers.
unsigned LoggedAddress(const void* address)
{
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(address));
}

// Function pointers and the library's addresses meet as untyped addresses in the table walks.
template <typename Proc>
void* EntryAddress(Proc entry)
{
    return reinterpret_cast<void*>(entry);
}
} // namespace

LPILoader::LPILoader()
{
    CheckConsistency(ECheckMode::kReportSetEntries);
}

LPILoader::~LPILoader()
{
    if (sSharedInstance == this)
    {
        sSharedInstance = nullptr;
    }
}

bool LPILoader::IsLoaded(TUTF8String* outModulePath, TUTF8String* outVersion, TSInt32* outMissingCount) const
{
    if (outModulePath == nullptr || outVersion == nullptr || outMissingCount == nullptr)
    {
        TraceLog(0, "LPILoader::IsLoaded() returning false because it was called incorrectly.");
        return false;
    }
    if (outModulePath != &mModulePath)
    {
        *outModulePath = mModulePath;
    }
    if (outVersion != &mVersion)
    {
        *outVersion = mVersion;
    }
    *outMissingCount = mMissingCount;
    if (mMissingCount == 0)
    {
        return true;
    }
    if (mMissingCount == kNoLibraryMissingCount)
    {
        TraceLog(0, "LPILoader::IsLoaded() returning false because all %d functions are missing.",
                 mMissingCount);
    }
    else
    {
        TraceLog(0, "LPILoader::IsLoaded() returning false because of one or more null inputs.");
    }
    return false;
}

CFStringRef LPILoader::VersionStringRef() const
{
    TraceLog(0, "LPILoader::VersionStringRef() returning '%s'", mVersion.c_str());
    CFStringRef version = CreateCFStringFromUTF8String(mVersion);
    return version != nullptr ? version : CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
}

void LPILoader::ResolveTable(void* moduleHandle, const std::function<void*(const char*)>& lookup)
{
    if (moduleHandle == nullptr || !lookup)
    {
        return;
    }
    mModule = moduleHandle;
    mMissingCount = 0;
#define LPI_RESOLVE_ENTRY(Name, Type)                                                                        \
    {                                                                                                        \
        void* address = lookup(#Name);                                                                       \
        TraceLog(0, "GetProcAddress(0x%08x, '%s') returned 0x%08x", LoggedAddress(moduleHandle), #Name,      \
                 LoggedAddress(address));                                                                    \
        pf##Name = reinterpret_cast<Type>(address);                                                          \
        if (address == nullptr)                                                                              \
        {                                                                                                    \
            ++mMissingCount;                                                                                 \
        }                                                                                                    \
    }
    LPI_ENTRY_POINTS(LPI_RESOLVE_ENTRY)
#undef LPI_RESOLVE_ENTRY
}

int LPILoader::CheckConsistency(ECheckMode mode) const
{
    struct Entry
    {
        const char* name;
        void* address;
    };
#define LPI_LIST_ENTRY(Name, Type) {#Name, EntryAddress(pf##Name)},
    const Entry entries[] = {LPI_ENTRY_POINTS(LPI_LIST_ENTRY)};
#undef LPI_LIST_ENTRY
    static_assert(sizeof(entries) / sizeof(entries[0]) == kLPIEntryPointCount);

    // The check covers the entries up to pfTrackFontPanelClick.
    int reported = 0;
    for (const Entry& entry : entries)
    {
        if (mode == ECheckMode::kReportSetEntries && entry.address != nullptr)
        {
            TraceLog(0, "ERROR:  this->pf%s is not NULL.", entry.name);
            ++reported;
        }
        else if (mode == ECheckMode::kReportUnsetEntries && entry.address == nullptr)
        {
            TraceLog(0, "ERROR:  this->pf%s is NULL.", entry.name);
            ++reported;
        }
        if (std::strcmp(entry.name, "TrackFontPanelClick") == 0)
        {
            break;
        }
    }
    return reported;
}
