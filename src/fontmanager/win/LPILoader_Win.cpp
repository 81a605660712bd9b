#include "CoreProcessLauncher.h"
#include "GLogger.h"
#include "GStringEncodings.h"
#include "LPILoader.h"
#include "LumorandVersionUtils.h"

#include <windows.h>

#include <cctype>
#include <cstdint>
#include <ctime>
#include <string>

namespace
{
constexpr const char* kPrivateBuildQuery = "\\StringFileInfo\\040904b0\\PrivateBuild";
constexpr std::size_t kVersionBufferSize = 1024;

// "C:\..." or "\\server\share\...": a path no search order takes part in.
bool IsFullWindowsPath(const TUTF8String& path)
{
    const bool drive = path.size() > 2 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool network =
        path.size() > 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
    return drive || network;
}

unsigned LoggedAddress(const void* address)
{
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(address));
}

// The module that holds this code (the plug-in).
HMODULE OwnModule()
{
    HMODULE module = nullptr;
    static const int sAnchor = 0;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&sAnchor), &module);
    return module;
}

// Activates the plug-in module's own activation context (from its manifest resource) for the
// life of the scope, so that a library loaded meanwhile binds to the same side-by-side assemblies
// as the plug-in. Without such a context nothing is activated.
class ScopedModuleActivationContext
{
public:
    ScopedModuleActivationContext()
    {
        HMODULE module = OwnModule();
        wchar_t modulePath[MAX_PATH] = {};
        if (module == nullptr || GetModuleFileNameW(module, modulePath, MAX_PATH) == 0)
        {
            return;
        }
        ACTCTXW context{};
        context.cbSize = sizeof(context);
        context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.lpSource = modulePath;
        context.hModule = module;
        context.lpResourceName = MAKEINTRESOURCEW(2); // the isolation-aware manifest of a DLL
        mContext = CreateActCtxW(&context);
        if (mContext != INVALID_HANDLE_VALUE && !ActivateActCtx(mContext, &mCookie))
        {
            ReleaseActCtx(mContext);
            mContext = INVALID_HANDLE_VALUE;
        }
    }
    ~ScopedModuleActivationContext()
    {
        if (mContext != INVALID_HANDLE_VALUE)
        {
            DeactivateActCtx(0, mCookie);
            ReleaseActCtx(mContext);
        }
    }
    ScopedModuleActivationContext(const ScopedModuleActivationContext&) = delete;
    ScopedModuleActivationContext& operator=(const ScopedModuleActivationContext&) = delete;

private:
    HANDLE mContext = INVALID_HANDLE_VALUE;
    ULONG_PTR mCookie = 0;
};
} // namespace

LPILoader* LPILoader::GetSharedInstance()
{
    if (sSharedInstance != nullptr)
    {
        return sSharedInstance;
    }
    TraceLog(1, "Entering first call to LPILoader::GetSharedInstance()");
    sSharedInstance = new LPILoader();
    TUTF8String coreFolder;
    bool coreFound =
        GetPathToRunningProcessExe(kTypeholdExecutableName, coreFolder) == CoreErrorCodes::kSuccess;
    if (!coreFound)
    {
        coreFound = FindAndLaunchTypehold(&coreFolder) == 0;
    }
    // Beside the core only: a bare name would let the system search the host's working folder
    // and PATH, where anyone may have put a library of that name.
    sSharedInstance->LoadLibraryAt(coreFound ? coreFolder + kLPILibraryName : TUTF8String());
    TraceLog(-1, "Exiting first call to LPILoader::GetSharedInstance(); sSharedInstance=0x%08x",
             LoggedAddress(sSharedInstance));
    return sSharedInstance;
}

bool LPILoader::LoadLibraryAt(const TUTF8String& modulePath)
{
    HMODULE module = nullptr;
    DWORD loadError = 0;
    mModulePath = modulePath;
    if (!modulePath.empty() && !IsFullWindowsPath(modulePath))
    {
        TraceLog(0, "ERROR:  '%s' is not a full path; %s is loaded by full path only", modulePath.c_str(),
                 kLPILibraryName);
    }
    else if (!modulePath.empty())
    {
        ScopedModuleActivationContext activationContext;
        module = LoadLibraryExW(OSMakeOSStringFromUTF8String(modulePath).c_str(), nullptr,
                                LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
        loadError = module == nullptr ? GetLastError() : 0;
        if (module != nullptr)
        {
            TraceLog(0, "SUCCESS: LoadLibraryA('%s') returned 0x%08x", mModulePath.c_str(),
                     LoggedAddress(module));
        }
        else
        {
            TraceLog(0, "LoadLibraryA('%s') returned error code 0x%08x (%d)", modulePath.c_str(),
                     static_cast<unsigned>(loadError), static_cast<int>(loadError));
        }
    }

    char version[kVersionBufferSize] = {};
    mVersion.clear();
    if (LumorandVersionUtils::GetFileVersionStringUTF8(mModulePath, kPrivateBuildQuery, version,
                                                       sizeof(version)))
    {
        mVersion = version;
    }

    if (module == nullptr)
    {
        TraceLog(0, "ERROR:  cannot find %s", kLPILibraryName);
        return false;
    }
    ResolveTable(module, [module](const char* name)
                 { return reinterpret_cast<void*>(GetProcAddress(module, name)); });
    return true;
}

void BeginPluginLog(const char* logFileName)
{
    LPILoader* loader = LPILoader::GetSharedInstance();
    if (loader == nullptr || loader->GetLibraryHandle() == nullptr || loader->pfBeginLogging == nullptr ||
        loader->pfGetPluginFacadeInstance == nullptr)
    {
        return;
    }
    LPIFacade facade = loader->pfGetPluginFacadeInstance();
    if (facade == nullptr)
    {
        return;
    }
    loader->pfBeginLogging(facade, logFileName != nullptr ? logFileName : "");

    const __time64_t now = _time64(nullptr);
    char timeText[128] = {};
    _ctime64_s(timeText, sizeof(timeText), &now);
    const TUTF8String separator = TUTF8String("\n=======\n") + timeText + "=======\n";
    if (loader->pfLog != nullptr)
    {
        loader->pfLog(loader->pfGetPluginFacadeInstance(), separator.c_str());
    }
}
