#pragma once
// Takes a lock for the life of a scope. A lock that cannot be taken does not throw: it is
// reported at Debug level (category "Lockable") and IsLocked() stays false, so an owner that
// must not go on without the lock checks it.

#include "GLockStrategy.h"

#include <memory>

class GScopedLock : private GNoncopyable
{
public:
    static constexpr TErrorCode kFailedToAcquireLock = MakeErrorCode(1, ErrorModule::kGScopedLock);

    // The strategy is owned (a null strategy becomes a GBlockingLockStrategy); the lockable is
    // not.
    GScopedLock(GLockable& lockable, bool lockNow, GLockStrategy* strategy);
    ~GScopedLock();

    bool Lock();
    void Unlock();
    bool IsLocked() const { return mLocked; }

private:
    GLockable& mLockable;
    bool mLocked = false;
    std::unique_ptr<GLockStrategy> mLockStrategy;
};
