#pragma once

#include "GLockStrategy.h"

// Takes the lock with the lockable's blocking Lock (no time limit).
class GBlockingLockStrategy : public GLockStrategy
{
public:
    TErrorCode Lock(GLockable& lockable) override { return lockable.Lock(); }
    TErrorCode Unlock(GLockable& lockable) override { return lockable.Unlock(); }
};
