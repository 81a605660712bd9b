#pragma once
// A thread of the engine's own that runs the tasks posted to it one after another, in order
// (preview rendering, the web fonts copy), so that the requests that start them are answered at
// once.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace typehold
{
class GTaskThread
{
public:
    GTaskThread() = default;
    // Runs no task that has not started; waits for the one that has.
    ~GTaskThread();
    GTaskThread(const GTaskThread&) = delete;
    GTaskThread& operator=(const GTaskThread&) = delete;

    // Queues the task; the thread starts with the first one.
    void Post(std::function<void()> task);

private:
    void Run();

    std::mutex mMutex;
    std::condition_variable mCondition;
    std::deque<std::function<void()>> mTasks;
    bool mStopping = false;
    std::thread mThread;
};
} // namespace typehold
