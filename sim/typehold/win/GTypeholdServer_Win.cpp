#include "GTypeholdServer_Win.h"

#include "GLogger.h"
#include "LumorandPluginInterface.h"
#include "TypeholdMessage.h"
#include "TypeholdProtocol.h"
#include "TypeholdWire.h"

#include <chrono>

using namespace typehold;

namespace
{
constexpr DWORD kPipeBufferSize = 64 * 1024;
// How long a reply may take to reach a client that stopped reading.
constexpr DWORD kReplyTimeoutMs = 60000;

void ServerLog(TSInt32 level, const char* format, ...) G_PRINTF_FORMAT(2, 3);
void ServerLog(TSInt32 level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    GLogger::GetInstance().LogV("Typehold", level, format, arguments);
    va_end(arguments);
}
} // namespace

GTypeholdServer::GTypeholdServer(DWORD mainThread)
    : mMainThread(mainThread), mStopEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

GTypeholdServer::~GTypeholdServer()
{
    CloseHandle(mStopEvent);
}

HANDLE GTypeholdServer::CreatePipeInstance(bool first)
{
    return CreateNamedPipeW(protocol::kPipeName,
                            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED |
                                (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                            PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, 0, nullptr);
}

bool GTypeholdServer::Start(GTypeholdEngine& engine)
{
    mpEngine = &engine;
    HANDLE pipe = CreatePipeInstance(true);
    if (pipe == INVALID_HANDLE_VALUE)
    {
        ServerLog(GLogger::kError, "Cannot create the pipe: error %lu", GetLastError());
        return false;
    }
    std::thread([this, pipe] { Listen(pipe); }).detach();
    return true;
}

void GTypeholdServer::Listen(HANDLE pipe)
{
    HANDLE connected = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    while (pipe != INVALID_HANDLE_VALUE)
    {
        OVERLAPPED overlapped{};
        overlapped.hEvent = connected;
        bool ready = ConnectNamedPipe(pipe, &overlapped) != 0;
        if (!ready)
        {
            const DWORD error = GetLastError();
            if (error == ERROR_PIPE_CONNECTED)
            {
                ready = true;
            }
            else if (error == ERROR_IO_PENDING)
            {
                HANDLE handles[2] = {connected, mStopEvent};
                if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0)
                {
                    CancelIoEx(pipe, &overlapped);
                    CloseHandle(pipe);
                    break;
                }
                DWORD ignored = 0;
                ready = GetOverlappedResult(pipe, &overlapped, &ignored, FALSE) != 0;
            }
        }
        if (ready)
        {
            auto connection =
                std::make_shared<std::unique_ptr<GPipeConnection>>(std::make_unique<GPipeConnection>(pipe));
            std::thread([this, connection] { Serve(std::move(*connection)); }).detach();
        }
        else
        {
            CloseHandle(pipe);
        }
        pipe = CreatePipeInstance(false);
        if (pipe == INVALID_HANDLE_VALUE)
        {
            ServerLog(GLogger::kError, "Cannot create another pipe instance: error %lu", GetLastError());
        }
    }
    CloseHandle(connected);
}

void GTypeholdServer::Serve(std::unique_ptr<GPipeConnection> connection)
{
    GClientInfo client;
    bool greeted = false;
    for (;;)
    {
        CFTypeRef value = nullptr;
        const GPipeConnection::EStatus status = connection->ReadValue(value, INFINITE, mStopEvent);
        if (status != GPipeConnection::EStatus::kOK)
        {
            if (status == GPipeConnection::EStatus::kMalformed)
            {
                ServerLog(GLogger::kWarning,
                          "Client %s sent a malformed message (%s); closing its connection",
                          client.key.c_str(), connection->LastError().c_str());
            }
            break;
        }
        GCFHolder<CFTypeRef> request(value);
        if (CFGetTypeID(value) != CFDictionaryGetTypeID())
        {
            ServerLog(GLogger::kWarning,
                      "Client %s sent a request that is not a dictionary; closing its connection",
                      client.key.c_str());
            break;
        }
        CFDictionaryRef dictionary = static_cast<CFDictionaryRef>(value);
        const bool hello = MessageString(dictionary, protocol::kOpKey) == protocol::kOpHello;
        if (!greeted && !hello)
        {
            ServerLog(GLogger::kWarning,
                      "A client sent a request before saying who it is; closing its connection");
            break;
        }
        greeted = true;
        GCFHolder<CFMutableDictionaryRef> reply(HandleFreezeRequest(dictionary));
        if (!reply)
        {
            const std::string name = hello ? MessageString(dictionary, protocol::kClientKey) : client.key;
            if (name.rfind(protocol::kControlClientPrefix, 0) != 0)
            {
                WaitWhileFrozen();
            }
            reply.Reset(mpEngine->Handle(client, dictionary));
        }
        if (hello)
        {
            SetInt(reply.Get(), protocol::kPidKey, GetCurrentProcessId());
        }
        if (hello && MessageString(dictionary, protocol::kRoleKey) == protocol::kRoleNotifications)
        {
            // From here on the connection only carries notifications. The subscriber is listed
            // before the reply goes out, so nothing that happens after the client's registration
            // returns can be missed.
            auto subscriber = std::make_shared<GSubscriber>();
            subscriber->client = client.key;
            {
                std::lock_guard<std::mutex> lock(mSubscribersMutex);
                mSubscribers.push_back(subscriber);
            }
            if (connection->WriteValue(reply.Get(), kReplyTimeoutMs, mStopEvent) !=
                GPipeConnection::EStatus::kOK)
            {
                std::lock_guard<std::mutex> lock(mSubscribersMutex);
                mSubscribers.remove(subscriber);
                return;
            }
            subscriber->pipe = std::move(connection);
            WriteNotifications(subscriber);
            return;
        }
        if (connection->WriteValue(reply.Get(), kReplyTimeoutMs, mStopEvent) != GPipeConnection::EStatus::kOK)
        {
            break;
        }
        if (MessageString(dictionary, protocol::kOpKey) == protocol::kOpExit)
        {
            // Only now: the requester has its answer before the process goes.
            PostThreadMessageW(mMainThread, WM_QUIT, 0, 0);
        }
    }
    if (!client.key.empty())
    {
        ServerLog(GLogger::kInfo, "Client %s disconnected", client.key.c_str());
    }
}

void GTypeholdServer::WriteNotifications(std::shared_ptr<GSubscriber> subscriber)
{
    for (;;)
    {
        std::string frames;
        {
            std::unique_lock<std::mutex> lock(subscriber->mutex);
            subscriber->writing = false;
            subscriber->condition.notify_all();
            subscriber->condition.wait(lock,
                                       [&] { return !subscriber->pending.empty() || subscriber->closed; });
            if (subscriber->pending.empty())
            {
                break;
            }
            frames.swap(subscriber->pending);
            subscriber->writing = true;
        }
        WaitWhileFrozen();
        if (subscriber->pipe->WriteBytes(frames, INFINITE, mStopEvent) != GPipeConnection::EStatus::kOK)
        {
            ServerLog(GLogger::kInfo, "Notifications to %s stopped: %s", subscriber->client.c_str(),
                      subscriber->pipe->LastError().c_str());
            break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(subscriber->mutex);
        subscriber->closed = true;
        subscriber->writing = false;
        subscriber->pending.clear();
        subscriber->condition.notify_all();
    }
    std::lock_guard<std::mutex> lock(mSubscribersMutex);
    mSubscribers.remove(subscriber);
}

void GTypeholdServer::Notify(TUInt32 type, CFTypeRef payload, const std::string* onlyClient)
{
    GCFHolder<CFMutableDictionaryRef> message(CreateMutableDictionary());
    SetInt(message.Get(), protocol::kTypeKey, type);
    SetValue(message.Get(), protocol::kPayloadKey, payload);
    std::string frame;
    if (!EncodeWireFrame(message.Get(), frame))
    {
        ServerLog(GLogger::kError, "Notification %u cannot be encoded", type);
        return;
    }
    std::lock_guard<std::mutex> lock(mSubscribersMutex);
    for (const auto& subscriber : mSubscribers)
    {
        if (onlyClient != nullptr && subscriber->client != *onlyClient)
        {
            continue;
        }
        std::lock_guard<std::mutex> subscriberLock(subscriber->mutex);
        if (!subscriber->closed)
        {
            subscriber->pending += frame;
            subscriber->condition.notify_all();
        }
    }
}

void GTypeholdServer::ActiveFontsChanged()
{
    PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

void GTypeholdServer::Freeze(long long durationMs)
{
    std::lock_guard<std::mutex> lock(mFreezeMutex);
    mFrozen = true;
    mFrozenSince = std::chrono::steady_clock::now();
    mThawAt = durationMs > 0 ? mFrozenSince + std::chrono::milliseconds(durationMs)
                             : std::chrono::steady_clock::time_point::max();
    if (durationMs > 0)
    {
        ServerLog(GLogger::kInfo, "Frozen for %lld ms: requests and notifications are held", durationMs);
    }
    else
    {
        ServerLog(GLogger::kInfo, "Frozen until thawed: requests and notifications are held");
    }
    mFreezeCondition.notify_all();
}

void GTypeholdServer::Thaw(const char* why)
{
    std::lock_guard<std::mutex> lock(mFreezeMutex);
    if (mFrozen)
    {
        const auto frozenMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - mFrozenSince)
                                  .count();
        ServerLog(GLogger::kInfo, "Thawed (%s) after %lld ms", why, static_cast<long long>(frozenMs));
    }
    mFrozen = false;
    mFreezeCondition.notify_all();
}

void GTypeholdServer::WaitWhileFrozen()
{
    std::unique_lock<std::mutex> lock(mFreezeMutex);
    while (mFrozen)
    {
        if (mThawAt == std::chrono::steady_clock::time_point::max())
        {
            mFreezeCondition.wait(lock);
        }
        else if (mFreezeCondition.wait_until(lock, mThawAt) == std::cv_status::timeout && mFrozen &&
                 std::chrono::steady_clock::now() >= mThawAt)
        {
            lock.unlock();
            Thaw("its time is up");
            lock.lock();
        }
    }
}

CFMutableDictionaryRef GTypeholdServer::HandleFreezeRequest(CFDictionaryRef request)
{
    const std::string op = MessageString(request, protocol::kOpKey);
    TErrorCode code = CoreErrorCodes::kSuccess;
    if (op == protocol::kOpFreeze)
    {
        const long long durationMs = MessageInt(request, "ms", 0);
        if (durationMs < 0)
        {
            ServerLog(GLogger::kWarning, "Freeze refused: a negative duration (%lld ms)", durationMs);
            code = CoreErrorCodes::kInvalidParam;
        }
        else
        {
            Freeze(durationMs);
        }
    }
    else if (op == protocol::kOpThaw)
    {
        Thaw("typehold-ctl thaw");
    }
    else
    {
        return nullptr;
    }
    CFMutableDictionaryRef reply = CreateMutableDictionary();
    SetInt(reply, protocol::kResultKey, code);
    return reply;
}

void GTypeholdServer::Shutdown()
{
    // A frozen core still says goodbye.
    Thaw("the core exits");
    Notify(kLPINotifyAgentShutdown, nullptr, nullptr);
    // Give every writer a moment to hand its last frames to the pipe.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::list<std::shared_ptr<GSubscriber>> subscribers;
    {
        std::lock_guard<std::mutex> lock(mSubscribersMutex);
        subscribers = mSubscribers;
    }
    for (const auto& subscriber : subscribers)
    {
        std::unique_lock<std::mutex> lock(subscriber->mutex);
        subscriber->condition.wait_until(
            lock, deadline,
            [&] { return subscriber->closed || (subscriber->pending.empty() && !subscriber->writing); });
    }
    SetEvent(mStopEvent);
}
