#pragma once
// Something that can be locked: a blocking lock, a try-lock, a lock with a time limit and an
// unlock, each answering with an error code.

#include "GErrorCodes.h"
#include "GNoncopyable.h"

class GLockable : private GNoncopyable
{
public:
    static constexpr TErrorCode kLockBusyErr = MakeErrorCode(1, ErrorModule::kGLockable);

    // A time limit that never runs out.
    static constexpr TUInt32 kInfinite = 0xFFFFFFFFu;

    virtual ~GLockable() = default;

    // Blocks until the lock is taken (or the attempt fails, for example by self-deadlock).
    virtual TErrorCode Lock() = 0;

    // Takes the lock if it is free now; kLockBusyErr when another holder has it.
    virtual TErrorCode TryLock() = 0;

    // Takes the lock within timeoutMs milliseconds: 0 is TryLock; otherwise TryLock is repeated,
    // sleeping min(remaining, 50 ms) after each kLockBusyErr, until another result comes or the
    // time is used up. Returns the last result.
    virtual TErrorCode Lock(TUInt32 timeoutMs);

    virtual TErrorCode Unlock() = 0;
};
