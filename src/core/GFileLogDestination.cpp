#include "GFileLogDestination.h"

#include "GStringEncodings.h"

#include <cstdlib>
#include <memory>

namespace
{
std::FILE* OpenForAppend(const TUTF8String& path)
{
#ifdef _WIN32
    const std::wstring widePath = OSMakeOSStringFromUTF8String(path);
    return widePath.empty() ? nullptr : _wfopen(widePath.c_str(), L"ab");
#else
    return std::fopen(path.c_str(), "ab");
#endif
}

TUTF8String EnvironmentValue(const char* name)
{
#ifdef _WIN32
    const std::wstring wideName = OSMakeOSStringFromUTF8String(name);
    const wchar_t* value = _wgetenv(wideName.c_str());
    return value != nullptr ? OSMakeUTF8StringFromOSString(value) : TUTF8String();
#else
    const char* value = std::getenv(name);
    return value != nullptr ? TUTF8String(value) : TUTF8String();
#endif
}
} // namespace

GFileLogDestination::GFileLogDestination(const TUTF8String& path) : mpFile(OpenForAppend(path))
{
}

GFileLogDestination::~GFileLogDestination()
{
    if (mpFile != nullptr)
    {
        std::fclose(mpFile);
    }
}

void GFileLogDestination::Write(const TUTF8String& line)
{
    if (mpFile != nullptr)
    {
        std::fwrite(line.data(), 1, line.size(), mpFile);
        std::fflush(mpFile);
    }
}

bool EnableFileLogging(const TUTF8String& path)
{
    auto destination = std::make_unique<GFileLogDestination>(path);
    if (!destination->IsOpen())
    {
        return false;
    }
    GLogger::GetInstance().AddDestination(kFileLogDestinationName, std::move(destination));
    return true;
}

bool EnableFileLoggingFromEnvironment()
{
    const TUTF8String level = EnvironmentValue("PORTOLAN_LOG_LEVEL");
    if (level.size() == 1 && level[0] >= '0' && level[0] <= '4')
    {
        GLogger::GetInstance().SetThreshold(GLogger::kDefaultCategory, level[0] - '0');
    }
    const TUTF8String path = EnvironmentValue("PORTOLAN_LOG_FILE");
    return !path.empty() && EnableFileLogging(path);
}
