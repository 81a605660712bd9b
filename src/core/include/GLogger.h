#pragma once
// The process-wide logger. It filters messages by category and level, stamps the ones that
// pass with the current UTC time and hands each finished line
//   "[<time>]\t[<category>]\t[<level>]\t<message>\n"
// to every registered destination in ascending order of destination name.
//
// Each category has a threshold; a category without one uses the threshold of "default"
// (initially Warning). A message passes when 1 <= level <= threshold. Nothing is formatted
// unless the message passes and a destination exists.

#include "GMutex.h"
#include "GNoncopyable.h"
#include "GTypes.h"

#include <cstdarg>
#include <map>
#include <memory>

#if defined(__GNUC__)
#define G_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define G_PRINTF_FORMAT(fmt, args)
#endif

// Receives finished log lines. Write is called with the logger's destinations lock held, one
// line at a time; a message that the destination logs from inside Write is dropped.
class GLogDestination
{
public:
    virtual ~GLogDestination() = default;
    virtual void Write(const TUTF8String& line) = 0;
};

class GLogger : private GNoncopyable
{
public:
    enum : TSInt32
    {
        kNoLevel = -1, // the result of a threshold lookup that found nothing
        kNone = 0,
        kError = 1,
        kWarning = 2,
        kInfo = 3,
        kDebug = 4,
    };

    static constexpr const char* kDefaultCategory = "default";

    // The single logger, created on first use.
    static GLogger& GetInstance();

    virtual ~GLogger();

    void Log(const char* category, TSInt32 level, const char* format, ...) G_PRINTF_FORMAT(4, 5);
    void LogV(const char* category, TSInt32 level, const char* format, va_list arguments);
    void LogError(const char* category, const char* format, ...) G_PRINTF_FORMAT(3, 4);
    void LogDebug(const char* category, const char* format, ...) G_PRINTF_FORMAT(3, 4);

    // The threshold of a category, falling back to "default"; kNoLevel when neither has one or
    // the thresholds cannot be read.
    TSInt32 GetThreshold(const TUTF8String& category);
    // True when a message of this category and level would pass the filter.
    bool IsLogged(const TUTF8String& category, TSInt32 level);
    void SetThreshold(const TUTF8String& category, TSInt32 level);
    // Empties the thresholds and sets "default" to Warning.
    void ResetThresholds();

    // Destinations are owned by the logger. Adding under an existing name replaces (and
    // destroys) the previous destination.
    void AddDestination(const TUTF8String& name, std::unique_ptr<GLogDestination> destination);
    void RemoveDestination(const TUTF8String& name);
    void RemoveAllDestinations();
    std::size_t GetDestinationCount();

    // The name of a level as it is written in a line ("Error", "Debug", ...; empty for other
    // values).
    static const char* LevelName(TSInt32 level);

    // Size of the shared format buffer (256 bytes at first; it only grows).
    static std::size_t GetFormatBufferSize();

private:
    GLogger();

    GMutex mDestinationsLock;
    std::map<TUTF8String, std::unique_ptr<GLogDestination>> mDestinations;
    GMutex mLevelsLock;
    std::map<TUTF8String, TSInt32> mThresholds;
    TUTF8String mDefaultCategory = kDefaultCategory;
};

// The plug-in trace: entry/exit and progress lines of the plug-in code. The depth change is +1
// for lines that enter an operation, -1 for lines that leave one and 0 otherwise; it has no
// effect. The text goes to the logger at level Info in category "Plugin".
void TraceLog(TSInt32 depthChange, const char* format, ...) G_PRINTF_FORMAT(2, 3);
