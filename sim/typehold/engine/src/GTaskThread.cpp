#include "GTaskThread.h"

namespace typehold
{
GTaskThread::~GTaskThread()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
        mTasks.clear();
    }
    mCondition.notify_all();
    if (mThread.joinable())
    {
        mThread.join();
    }
}

void GTaskThread::Post(std::function<void()> task)
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (mStopping)
    {
        return;
    }
    mTasks.push_back(std::move(task));
    if (!mThread.joinable())
    {
        mThread = std::thread([this] { Run(); });
    }
    mCondition.notify_one();
}

void GTaskThread::Run()
{
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;)
    {
        mCondition.wait(lock, [this] { return mStopping || !mTasks.empty(); });
        if (mStopping)
        {
            return;
        }
        std::function<void()> task = std::move(mTasks.front());
        mTasks.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}
} // namespace typehold
