#include "PluginLogFile.h"

#include "GFileLogDestination.h"
#include "GLogger.h"
#include "GStringEncodings.h"

#include <cstdlib>
#include <shlobj.h>
#include <windows.h>

bool StartPluginFileLog(const TUTF8String& logFileName)
{
    GLogger& logger = GLogger::GetInstance();
    if (logger.GetDestinationCount() > 0)
    {
        return true;
    }
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                folder)))
    {
        return false;
    }
    std::wstring path = std::wstring(folder) + L"\\Lumorand";
    CreateDirectoryW(path.c_str(), nullptr);
    path += L"\\Logs";
    CreateDirectoryW(path.c_str(), nullptr);
    path += L"\\" + OSMakeOSStringFromUTF8String(logFileName);
    if (!EnableFileLogging(OSMakeUTF8StringFromOSString(path)))
    {
        return false;
    }
    if (std::getenv("PORTOLAN_LOG_LEVEL") == nullptr)
    {
        logger.SetThreshold(GLogger::kDefaultCategory, GLogger::kInfo);
    }
    return true;
}
