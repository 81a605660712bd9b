#pragma once
// LPILoader finds the font manager's plug-in interface library (LumorandPluginInterfaceX64.dll)
// beside the running, or freshly launched, core process Typehold.exe (and nowhere else), loads it
// once for the life of the process and resolves its 84 entry points into a table of function pointers. Every
// call into the library goes through this table.
//
// Callers test the shared instance (and the entry they call) for null before each use; a null
// loader or entry means that there is nothing to do, and the call counts as succeeded with code
// 0. LPICall and LPICallWithFacade below do exactly that.

#include "GTypes.h"
#include "LumorandPluginInterface.h"

#include <CoreFoundation/CoreFoundation.h>

#include <functional>
#include <type_traits>
#include <utility>

class LPILoader
{
public:
    // The missing count of a loader that was given no library handle.
    static constexpr TSInt32 kNoLibraryMissingCount = 86;

    // The first call creates the instance, locates the library (finding or launching the core
    // process), loads it and resolves the table; later calls return the same instance at once.
    // Windows only.
    static LPILoader* GetSharedInstance();
    // True once the shared instance exists (without creating it).
    static bool HasSharedInstance() { return sSharedInstance != nullptr; }

    // An empty loader: no module path or version, missing count 86, every entry null. Runs the
    // table's consistency check.
    LPILoader();
    virtual ~LPILoader();
    LPILoader(const LPILoader&) = delete;
    LPILoader& operator=(const LPILoader&) = delete;

    // The entry table, in the library's table order: pfActivateFonts, pfActivateDocumentFontsByPath, ...
#define LPI_DECLARE_ENTRY_MEMBER(Name, Type) Type pf##Name = nullptr;
    LPI_ENTRY_POINTS(LPI_DECLARE_ENTRY_MEMBER)
#undef LPI_DECLARE_ENTRY_MEMBER

    // Copies the module path, the version and the missing count into the outputs; true only when
    // no entry point is missing. Every output must be given.
    bool IsLoaded(TUTF8String* outModulePath, TUTF8String* outVersion, TSInt32* outMissingCount) const;
    // A new CF string (the caller releases it) holding the library's version.
    CFStringRef VersionStringRef() const;

    const TUTF8String& GetModulePath() const
    {
        return mModulePath;
    }
    const TUTF8String& GetVersion() const
    {
        return mVersion;
    }
    TSInt32 GetMissingCount() const
    {
        return mMissingCount;
    }
    // The library's module handle (HMODULE); null when no library was loaded.
    void* GetLibraryHandle() const
    {
        return mModule;
    }

    // Resolves every entry point with lookup (name -> address, null when the library lacks it),
    // logging each lookup against the handle. Resets the missing count to 0 and counts the entries
    // not found. Without a handle nothing changes.
    void ResolveTable(void* moduleHandle, const std::function<void*(const char*)>& lookup);

    enum class ECheckMode
    {
        kReportSetEntries,   // after construction: no entry may be set yet
        kReportUnsetEntries, // after resolution: every entry should be set
    };
    // Walks the entries from pfActivateFonts to pfTrackFontPanelClick and logs each that violates
    // the mode; returns how many did.
    int CheckConsistency(ECheckMode mode) const;

    // Windows only: loads the library from a full path (LoadLibraryExW with the library's own
    // folder and the system's default folders for its dependencies), with the plug-in module's
    // activation context active; reads its version and resolves the table. An empty or relative
    // path loads nothing: the library is never looked for by name in the host's working folder or
    // PATH. False when nothing was loaded.
    bool LoadLibraryAt(const TUTF8String& modulePath);

private:
    TUTF8String mModulePath;
    TUTF8String mVersion;
    TSInt32 mMissingCount = kNoLibraryMissingCount;
    void* mModule = nullptr;

    static LPILoader* sSharedInstance;
};

// Starts the interface library's log file (BeginLogging) and writes a dated separator into it.
// Does nothing when the library is not loaded or cannot be asked. Windows only.
void BeginPluginLog(const char* logFileName);

// Calls an entry point that takes no plugin facade. A null loader or entry answers a
// value-initialised result (code 0) without calling.
template <typename Proc, typename... Args>
auto LPICall(Proc LPILoader::*entry, Args... args) -> decltype(std::declval<Proc>()(args...))
{
    LPILoader* loader = LPILoader::GetSharedInstance();
    if (loader == nullptr || loader->*entry == nullptr)
    {
        return decltype(std::declval<Proc>()(args...))();
    }
    return (loader->*entry)(args...);
}

// Calls an entry point that takes the plugin facade first, through the given loader; the facade is
// fetched afresh for the call. A null loader or entry answers a value-initialised result (code 0)
// without calling.
template <typename Proc, typename... Args>
auto LPICallWithFacadeOn(LPILoader* loader, Proc LPILoader::*entry, Args... args)
    -> decltype(std::declval<Proc>()(LPIFacade(), args...))
{
    if (loader == nullptr || loader->*entry == nullptr)
    {
        return decltype(std::declval<Proc>()(LPIFacade(), args...))();
    }
    LPIFacade facade =
        loader->pfGetPluginFacadeInstance != nullptr ? loader->pfGetPluginFacadeInstance() : nullptr;
    return (loader->*entry)(facade, args...);
}

// The same through the shared loader.
template <typename Proc, typename... Args>
auto LPICallWithFacade(Proc LPILoader::*entry, Args... args)
    -> decltype(std::declval<Proc>()(LPIFacade(), args...))
{
    return LPICallWithFacadeOn(LPILoader::GetSharedInstance(), entry, args...);
}
