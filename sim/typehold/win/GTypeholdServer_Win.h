#pragma once
// The core's named-pipe server: a listening thread that accepts connections, a thread per
// connection that answers requests through the engine, and for each notification connection a
// writer thread fed by a queue, so that the engine never waits for a slow client and every client
// gets the notifications in the order they happened.
//
// A frozen server (typehold-ctl freeze) keeps its pipe open and accepts connections, but holds
// every request of a client other than typehold-ctl, and every notification, until it is thawed
// (typehold-ctl thaw, the end of the freeze's duration, or the core's exit).

#include "GPipeConnection.h"
#include "GTypeholdEngine.h"

#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class GTypeholdServer final : public typehold::GNotificationSink
{
public:
    // Exit requests end the message loop of the thread given.
    explicit GTypeholdServer(DWORD mainThread);
    ~GTypeholdServer() override;

    // Creates the first pipe instance (clients can connect from then on) and starts listening.
    bool Start(typehold::GTypeholdEngine& engine);
    // Sends the shutdown notification and waits (a bounded time) until every client has it.
    void Shutdown();

    void Notify(TUInt32 type, CFTypeRef payload, const std::string* onlyClient) override;
    void ActiveFontsChanged() override;

private:
    struct GSubscriber
    {
        std::string client;
        std::unique_ptr<GPipeConnection> pipe;
        std::mutex mutex;
        std::condition_variable condition;
        std::string pending; // whole frames not yet written
        bool writing = false;
        bool closed = false;
    };

    // Holds requests from now on, for durationMs milliseconds (0: until thawed).
    void Freeze(long long durationMs);
    void Thaw(const char* why);
    // Returns once the server is not frozen (at once when it is not).
    void WaitWhileFrozen();
    // The reply to Freeze and Thaw (the caller releases it); null for any other request.
    CFMutableDictionaryRef HandleFreezeRequest(CFDictionaryRef request);

    static HANDLE CreatePipeInstance(bool first);
    void Listen(HANDLE pipe);
    void Serve(std::unique_ptr<GPipeConnection> connection);
    void WriteNotifications(std::shared_ptr<GSubscriber> subscriber);

    DWORD mMainThread;
    HANDLE mStopEvent;
    typehold::GTypeholdEngine* mpEngine = nullptr;
    std::mutex mSubscribersMutex;
    std::list<std::shared_ptr<GSubscriber>> mSubscribers;

    std::mutex mFreezeMutex;
    std::condition_variable mFreezeCondition;
    bool mFrozen = false;
    std::chrono::steady_clock::time_point mFrozenSince;
    std::chrono::steady_clock::time_point mThawAt; // time_point::max() until thawed
};
