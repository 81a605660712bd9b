#include "GLogger.h"

#include "GBlockingLockStrategy.h"
#include "GDateTime.h"
#include "GScopedLock.h"

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace
{
constexpr std::size_t kInitialFormatBufferSize = 256;
// Formatting gives up when the text would need a larger scratch buffer than this.
constexpr std::size_t kMaxScratchBufferSize = 0x400000;

std::atomic<GLogger*> sSharedInstance{nullptr};

GMutex& InstanceCreationMutex()
{
    static GMutex sMutex;
    return sMutex;
}

// Shared by all threads; used only while the destinations lock is held.
std::vector<char>& FormatBuffer()
{
    static std::vector<char> sBuffer(kInitialFormatBufferSize);
    return sBuffer;
}

// The re-entrancy guard: the thread that is writing a line, if any.
struct ReentrancyGuard
{
    GMutex mutex;
    bool writing = false;
    std::thread::id writer;
};

ReentrancyGuard& Guard()
{
    static ReentrancyGuard sGuard;
    return sGuard;
}

// Formats into the buffer and returns the length of the full text, or -1 when it cannot be
// formatted. When the text does not fit, its length is measured as with a scratch buffer that
// starts at one and a half times the buffer's size and grows by half each time, giving up once
// the scratch buffer would exceed 4 MiB.
int FormatInto(std::vector<char>& buffer, const char* format, va_list arguments)
{
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (length < 0)
    {
        buffer[0] = '\0';
        return -1;
    }
    const std::size_t needed = static_cast<std::size_t>(length);
    if (needed < buffer.size())
    {
        return length;
    }
    for (std::size_t scratch = buffer.size() + buffer.size() / 2; scratch <= kMaxScratchBufferSize;
         scratch += scratch / 2)
    {
        if (needed < scratch)
        {
            return length;
        }
    }
    buffer[0] = '\0';
    return -1;
}
} // namespace

GLogger& GLogger::GetInstance()
{
    GLogger* instance = sSharedInstance.load(std::memory_order_acquire);
    if (instance == nullptr)
    {
        GScopedLock lock(InstanceCreationMutex(), true, new GBlockingLockStrategy);
        instance = sSharedInstance.load(std::memory_order_acquire);
        if (instance == nullptr)
        {
            // Lives until the process ends: code that runs during static destruction may still log.
            instance = new GLogger;
            sSharedInstance.store(instance, std::memory_order_release);
        }
    }
    return *instance;
}

GLogger::GLogger()
{
    ResetThresholds();
}

GLogger::~GLogger()
{
    RemoveAllDestinations();
}

const char* GLogger::LevelName(TSInt32 level)
{
    switch (level)
    {
    case kNone:
        return "None";
    case kError:
        return "Error";
    case kWarning:
        return "Warning";
    case kInfo:
        return "Info";
    case kDebug:
        return "Debug";
    default:
        return "";
    }
}

TSInt32 GLogger::GetThreshold(const TUTF8String& category)
{
    GScopedLock lock(mLevelsLock, true, new GBlockingLockStrategy);
    if (!lock.IsLocked())
    {
        return kNoLevel;
    }
    auto found = mThresholds.find(category);
    if (found != mThresholds.end())
    {
        return found->second;
    }
    if (category != mDefaultCategory)
    {
        found = mThresholds.find(mDefaultCategory);
        if (found != mThresholds.end())
        {
            return found->second;
        }
    }
    return kNoLevel;
}

bool GLogger::IsLogged(const TUTF8String& category, TSInt32 level)
{
    if (level == kNone || level == kNoLevel)
    {
        return false;
    }
    const TSInt32 threshold = GetThreshold(category);
    return threshold != kNone && threshold != kNoLevel && level <= threshold && level >= kError;
}

void GLogger::SetThreshold(const TUTF8String& category, TSInt32 level)
{
    GScopedLock lock(mLevelsLock, true, new GBlockingLockStrategy);
    if (lock.IsLocked())
    {
        mThresholds[category] = level;
    }
}

void GLogger::ResetThresholds()
{
    GScopedLock lock(mLevelsLock, true, new GBlockingLockStrategy);
    if (lock.IsLocked())
    {
        mThresholds.clear();
        mThresholds[mDefaultCategory] = kWarning;
    }
}

void GLogger::AddDestination(const TUTF8String& name, std::unique_ptr<GLogDestination> destination)
{
    std::unique_ptr<GLogDestination> previous;
    GScopedLock lock(mDestinationsLock, true, new GBlockingLockStrategy);
    if (lock.IsLocked() && destination)
    {
        previous = std::move(mDestinations[name]);
        mDestinations[name] = std::move(destination);
    }
}

void GLogger::RemoveDestination(const TUTF8String& name)
{
    std::unique_ptr<GLogDestination> removed;
    GScopedLock lock(mDestinationsLock, true, new GBlockingLockStrategy);
    if (lock.IsLocked())
    {
        auto found = mDestinations.find(name);
        if (found != mDestinations.end())
        {
            removed = std::move(found->second);
            mDestinations.erase(found);
        }
    }
}

void GLogger::RemoveAllDestinations()
{
    GScopedLock lock(mDestinationsLock, true, new GBlockingLockStrategy);
    if (lock.IsLocked())
    {
        mDestinations.clear();
    }
}

std::size_t GLogger::GetDestinationCount()
{
    GScopedLock lock(mDestinationsLock, true, new GBlockingLockStrategy);
    return lock.IsLocked() ? mDestinations.size() : 0;
}

std::size_t GLogger::GetFormatBufferSize()
{
    GLogger& logger = GetInstance();
    GScopedLock lock(logger.mDestinationsLock, true, new GBlockingLockStrategy);
    return FormatBuffer().size();
}

void GLogger::Log(const char* category, TSInt32 level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    LogV(category, level, format, arguments);
    va_end(arguments);
}

void GLogger::LogError(const char* category, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    LogV(category, kError, format, arguments);
    va_end(arguments);
}

void GLogger::LogDebug(const char* category, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    LogV(category, kDebug, format, arguments);
    va_end(arguments);
}

void GLogger::LogV(const char* category, TSInt32 level, const char* format, va_list arguments)
{
    if (category == nullptr || format == nullptr || !IsLogged(category, level))
    {
        return;
    }

    // The category and the level name become part of the format text.
    TUTF8String lineFormat;
    lineFormat.reserve(std::char_traits<char>::length(category) + std::char_traits<char>::length(format) +
                       16);
    lineFormat += '[';
    lineFormat += category;
    lineFormat += "]\t[";
    lineFormat += LevelName(level);
    lineFormat += "]\t";
    lineFormat += format;

    // A message logged by a destination while it writes a line is dropped.
    ReentrancyGuard& guard = Guard();
    const std::thread::id self = std::this_thread::get_id();
    {
        GScopedLock guardLock(guard.mutex, true, new GBlockingLockStrategy);
        if (!guardLock.IsLocked() || (guard.writing && guard.writer == self))
        {
            return;
        }
    }

    GScopedLock destinationsLock(mDestinationsLock, true, new GBlockingLockStrategy);
    if (!destinationsLock.IsLocked())
    {
        return;
    }
    {
        GScopedLock guardLock(guard.mutex, true, new GBlockingLockStrategy);
        guard.writing = true;
        guard.writer = self;
    }

    if (!mDestinations.empty())
    {
        std::vector<char>& buffer = FormatBuffer();
        const int length = FormatInto(buffer, lineFormat.c_str(), arguments);
        if (length >= 0 && static_cast<std::size_t>(length) >= buffer.size())
        {
            const std::size_t grown = ((static_cast<std::size_t>(length) + 1) & ~std::size_t(255)) + 256;
            buffer.resize(grown);
            if (FormatInto(buffer, lineFormat.c_str(), arguments) < 0)
            {
                buffer[0] = '\0';
            }
        }

        TUTF8String line;
        const TUTF8String stamp = GDateTime::Now().ToISO8601String(true);
        line.reserve(stamp.size() + 4 + (length > 0 ? static_cast<std::size_t>(length) : 0));
        line += '[';
        line += stamp;
        line += "]\t";
        line += buffer.data();
        line += '\n';

        for (auto& [name, destination] : mDestinations)
        {
            destination->Write(line);
        }
    }

    GScopedLock guardLock(guard.mutex, true, new GBlockingLockStrategy);
    guard.writing = false;
    guard.writer = std::thread::id();
}
