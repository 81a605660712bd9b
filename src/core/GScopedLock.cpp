#include "GScopedLock.h"

#include "GBlockingLockStrategy.h"
#include "GErrorReport.h"

namespace
{
constexpr const char* kLogCategory = "Lockable";
}

GScopedLock::GScopedLock(GLockable& lockable, bool lockNow, GLockStrategy* strategy)
    : mLockable(lockable), mLockStrategy(strategy != nullptr ? strategy : new GBlockingLockStrategy)
{
    if (lockNow)
    {
        Lock();
    }
}

GScopedLock::~GScopedLock()
{
    Unlock();
}

bool GScopedLock::Lock()
{
    if (!mLocked)
    {
        const TErrorCode result = G_REPORT_ERROR_AT(GLogger::kDebug, mLockStrategy->Lock(mLockable));
        mLocked = (result == CoreErrorCodes::kSuccess);
    }
    return mLocked;
}

void GScopedLock::Unlock()
{
    if (mLocked)
    {
        const TErrorCode result = G_REPORT_ERROR_AT(GLogger::kError, mLockStrategy->Unlock(mLockable));
        mLocked = (result != CoreErrorCodes::kSuccess);
    }
}
