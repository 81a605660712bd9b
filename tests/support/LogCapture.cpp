#include "LogCapture.h"

#include <memory>

namespace
{
constexpr const char* kCaptureName = "~test-capture";
}

class LogCapture::Destination : public GLogDestination
{
public:
    explicit Destination(std::shared_ptr<State> state) : mState(std::move(state)) {}
    void Write(const TUTF8String& line) override
    {
        std::lock_guard<std::mutex> lock(mState->mutex);
        mState->lines.push_back(line);
    }

private:
    std::shared_ptr<State> mState;
};

LogCapture::LogCapture(TSInt32 defaultThreshold) : mState(std::make_shared<State>())
{
    GLogger& logger = GLogger::GetInstance();
    logger.ResetThresholds();
    logger.SetThreshold(GLogger::kDefaultCategory, defaultThreshold);
    logger.AddDestination(kCaptureName, std::make_unique<Destination>(mState));
}

LogCapture::~LogCapture()
{
    GLogger& logger = GLogger::GetInstance();
    logger.RemoveDestination(kCaptureName);
    logger.ResetThresholds();
}

std::vector<std::string> LogCapture::Lines() const
{
    std::lock_guard<std::mutex> lock(mState->mutex);
    return mState->lines;
}

std::vector<std::string> LogCapture::LinesContaining(const std::string& text) const
{
    std::vector<std::string> result;
    for (const std::string& line : Lines())
    {
        if (line.find(text) != std::string::npos)
        {
            result.push_back(line);
        }
    }
    return result;
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> lock(mState->mutex);
    mState->lines.clear();
}

std::string LogMessage(const std::string& line)
{
    std::size_t position = 0;
    for (int field = 0; field < 3 && position != std::string::npos; ++field)
    {
        position = line.find('\t', position);
        if (position != std::string::npos)
        {
            ++position;
        }
    }
    if (position == std::string::npos)
    {
        return std::string();
    }
    std::string message = line.substr(position);
    if (!message.empty() && message.back() == '\n')
    {
        message.pop_back();
    }
    return message;
}
