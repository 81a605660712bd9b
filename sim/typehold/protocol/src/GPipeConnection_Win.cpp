#include "GPipeConnection.h"

#include "TypeholdWire.h"

#include <algorithm>

namespace
{
constexpr DWORD kReadChunk = 64 * 1024;
// Attempts to open a busy pipe before giving up.
constexpr int kBusyAttempts = 5;
} // namespace

GPipeConnection::GPipeConnection(HANDLE pipe)
    : mPipe(pipe), mEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

GPipeConnection::~GPipeConnection()
{
    if (mPipe != INVALID_HANDLE_VALUE && mPipe != nullptr)
    {
        CloseHandle(mPipe);
    }
    if (mEvent != nullptr)
    {
        CloseHandle(mEvent);
    }
}

std::unique_ptr<GPipeConnection> GPipeConnection::Connect(const wchar_t* pipeName, DWORD waitMs, DWORD& error)
{
    error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kBusyAttempts; ++attempt)
    {
        HANDLE pipe = CreateFileW(pipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr);
        if (pipe != INVALID_HANDLE_VALUE)
        {
            auto connection = std::make_unique<GPipeConnection>(pipe);
            if (connection->mEvent == nullptr)
            {
                error = GetLastError();
                return nullptr;
            }
            return connection;
        }
        error = GetLastError();
        if (error != ERROR_PIPE_BUSY || !WaitNamedPipeW(pipeName, waitMs))
        {
            return nullptr;
        }
    }
    return nullptr;
}

GPipeConnection::EStatus GPipeConnection::Finish(OVERLAPPED& overlapped, BOOL started, DWORD& transferred,
                                                 DWORD timeoutMs, HANDLE cancelEvent)
{
    if (!started)
    {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
        {
            mLastError = "pipe error " + std::to_string(error);
            return EStatus::kBroken;
        }
        HANDLE handles[2] = {overlapped.hEvent, cancelEvent};
        const DWORD count = cancelEvent != nullptr ? 2 : 1;
        const DWORD waited = WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
        if (waited != WAIT_OBJECT_0)
        {
            CancelIoEx(mPipe, &overlapped);
            GetOverlappedResult(mPipe, &overlapped, &transferred, TRUE);
            if (waited == WAIT_OBJECT_0 + 1)
            {
                mLastError = "cancelled";
                return EStatus::kCancelled;
            }
            if (waited == WAIT_TIMEOUT)
            {
                mLastError = "timed out";
                return EStatus::kTimedOut;
            }
            mLastError = "wait failed";
            return EStatus::kBroken;
        }
    }
    if (!GetOverlappedResult(mPipe, &overlapped, &transferred, FALSE))
    {
        mLastError = "pipe error " + std::to_string(GetLastError());
        return EStatus::kBroken;
    }
    return EStatus::kOK;
}

GPipeConnection::EStatus GPipeConnection::WriteBytes(const std::string& bytes, DWORD timeoutMs,
                                                     HANDLE cancelEvent)
{
    if (mEvent == nullptr)
    {
        return EStatus::kBroken;
    }
    std::size_t written = 0;
    while (written < bytes.size())
    {
        OVERLAPPED overlapped{};
        overlapped.hEvent = mEvent;
        const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 30));
        const BOOL started = WriteFile(mPipe, bytes.data() + written, size, nullptr, &overlapped);
        DWORD transferred = 0;
        const EStatus status = Finish(overlapped, started, transferred, timeoutMs, cancelEvent);
        if (status != EStatus::kOK)
        {
            return status;
        }
        written += transferred;
    }
    return EStatus::kOK;
}

GPipeConnection::EStatus GPipeConnection::WriteValue(CFTypeRef value, DWORD timeoutMs, HANDLE cancelEvent)
{
    std::string frame;
    if (!typehold::EncodeWireFrame(value, frame))
    {
        mLastError = "value cannot be encoded";
        return EStatus::kMalformed;
    }
    return WriteBytes(frame, timeoutMs, cancelEvent);
}

GPipeConnection::EStatus GPipeConnection::Fill(std::size_t wanted, DWORD timeoutMs, HANDLE cancelEvent)
{
    if (mBuffer.size() - mBufferStart >= wanted)
    {
        return EStatus::kOK;
    }
    // Reading more: drop what was handed out already.
    mBuffer.erase(0, mBufferStart);
    mBufferStart = 0;
    while (mBuffer.size() < wanted)
    {
        const std::size_t had = mBuffer.size();
        const std::size_t chunk = std::max<std::size_t>(kReadChunk, wanted - had);
        mBuffer.resize(had + chunk);
        OVERLAPPED overlapped{};
        overlapped.hEvent = mEvent;
        const BOOL started =
            ReadFile(mPipe, mBuffer.data() + had, static_cast<DWORD>(chunk), nullptr, &overlapped);
        DWORD transferred = 0;
        const EStatus status = Finish(overlapped, started, transferred, timeoutMs, cancelEvent);
        mBuffer.resize(had + (status == EStatus::kOK ? transferred : 0));
        if (status != EStatus::kOK)
        {
            return status;
        }
    }
    return EStatus::kOK;
}

GPipeConnection::EStatus GPipeConnection::ReadFrame(std::string& payload, DWORD timeoutMs, HANDLE cancelEvent)
{
    if (mEvent == nullptr)
    {
        return EStatus::kBroken;
    }
    EStatus status = Fill(typehold::kFrameHeaderSize, timeoutMs, cancelEvent);
    if (status != EStatus::kOK)
    {
        return status;
    }
    const std::uint32_t size = typehold::ReadFrameHeader(mBuffer.data() + mBufferStart);
    if (size > typehold::kMaxFramePayload)
    {
        mLastError = "frame of " + std::to_string(size) + " bytes announced";
        return EStatus::kMalformed;
    }
    status = Fill(typehold::kFrameHeaderSize + size, timeoutMs, cancelEvent);
    if (status != EStatus::kOK)
    {
        return status;
    }
    payload.assign(mBuffer, mBufferStart + typehold::kFrameHeaderSize, size);
    mBufferStart += typehold::kFrameHeaderSize + size;
    return EStatus::kOK;
}

GPipeConnection::EStatus GPipeConnection::ReadValue(CFTypeRef& value, DWORD timeoutMs, HANDLE cancelEvent)
{
    value = nullptr;
    std::string payload;
    const EStatus status = ReadFrame(payload, timeoutMs, cancelEvent);
    if (status != EStatus::kOK)
    {
        return status;
    }
    std::string error;
    value = typehold::DecodeWireValue(payload.data(), payload.size(), error);
    if (value == nullptr)
    {
        mLastError = error;
        return EStatus::kMalformed;
    }
    return EStatus::kOK;
}
