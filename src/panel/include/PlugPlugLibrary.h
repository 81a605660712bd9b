#pragma once
// The extension event library, bound at run time: one process-wide instance. Load finds the
// library beside the host executable ("PlugPlugOwl.dll" when present, else "PlugPlug.dll"),
// loads it by full path and resolves its five functions in order; the first that is missing stops
// the binding (the module stays loaded, the entries found so far stay set). The listener and
// dispatch calls answer 1 (operation failed) while their entry is not bound.

#include "GErrorCodes.h"
#include "GTypes.h"
#include "PlugPlugInterface.h"

class PlugPlugLibrary
{
public:
    // The result of Load and Unload when the library cannot be bound or freed.
    static constexpr TErrorCode kLoadFailed = 31;

    struct Entries
    {
        PlugPlugLoadExtensionProc loadExtension = nullptr;
        PlugPlugUnloadExtensionProc unloadExtension = nullptr;
        PlugPlugAddEventListenerProc addEventListener = nullptr;
        PlugPlugRemoveEventListenerProc removeEventListener = nullptr;
        PlugPlugDispatchEventProc dispatchEvent = nullptr;
    };

    static PlugPlugLibrary& GetSharedInstance();

    // 0, or kLoadFailed when the library is missing or lacks a function.
    TErrorCode Load();
    // Frees the library when one is loaded; kLoadFailed when freeing fails, else 0.
    TErrorCode Unload();
    bool IsLoaded() const { return mModule != nullptr; }
    // Every function is bound.
    bool IsComplete() const
    {
        return mEntries.loadExtension != nullptr && mEntries.unloadExtension != nullptr &&
               mEntries.addEventListener != nullptr && mEntries.removeEventListener != nullptr &&
               mEntries.dispatchEvent != nullptr;
    }
    // The path of the library that Load chose (UTF-8), empty before.
    const TUTF8String& GetLibraryPath() const { return mLibraryPath; }

    TSInt32 AddEventListener(const char* type, csxs::event::EventListenerFn listener, void* context) const;
    TSInt32 DispatchEvent(const csxs::event::Event& event) const;

    // Binds entries without a module (the native build has no event library; tests bind their
    // own). From then on Load only checks the entries and Unload clears them: the library beside
    // the program is never loaded.
    void BindForTesting(const Entries& entries);
    const Entries& GetEntries() const { return mEntries; }

private:
    // The platform's part: loading the library beside the host executable, and freeing it.
    TErrorCode LoadModule();
    TErrorCode UnloadModule();

    void* mModule = nullptr;
    bool mBoundForTesting = false;
    Entries mEntries;
    TUTF8String mLibraryPath;
    [[maybe_unused]] bool mReportedLoadFailure = false; // said once, not at every pass
};
