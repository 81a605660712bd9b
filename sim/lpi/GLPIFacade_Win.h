#pragma once
// The interface library's plugin facade: the process's connection to the core over the core's
// named pipe, and the thread that receives the core's notifications and hands them to the
// registered callback.
//
// States: idle (no connection; GetPluginFacadeInstance tries to connect) -> connected -> broken
// (a call met a closed pipe, or the core did not answer in time: every call answers
// kLPIServiceUnavailable at once until Reset, which makes the facade idle again). A core whose
// pipe accepts the connection but which does not answer the connection's hello in time breaks the
// facade as well; a core whose pipe does not exist leaves it idle (the next call tries again,
// which costs nothing). The facade object itself lives as long as the process, so a facade pointer
// a caller still holds never dangles.
//
// No call waits longer than kCallTimeoutMs for the core: a core that keeps its pipe open but
// stops answering costs the caller that long once, then the facade is broken.

#include "GPipeConnection.h"
#include "LumorandPluginInterface.h"
#include "TypeholdMessage.h"

#include <mutex>
#include <string>
#include <thread>

class GLPIFacade
{
public:
    // How long a call (or a new connection's hello) waits for the core's answer before it gives
    // up with kLPIServiceUnavailable.
    static constexpr DWORD kCallTimeoutMs = 1500;

    static GLPIFacade& Instance();

    // The facade, connected when the core can be reached and the facade is not broken.
    LPIFacade Get();
    // Drops the connection (and the notification thread); the next Get connects afresh and
    // registers the callback again.
    LPIResult Reset();
    bool Is(LPIFacade facade) const { return facade == static_cast<const void*>(this); }

    // One request and its reply. kLPIServiceUnavailable when there is no connection or the pipe
    // breaks (the facade is broken from then on); otherwise the core's result code.
    LPIResult Call(CFDictionaryRef request, typehold::GCFHolder<CFDictionaryRef>& reply);

    // Remembers the callback (it is registered again after every new connection) and starts
    // delivering; kLPIServiceUnavailable when there is no connection yet.
    LPIResult Register(LPINotificationCallback callback);
    // Stops delivery: no call of the callback happens after this returns.
    LPIResult Unregister(LPINotificationCallback callback);

    // The host application code, sent again with every new connection.
    void SetAppType(std::int32_t appType);

private:
    enum class EState
    {
        kIdle,
        kConnected,
        kBroken,
    };

    GLPIFacade();
    ~GLPIFacade() = delete; // lives as long as the process

    // Opens a connection and says who this client is; null when the core cannot be reached.
    // outUnanswered tells a core that took the connection but did not answer its hello.
    std::unique_ptr<GPipeConnection> Open(const char* role, bool& outUnanswered);
    // Starts the notification thread for the remembered callback (mNotifyMutex held).
    void StartDelivery();
    // Stops and joins the notification thread (mNotifyMutex held).
    void StopDelivery();
    void Deliver(std::unique_ptr<GPipeConnection> pipe, LPINotificationCallback callback, HANDLE stopEvent);

    std::mutex mMutex; // the call connection and the state
    EState mState = EState::kIdle;
    std::unique_ptr<GPipeConnection> mCalls;
    std::int32_t mAppType = 0;
    std::string mClientName;

    std::mutex mNotifyMutex; // the callback and the notification thread
    LPINotificationCallback mCallback = nullptr;
    std::thread mDeliveryThread;
    HANDLE mStopEvent = nullptr;
};
