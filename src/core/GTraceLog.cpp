#include "GLogger.h"

#include <cstdio>
#include <vector>

namespace
{
constexpr const char* kTraceCategory = "Plugin";
constexpr std::size_t kTraceBufferSize = 65536;
} // namespace

void TraceLog(TSInt32 /*depthChange*/, const char* format, ...)
{
    if (format == nullptr)
    {
        return;
    }
    GLogger& logger = GLogger::GetInstance();
    if (!logger.IsLogged(kTraceCategory, GLogger::kInfo))
    {
        return;
    }
    std::vector<char> buffer(kTraceBufferSize, '\0');
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    va_end(arguments);
    logger.Log(kTraceCategory, GLogger::kInfo, "%s", buffer.data());
}
