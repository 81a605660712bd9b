#include "GLPIFacade_Win.h"

#include "GErrorCodes.h"
#include "TypeholdProtocol.h"

using namespace typehold;

namespace
{
// Waiting for a busy pipe instance while connecting.
constexpr DWORD kConnectWaitMs = 2000;

std::string ProcessName()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    std::string narrow;
    for (const wchar_t c : name)
    {
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '_');
    }
    return narrow;
}
} // namespace

GLPIFacade& GLPIFacade::Instance()
{
    // Never destroyed: a library that is unloaded at process exit must not join threads.
    static GLPIFacade* sInstance = new GLPIFacade();
    return *sInstance;
}

GLPIFacade::GLPIFacade() : mClientName(ProcessName() + ":" + std::to_string(GetCurrentProcessId()))
{
}

std::unique_ptr<GPipeConnection> GLPIFacade::Open(const char* role, bool& outUnanswered)
{
    outUnanswered = false;
    DWORD error = 0;
    std::unique_ptr<GPipeConnection> pipe =
        GPipeConnection::Connect(protocol::kPipeName, kConnectWaitMs, error);
    if (!pipe)
    {
        return nullptr;
    }
    GCFHolder<CFMutableDictionaryRef> hello(CreateMutableDictionary());
    SetString(hello.Get(), protocol::kOpKey, protocol::kOpHello);
    SetString(hello.Get(), protocol::kRoleKey, role);
    SetString(hello.Get(), protocol::kClientKey, mClientName);
    SetInt(hello.Get(), protocol::kPidKey, GetCurrentProcessId());
    SetInt(hello.Get(), protocol::kAppTypeKey, mAppType);
    CFTypeRef reply = nullptr;
    GPipeConnection::EStatus status = pipe->WriteValue(hello.Get(), kCallTimeoutMs);
    if (status == GPipeConnection::EStatus::kOK)
    {
        status = pipe->ReadValue(reply, kCallTimeoutMs);
    }
    if (status != GPipeConnection::EStatus::kOK)
    {
        outUnanswered = status == GPipeConnection::EStatus::kTimedOut;
        return nullptr;
    }
    CFRelease(reply);
    return pipe;
}

LPIFacade GLPIFacade::Get()
{
    bool connected = false;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mState == EState::kIdle)
        {
            bool unanswered = false;
            mCalls = Open(protocol::kRoleCalls, unanswered);
            if (mCalls)
            {
                mState = EState::kConnected;
                connected = true;
            }
            else if (unanswered)
            {
                mState = EState::kBroken;
            }
        }
    }
    if (connected)
    {
        std::lock_guard<std::mutex> lock(mNotifyMutex);
        if (mCallback != nullptr && !mDeliveryThread.joinable())
        {
            StartDelivery();
        }
    }
    return this;
}

LPIResult GLPIFacade::Reset()
{
    {
        std::lock_guard<std::mutex> lock(mNotifyMutex);
        StopDelivery();
    }
    std::lock_guard<std::mutex> lock(mMutex);
    mCalls.reset();
    mState = EState::kIdle;
    return CoreErrorCodes::kSuccess;
}

LPIResult GLPIFacade::Call(CFDictionaryRef request, GCFHolder<CFDictionaryRef>& reply)
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (mState != EState::kConnected)
    {
        return kLPIServiceUnavailable;
    }
    CFTypeRef value = nullptr;
    if (mCalls->WriteValue(request, kCallTimeoutMs) != GPipeConnection::EStatus::kOK ||
        mCalls->ReadValue(value, kCallTimeoutMs) != GPipeConnection::EStatus::kOK)
    {
        mCalls.reset();
        mState = EState::kBroken;
        return kLPIServiceUnavailable;
    }
    if (CFGetTypeID(value) != CFDictionaryGetTypeID())
    {
        CFRelease(value);
        mCalls.reset();
        mState = EState::kBroken;
        return kLPIServiceUnavailable;
    }
    reply.Reset(static_cast<CFDictionaryRef>(value));
    return static_cast<LPIResult>(MessageInt(reply.Get(), protocol::kResultKey, CoreErrorCodes::kError));
}

void GLPIFacade::SetAppType(std::int32_t appType)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mAppType = appType;
}

LPIResult GLPIFacade::Register(LPINotificationCallback callback)
{
    if (callback == nullptr)
    {
        return CoreErrorCodes::kNullPointer;
    }
    bool connected = false;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        connected = mState == EState::kConnected;
    }
    std::lock_guard<std::mutex> lock(mNotifyMutex);
    StopDelivery();
    mCallback = callback;
    if (!connected)
    {
        return kLPIServiceUnavailable;
    }
    StartDelivery();
    return mDeliveryThread.joinable() ? CoreErrorCodes::kSuccess : kLPIServiceUnavailable;
}

LPIResult GLPIFacade::Unregister(LPINotificationCallback callback)
{
    std::lock_guard<std::mutex> lock(mNotifyMutex);
    if (callback != nullptr && callback != mCallback)
    {
        return CoreErrorCodes::kNotFound;
    }
    StopDelivery();
    mCallback = nullptr;
    return CoreErrorCodes::kSuccess;
}

void GLPIFacade::StartDelivery()
{
    std::unique_ptr<GPipeConnection> pipe;
    {
        std::lock_guard<std::mutex> lock(mMutex); // for the client name and host application code
        bool unanswered = false;
        pipe = Open(protocol::kRoleNotifications, unanswered);
    }
    if (!pipe)
    {
        return;
    }
    mStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    mDeliveryThread = std::thread(&GLPIFacade::Deliver, this, std::move(pipe), mCallback, mStopEvent);
}

void GLPIFacade::StopDelivery()
{
    if (!mDeliveryThread.joinable())
    {
        return;
    }
    SetEvent(mStopEvent);
    if (mDeliveryThread.get_id() == std::this_thread::get_id())
    {
        // Called from the callback itself: the thread ends when the callback returns.
        mDeliveryThread.detach();
    }
    else
    {
        mDeliveryThread.join();
        CloseHandle(mStopEvent);
    }
    mStopEvent = nullptr;
}

void GLPIFacade::Deliver(std::unique_ptr<GPipeConnection> pipe, LPINotificationCallback callback,
                         HANDLE stopEvent)
{
    for (;;)
    {
        CFTypeRef value = nullptr;
        if (pipe->ReadValue(value, INFINITE, stopEvent) != GPipeConnection::EStatus::kOK)
        {
            break;
        }
        GCFHolder<CFTypeRef> message(value);
        if (CFGetTypeID(value) != CFDictionaryGetTypeID() ||
            WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0)
        {
            continue;
        }
        CFDictionaryRef notification = static_cast<CFDictionaryRef>(value);
        const std::uint32_t type = static_cast<std::uint32_t>(MessageInt(notification, protocol::kTypeKey));
        CFTypeRef payload = MessageValue(notification, protocol::kPayloadKey);
        // Each type's payload in the form the callback expects.
        std::int64_t number = 0;
        const bool hasNumber = IntegerValue(payload, number);
        GCFHolder<CFMutableDictionaryRef> emptyDictionary;
        switch (type)
        {
        case kLPINotifyOnlineStateChanged:
        case kLPINotifyGoogleWebFontsEnabled:
        {
            const std::uint8_t byte = hasNumber && number != 0 ? 1 : 0;
            callback(type, &byte);
            break;
        }
        case kLPINotifyFontActivated:
        case kLPINotifyFontDeactivated:
        case kLPINotifyFontMissing:
        case kLPINotifyDesignActivationNonCompliant:
        {
            const std::int32_t id = hasNumber ? static_cast<std::int32_t>(number) : -1;
            callback(type, &id);
            break;
        }
        case kLPINotifyLoggedInStateChanged:
        case kLPINotifyGoogleReplicationProgress:
        case kLPINotifyBulkReplicationProgress:
        case kLPINotifyIncrementalReplicationProgress:
        case kLPINotifyFontServerReplicationProgress:
        case kLPINotifyPreviewPNGsRendered:
            if (payload == nullptr || CFGetTypeID(payload) != CFDictionaryGetTypeID())
            {
                emptyDictionary.Reset(CreateMutableDictionary());
                payload = emptyDictionary.Get();
            }
            callback(type, payload);
            break;
        default:
            callback(type, nullptr);
            break;
        }
    }
    // The pipe closes here; a broken connection is noticed by the next call.
}
