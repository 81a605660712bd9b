#pragma once
// Captures the logger's lines for the life of a test: registers a destination and raises the
// "default" threshold (Debug unless told otherwise); everything is put back on destruction.

#include "GLogger.h"

#include <mutex>
#include <string>
#include <vector>

class LogCapture
{
public:
    explicit LogCapture(TSInt32 defaultThreshold = GLogger::kDebug);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> Lines() const;
    // The lines that contain the text.
    std::vector<std::string> LinesContaining(const std::string& text) const;
    std::size_t Count(const std::string& text) const { return LinesContaining(text).size(); }
    void Clear();

private:
    struct State
    {
        mutable std::mutex mutex;
        std::vector<std::string> lines;
    };
    class Destination;
    std::shared_ptr<State> mState;
};

// The message part of a line "[time]\t[category]\t[level]\tmessage\n" (without the newline).
std::string LogMessage(const std::string& line);
