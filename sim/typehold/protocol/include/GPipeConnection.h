#pragma once
// One end of a connection on the core's named pipe (byte mode, overlapped I/O), exchanging
// frames of TypeholdWire.h. Every wait can be cut short by a time limit and by a cancel event, so
// neither side ever hangs on a peer that is gone or stuck. Windows only.

#ifdef _WIN32
#include <CoreFoundation/CoreFoundation.h>

#include <windows.h>

#include <memory>
#include <string>

class GPipeConnection
{
public:
    // The outcome of a frame transfer.
    enum class EStatus
    {
        kOK,
        kBroken,    // the other end closed or the pipe failed
        kTimedOut,  // the time limit passed
        kCancelled, // the cancel event was signalled
        kMalformed, // the peer sent bytes that are not a frame
    };

    // Takes ownership of a pipe handle opened for overlapped I/O.
    explicit GPipeConnection(HANDLE pipe);
    ~GPipeConnection();
    GPipeConnection(const GPipeConnection&) = delete;
    GPipeConnection& operator=(const GPipeConnection&) = delete;

    // Opens the client end of the pipe. A busy pipe is waited for up to waitMs; a pipe that does
    // not exist fails at once. Null with the system's error code on failure.
    static std::unique_ptr<GPipeConnection> Connect(const wchar_t* pipeName, DWORD waitMs, DWORD& error);

    // Sends bytes that already form whole frames.
    EStatus WriteBytes(const std::string& bytes, DWORD timeoutMs, HANDLE cancelEvent = nullptr);
    // Encodes and sends one value.
    EStatus WriteValue(CFTypeRef value, DWORD timeoutMs, HANDLE cancelEvent = nullptr);
    // Receives the next frame's payload.
    EStatus ReadFrame(std::string& payload, DWORD timeoutMs, HANDLE cancelEvent = nullptr);
    // Receives and decodes the next frame (the caller owns the value); kMalformed when the frame
    // does not decode.
    EStatus ReadValue(CFTypeRef& value, DWORD timeoutMs, HANDLE cancelEvent = nullptr);

    HANDLE Handle() const { return mPipe; }
    const std::string& LastError() const { return mLastError; }

private:
    // Waits for an overlapped operation; cancels it on time-out or cancellation.
    EStatus Finish(OVERLAPPED& overlapped, BOOL started, DWORD& transferred, DWORD timeoutMs,
                   HANDLE cancelEvent);
    EStatus Fill(std::size_t wanted, DWORD timeoutMs, HANDLE cancelEvent);

    HANDLE mPipe;
    HANDLE mEvent;
    std::string mBuffer; // bytes received and not yet handed out
    std::size_t mBufferStart = 0;
    std::string mLastError;
};
#endif
