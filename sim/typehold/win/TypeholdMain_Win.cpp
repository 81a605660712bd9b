// Typehold.exe, the font manager's core process:
//   Typehold.exe --config <folder>
// One instance per session (a second one exits with code 3). It reads <folder>\config.json,
// keeps its state and its log (typehold.log) in the same folder, serves clients on its named pipe
// and runs a hidden window with a message loop, so that a launcher waiting for it to settle
// (WaitForInputIdle) sees it ready. The configuration is checked for changes every 250 ms.

#include "GLogger.h"
#include "GPreviewRenderer_Win.h"
#include "GStringEncodings.h"
#include "GTypeholdEngine.h"
#include "GTypeholdServer_Win.h"
#include "TypeholdProtocol.h"

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>
#include <thread>

using namespace typehold;

namespace
{
constexpr UINT_PTR kConfigTimer = 1;
constexpr UINT kConfigPollMs = 250;

typehold::GTypeholdEngine* sEngine = nullptr;

void MainLog(TSInt32 level, const char* format, ...) G_PRINTF_FORMAT(2, 3);
void MainLog(TSInt32 level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    GLogger::GetInstance().LogV("Typehold", level, format, arguments);
    va_end(arguments);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_TIMER:
        if (wParam == kConfigTimer && sEngine != nullptr)
        {
            sEngine->CheckConfig(false);
        }
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
        {
            DestroyWindow(window);
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// The core's log: every line appended in one write to a file opened for appending only, so that
// lines of two processes (a second core on its way out) never overwrite each other.
class GAppendingLog final : public GLogDestination
{
public:
    explicit GAppendingLog(const std::string& path)
        : mFile(CreateFileW(OSMakeOSStringFromUTF8String(path).c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~GAppendingLog() override
    {
        if (mFile != INVALID_HANDLE_VALUE)
        {
            CloseHandle(mFile);
        }
    }
    void Write(const TUTF8String& line) override
    {
        DWORD written = 0;
        if (mFile != INVALID_HANDLE_VALUE)
        {
            WriteFile(mFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        }
    }

private:
    HANDLE mFile;
};

// A path given in the form of the machine Wine runs on ("/home/...") becomes a drive path.
std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
    {
        path = "Z:" + path;
    }
    for (char& c : path)
    {
        if (c == '/')
        {
            c = '\\';
        }
    }
    while (path.size() > 3 && path.back() == '\\')
    {
        path.pop_back();
    }
    return path;
}

bool ConfigFolderFromCommandLine(std::string& folder)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
    {
        return false;
    }
    for (int i = 1; i + 1 < count; ++i)
    {
        if (std::wstring(arguments[i]) == L"--config")
        {
            folder = WindowsPath(OSMakeUTF8StringFromOSString(arguments[i + 1]));
        }
    }
    LocalFree(arguments);
    return !folder.empty();
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    std::string configFolder;
    if (!ConfigFolderFromCommandLine(configFolder))
    {
        return protocol::kExitUsage;
    }
    GLogger::GetInstance().AddDestination("typehold",
                                          std::make_unique<GAppendingLog>(configFolder + "\\typehold.log"));
    GLogger::GetInstance().SetThreshold("Typehold", GLogger::kInfo);

    HANDLE instanceMutex = CreateMutexW(nullptr, FALSE, protocol::kInstanceMutexName);
    if (instanceMutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS)
    {
        MainLog(GLogger::kWarning, "Another Typehold is running in this session: process %lu exits",
                GetCurrentProcessId());
        return protocol::kExitAlreadyRunning;
    }
    MainLog(GLogger::kInfo, "Typehold starting: process %lu, configuration folder %s", GetCurrentProcessId(),
            configFolder.c_str());

    GTypeholdServer server(GetCurrentThreadId());
    GTypeholdEngine engine(configFolder, server);
    GGdiPreviewRenderer previewRenderer;
    engine.SetPreviewRenderer(&previewRenderer);
    engine.LoadConfig();
    const TUInt32 delay = engine.ConfigCopy().startupDelayMs;
    if (delay > 0)
    {
        MainLog(GLogger::kInfo, "Start-up held back for %u ms", delay);
        Sleep(delay);
    }
    // The pipe exists before anything here can look idle to a launcher: whoever sees the core
    // settled can connect.
    if (!server.Start(engine))
    {
        return protocol::kExitStartFailed;
    }
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // the thread's message queue

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"LumorandTypeholdCore";
    RegisterClassW(&windowClass);
    HWND window =
        CreateWindowExW(0, windowClass.lpszClassName, L"Typehold", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
    {
        MainLog(GLogger::kError, "Cannot create the core's window: error %lu", GetLastError());
        return protocol::kExitStartFailed;
    }
    sEngine = &engine;
    std::thread([&engine] { engine.Start(); }).detach();
    SetTimer(window, kConfigTimer, kConfigPollMs, nullptr);
    MainLog(GLogger::kInfo, "Listening for clients");

    while (GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    MainLog(GLogger::kInfo, "Typehold exiting");
    sEngine = nullptr;
    server.Shutdown();
    engine.Persist();
    MainLog(GLogger::kInfo, "Typehold exited");
    // Connection threads may still be waiting on their pipes: end the process without unwinding
    // what they use.
    ExitProcess(protocol::kExitNormal);
}
