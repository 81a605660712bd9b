#include "GMutex.h"

#include <cerrno>
#include <ctime>

GMutex::GMutex()
{
    pthread_mutex_init(&mInternalMutex, nullptr);
    pthread_cond_init(&mFreeCondition, nullptr);
}

GMutex::~GMutex()
{
    pthread_cond_destroy(&mFreeCondition);
    pthread_mutex_destroy(&mInternalMutex);
}

TErrorCode GMutex::MapPthreadError(int error)
{
    switch (error)
    {
    case 0:
        return CoreErrorCodes::kSuccess;
    case EINVAL:
        return kMutexInvalidErr;
    case EDEADLK:
        return kMutexDeadlockErr;
    case ETIMEDOUT:
        return kLockBusyErr;
    default:
        return CoreErrorCodes::kError;
    }
}

TErrorCode GMutex::Lock()
{
    return Lock(kInfinite);
}

TErrorCode GMutex::TryLock()
{
    return Lock(0u);
}

TErrorCode GMutex::Lock(TUInt32 timeoutMs)
{
    const int lockError = pthread_mutex_lock(&mInternalMutex);
    if (lockError != 0)
    {
        return MapPthreadError(lockError);
    }
    const pthread_t self = pthread_self();
    TErrorCode result = CoreErrorCodes::kSuccess;

    if (mLockCount != 0 && pthread_equal(mOwner, self))
    {
        if (mReentryAllowed)
        {
            ++mLockCount;
        }
        else
        {
            result = kMutexDeadlockErr;
        }
    }
    else if (mLockCount != 0 && timeoutMs == 0)
    {
        result = kLockBusyErr;
    }
    else
    {
        int waitError = 0;
        if (timeoutMs == kInfinite)
        {
            while (mLockCount > 0 && waitError == 0)
            {
                waitError = pthread_cond_wait(&mFreeCondition, &mInternalMutex);
            }
        }
        else if (mLockCount > 0)
        {
            timespec deadline{};
            clock_gettime(CLOCK_REALTIME, &deadline);
            deadline.tv_sec += static_cast<time_t>(timeoutMs / 1000);
            deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
            if (deadline.tv_nsec >= 1000000000L)
            {
                deadline.tv_sec += 1;
                deadline.tv_nsec -= 1000000000L;
            }
            while (mLockCount > 0 && waitError == 0)
            {
                waitError = pthread_cond_timedwait(&mFreeCondition, &mInternalMutex, &deadline);
            }
        }
        if (mLockCount > 0)
        {
            result = MapPthreadError(waitError != 0 ? waitError : ETIMEDOUT);
        }
        else
        {
            mLockCount = 1;
            mOwner = self;
        }
    }
    pthread_mutex_unlock(&mInternalMutex);
    return result;
}

TErrorCode GMutex::Unlock()
{
    const int lockError = pthread_mutex_lock(&mInternalMutex);
    if (lockError != 0)
    {
        return MapPthreadError(lockError);
    }
    TErrorCode result = kMutexDeadlockErr;
    if (mLockCount != 0 && pthread_equal(mOwner, pthread_self()))
    {
        result = CoreErrorCodes::kSuccess;
        if (--mLockCount == 0)
        {
            result = MapPthreadError(pthread_cond_signal(&mFreeCondition));
        }
    }
    pthread_mutex_unlock(&mInternalMutex);
    return result;
}
