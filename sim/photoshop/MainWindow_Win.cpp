#include "MainWindow.h"

#include <windows.h>

namespace
{
constexpr UINT_PTR kStepTimer = 1;
constexpr wchar_t kWindowClass[] = L"Photoshop";
constexpr wchar_t kWindowTitle[] = L"Adobe Photoshop 2020";

ScenarioPlayer* sPlayer = nullptr;
std::function<void()> sFontChangeHandler;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_TIMER:
        if (wParam == kStepTimer && sPlayer != nullptr && !sPlayer->Tick())
        {
            KillTimer(window, kStepTimer);
            PostQuitMessage(0);
        }
        return 0;
    case WM_FONTCHANGE:
        if (sFontChangeHandler)
        {
            sFontChangeHandler();
        }
        return 0;
    case WM_DESTROY:
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
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    sPlayer = &player;
    SetTimer(window, kStepTimer, timerMs, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (!player.Finished())
    {
        player.Abort("the main window's message loop ended");
    }
    sPlayer = nullptr;
    if (IsWindow(window))
    {
        DestroyWindow(window);
    }
    return player.ExitCode();
}
