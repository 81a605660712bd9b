#pragma once
// How a scoped lock takes and releases its lockable.

#include "GLockable.h"

class GLockStrategy
{
public:
    virtual ~GLockStrategy() = default;
    virtual TErrorCode Lock(GLockable& lockable) = 0;
    virtual TErrorCode Unlock(GLockable& lockable) = 0;
};
