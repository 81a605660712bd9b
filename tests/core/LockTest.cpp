#include "GBlockingLockStrategy.h"
#include "GMutex.h"
#include "GScopedLock.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace
{
using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Holds a mutex on its own thread until told to let go.
class Holder
{
public:
    explicit Holder(GMutex& mutex)
    {
        std::future<TErrorCode> lockedResult = mLocked.get_future();
        mThread = std::thread(
            [&mutex, this]
            {
                mLocked.set_value(mutex.Lock());
                mRelease.get_future().wait();
                mUnlockResult = mutex.Unlock();
            });
        mLockResult = lockedResult.get();
    }
    ~Holder() { Release(); }

    void Release()
    {
        if (mThread.joinable())
        {
            mRelease.set_value();
            mThread.join();
        }
    }

    TErrorCode mLockResult = CoreErrorCodes::kError;
    TErrorCode mUnlockResult = CoreErrorCodes::kError;

private:
    std::promise<TErrorCode> mLocked;
    std::promise<void> mRelease;
    std::thread mThread;
};

// A lockable whose TryLock answers busy a given number of times, to exercise the polling
// time-limited lock of the base class.
class CountingLockable : public GLockable
{
public:
    explicit CountingLockable(int busyAnswers) : mBusyAnswers(busyAnswers) {}
    TErrorCode Lock() override { return CoreErrorCodes::kSuccess; }
    TErrorCode TryLock() override
    {
        ++mTries;
        return mTries <= mBusyAnswers ? kLockBusyErr : CoreErrorCodes::kSuccess;
    }
    using GLockable::Lock;
    TErrorCode Unlock() override { return CoreErrorCodes::kSuccess; }

    int mBusyAnswers;
    int mTries = 0;
};
} // namespace

TEST(GMutexTest, TryLockAnswersBusyAtOnceWhileAnotherThreadHoldsIt)
{
    GMutex mutex;
    Holder holder(mutex);
    ASSERT_EQ(holder.mLockResult, CoreErrorCodes::kSuccess);

    const auto start = Clock::now();
    EXPECT_EQ(mutex.TryLock(), GLockable::kLockBusyErr);
    EXPECT_EQ(mutex.Lock(0u), GLockable::kLockBusyErr);
    EXPECT_LT(MillisecondsSince(start), 1000);

    holder.Release();
    EXPECT_EQ(holder.mUnlockResult, CoreErrorCodes::kSuccess);
    EXPECT_EQ(mutex.TryLock(), CoreErrorCodes::kSuccess);
    EXPECT_EQ(mutex.Unlock(), CoreErrorCodes::kSuccess);
}

TEST(GMutexTest, TimedLockGivesUpAfterItsLimit)
{
    GMutex mutex;
    Holder holder(mutex);

    const auto start = Clock::now();
    EXPECT_EQ(mutex.Lock(120u), GLockable::kLockBusyErr);
    const long long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 100);
    EXPECT_LT(elapsed, 5000);
}

TEST(GMutexTest, TimedLockSucceedsWhenTheHolderLetsGoInTime)
{
    GMutex mutex;
    Holder holder(mutex);
    std::thread releaser(
        [&holder]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            holder.Release();
        });
    EXPECT_EQ(mutex.Lock(20000u), CoreErrorCodes::kSuccess);
    releaser.join();
    EXPECT_EQ(mutex.Unlock(), CoreErrorCodes::kSuccess);
}

TEST(GMutexTest, UnlockByANonOwnerIsRefusedAndLeavesTheLockIntact)
{
    GMutex mutex;
    EXPECT_EQ(mutex.Unlock(), GMutex::kMutexDeadlockErr); // not held at all

    Holder holder(mutex);
    EXPECT_EQ(mutex.Unlock(), GMutex::kMutexDeadlockErr);
    EXPECT_EQ(mutex.TryLock(), GLockable::kLockBusyErr);
    holder.Release();
    EXPECT_EQ(holder.mUnlockResult, CoreErrorCodes::kSuccess);
}

TEST(GMutexTest, LockingTwiceFromOneThreadIsADeadlockNotAHang)
{
    GMutex mutex;
    ASSERT_EQ(mutex.Lock(), CoreErrorCodes::kSuccess);
    EXPECT_EQ(mutex.Lock(), GMutex::kMutexDeadlockErr);
    EXPECT_EQ(mutex.TryLock(), GMutex::kMutexDeadlockErr);
    EXPECT_EQ(mutex.Lock(100u), GMutex::kMutexDeadlockErr);
    EXPECT_EQ(mutex.Unlock(), CoreErrorCodes::kSuccess);
    EXPECT_EQ(mutex.Unlock(), GMutex::kMutexDeadlockErr);
}

TEST(GMutexTest, BlockingLocksSerialiseManyThreads)
{
    GMutex mutex;
    long long counter = 0;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
    {
        threads.emplace_back(
            [&]
            {
                for (int i = 0; i < 2000; ++i)
                {
                    GScopedLock lock(mutex, true, new GBlockingLockStrategy);
                    if (!lock.IsLocked())
                    {
                        ++failures;
                        continue;
                    }
                    const long long seen = counter;
                    counter = seen + 1;
                }
            });
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(counter, 8000);
}

TEST(GLockableTest, TimedLockPollsTryLockUntilItSucceeds)
{
    CountingLockable lockable(2);
    EXPECT_EQ(lockable.Lock(5000u), CoreErrorCodes::kSuccess);
    EXPECT_EQ(lockable.mTries, 3);

    CountingLockable never(1000000);
    const auto start = Clock::now();
    EXPECT_EQ(never.Lock(120u), GLockable::kLockBusyErr);
    EXPECT_GE(MillisecondsSince(start), 100);
    // Sleeps of at most 50 ms between tries: a handful of tries, not a busy loop.
    EXPECT_GE(never.mTries, 3);
    EXPECT_LT(never.mTries, 100);

    CountingLockable zero(1);
    EXPECT_EQ(zero.Lock(0u), GLockable::kLockBusyErr);
    EXPECT_EQ(zero.mTries, 1);
}

TEST(GScopedLockTest, SelfDeadlockIsReportedOnceAtDebugAndLeavesItUnlocked)
{
    LogCapture capture;
    GMutex mutex;
    {
        GScopedLock outer(mutex, true, nullptr);
        ASSERT_TRUE(outer.IsLocked());
        GScopedLock inner(mutex, true, new GBlockingLockStrategy);
        EXPECT_FALSE(inner.IsLocked());
    }
    // Released by the outer guard only.
    EXPECT_EQ(mutex.TryLock(), CoreErrorCodes::kSuccess);
    EXPECT_EQ(mutex.Unlock(), CoreErrorCodes::kSuccess);

    const auto reports = capture.LinesContaining("mLockStrategy->Lock(mLockable)");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("\t[Lockable]\t[Debug]\t"), std::string::npos);
    EXPECT_NE(reports[0].find("Error='GMutex::kMutexDeadlockErr'"), std::string::npos);
    EXPECT_NE(reports[0].find("Code='16781323'"), std::string::npos);
}

TEST(GScopedLockTest, DebugReportIsFilteredOutWithTheDefaultThresholds)
{
    LogCapture capture(GLogger::kWarning);
    GMutex mutex;
    GScopedLock outer(mutex, true, nullptr);
    GScopedLock inner(mutex, true, nullptr);
    EXPECT_FALSE(inner.IsLocked());
    EXPECT_TRUE(capture.Lines().empty());
}
