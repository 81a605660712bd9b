#include "PlugPlugLibrary.h"

PlugPlugLibrary& PlugPlugLibrary::GetSharedInstance()
{
    static PlugPlugLibrary sInstance;
    return sInstance;
}

TSInt32 PlugPlugLibrary::AddEventListener(const char* type, csxs::event::EventListenerFn listener,
                                          void* context) const
{
    if (mEntries.addEventListener == nullptr)
    {
        return csxs::event::kEventErrorCode_OperationFailed;
    }
    return mEntries.addEventListener(type, listener, context);
}

TSInt32 PlugPlugLibrary::DispatchEvent(const csxs::event::Event& event) const
{
    if (mEntries.dispatchEvent == nullptr)
    {
        return csxs::event::kEventErrorCode_OperationFailed;
    }
    return mEntries.dispatchEvent(&event);
}

void PlugPlugLibrary::BindForTesting(const Entries& entries)
{
    mEntries = entries;
    mBoundForTesting = true;
}

TErrorCode PlugPlugLibrary::Load()
{
    if (mBoundForTesting)
    {
        return IsComplete() ? CoreErrorCodes::kSuccess : kLoadFailed;
    }
    return LoadModule();
}

TErrorCode PlugPlugLibrary::Unload()
{
    if (mBoundForTesting)
    {
        mEntries = Entries();
        return CoreErrorCodes::kSuccess;
    }
    return UnloadModule();
}

#ifndef _WIN32
// No event library exists outside Windows: nothing can be loaded.
TErrorCode PlugPlugLibrary::LoadModule()
{
    return kLoadFailed;
}

TErrorCode PlugPlugLibrary::UnloadModule()
{
    mEntries = Entries();
    return CoreErrorCodes::kSuccess;
}
#endif
