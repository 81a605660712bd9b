#include "MainWindow.h"

#include <windows.h>

namespace
{
constexpr UINT_PTR kStepTimer = 1;
constexpr wchar_t kWindowClass[] = L"Photoshop";
constexpr wchar_t kWindowTitle[] = L"Adobe Photoshop 2020";

ScenarioPlayer* sPlayer = nullptr;
std::function<void()> sFontChangeHandler;
std::function<void(unsigned, unsigned, bool)> sKeyMessageHandler;
HWND sMainWindow = nullptr;

// The responsiveness of this thread: every processed step timer message closes a gap.
UIResponsiveness sResponsiveness;
std::function<std::size_t()> sLineCount;
std::function<std::string()> sCurrentCall;

std::size_t LineCount()
{
    return sLineCount ? sLineCount() : 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_TIMER:
        if (wParam == kStepTimer && sPlayer != nullptr)
        {
            sResponsiveness.TimerMessage(UIResponsiveness::Clock::now(), LineCount(),
                                         sCurrentCall ? sCurrentCall() : std::string());
            sResponsiveness.StepStarted(UIResponsiveness::Clock::now(), LineCount());
            const bool goesOn = sPlayer->Tick();
            sResponsiveness.StepEnded(UIResponsiveness::Clock::now(), LineCount());
            if (!goesOn)
            {
                KillTimer(window, kStepTimer);
                PostQuitMessage(0);
            }
        }
        return 0;
    case WM_FONTCHANGE:
        if (sFontChangeHandler)
        {
            sFontChangeHandler();
        }
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        if (sKeyMessageHandler)
        {
            sKeyMessageHandler(message, static_cast<unsigned>(wParam), GetFocus() == window);
        }
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
        sMainWindow = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
} // namespace

void SetFontChangeHandler(std::function<void()> handler)
{
    sFontChangeHandler = std::move(handler);
}

void SetKeyMessageHandler(std::function<void(unsigned message, unsigned virtualKey, bool focused)> handler)
{
    sKeyMessageHandler = std::move(handler);
}

bool MainWindowHasFocus()
{
    return sMainWindow != nullptr && GetFocus() == sMainWindow;
}

void SetResponsivenessSources(std::function<std::size_t()> lineCount,
                              std::function<std::string()> currentCall)
{
    sLineCount = std::move(lineCount);
    sCurrentCall = std::move(currentCall);
}

const UIResponsiveness& MainWindowResponsiveness()
{
    return sResponsiveness;
}

int RunMainWindow(ScenarioPlayer& player, unsigned timerMs)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExW(&windowClass) == 0)
    {
        player.Abort("RegisterClassExW failed with error " + std::to_string(GetLastError()));
        return player.ExitCode();
    }
    HWND window = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 1024, 768, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
    {
        player.Abort("CreateWindowExW failed with error " + std::to_string(GetLastError()));
        return player.ExitCode();
    }
    sMainWindow = window;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    sPlayer = &player;
    SetTimer(window, kStepTimer, timerMs, nullptr);
    sResponsiveness.Start(UIResponsiveness::Clock::now(), LineCount());
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    sResponsiveness.Finish(UIResponsiveness::Clock::now(), LineCount());
    if (!player.Finished())
    {
        player.Abort("the main window's message loop ended");
    }
    sPlayer = nullptr;
    sMainWindow = nullptr;
    if (IsWindow(window))
    {
        DestroyWindow(window);
    }
    return player.ExitCode();
}
