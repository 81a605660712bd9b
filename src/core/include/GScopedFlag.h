#pragma once
// Sets a flag for the life of the object: the guard of a step that must not run inside itself.
//
//   if (sRunning) return;
//   const GScopedFlag running(sRunning);

class GScopedFlag
{
public:
    explicit GScopedFlag(bool& flag) : mFlag(flag) { mFlag = true; }
    ~GScopedFlag() { mFlag = false; }
    GScopedFlag(const GScopedFlag&) = delete;
    GScopedFlag& operator=(const GScopedFlag&) = delete;

private:
    bool& mFlag;
};
