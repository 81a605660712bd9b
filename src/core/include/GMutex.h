#pragma once
// A non-re-entrant mutex built from a POSIX-threads mutex and condition variable, so that it can
// wait with a time limit. Locking it twice from the same thread answers kMutexDeadlockErr
// instead of hanging; unlocking it from a thread that does not hold it is refused.

#include "GLockable.h"

#include <pthread.h>

class GMutex : public GLockable
{
public:
    static constexpr TErrorCode kMutexDeadlockErr = MakeErrorCode(1, ErrorModule::kGMutex);
    static constexpr TErrorCode kMutexInvalidErr = MakeErrorCode(2, ErrorModule::kGMutex);

    GMutex();
    ~GMutex() override; // the mutex must be free

    TErrorCode Lock() override;
    TErrorCode TryLock() override;
    TErrorCode Lock(TUInt32 timeoutMs) override;
    TErrorCode Unlock() override;

private:
    static TErrorCode MapPthreadError(int error);

    pthread_mutex_t mInternalMutex;
    pthread_cond_t mFreeCondition;
    TUInt32 mLockCount = 0;
    bool mReentryAllowed = false;
    pthread_t mOwner{};
};
