#pragma once
// A log destination that appends every line to a file, flushed line by line so the log
// survives a crash of the process that writes it.

#include "GLogger.h"

#include <cstdio>

class GFileLogDestination : public GLogDestination
{
public:
    // Opens (creates or appends to) the file; IsOpen() tells whether that worked.
    explicit GFileLogDestination(const TUTF8String& path);
    ~GFileLogDestination() override;

    bool IsOpen() const { return mpFile != nullptr; }
    void Write(const TUTF8String& line) override;

private:
    std::FILE* mpFile = nullptr;
};

// The name under which the file destination is registered with the logger.
constexpr const char* kFileLogDestinationName = "file";

// Registers a file destination for the path; false when the file cannot be opened (the logger
// is left as it was).
bool EnableFileLogging(const TUTF8String& path);

// Registers the file destination named by the environment variable PORTOLAN_LOG_FILE, when it
// is set, and applies PORTOLAN_LOG_LEVEL (a level number, 0-4) to the "default" threshold.
// Returns true when a file destination was registered.
bool EnableFileLoggingFromEnvironment();
