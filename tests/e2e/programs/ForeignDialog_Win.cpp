// Another program's "Missing Fonts" dialog, for the scenarios that check that the plug-in leaves
// other programs' windows alone: a topmost window (first in z-order, so the first a window search
// finds) titled "Missing Fonts" with a text and a "Cancel" button. It closes the way Photoshop's
// dialog does in the stand-in: on Escape or Return, a click, or WM_CLOSE. Every key message that
// reaches the window or its button is written to standard output ("foreign-dialog: key message
// down 0x1b to the window"), so a scenario can tell that nothing was sent to it at all.
//   foreign-dialog.exe SECONDS READY_FILE STOP_FILE
// It writes READY_FILE once the window is up, and ends after SECONDS or as soon as STOP_FILE
// exists. Exit code 0: the dialog was still open at the end; 1: something closed it; 2: usage.

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace
{
constexpr int kCancelButton = 2;
bool sClosed = false;

void ReportKey(const char* target, UINT message, WPARAM key)
{
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP)
    {
        std::printf("foreign-dialog: key message %s 0x%02x to the %s\n",
                    message == WM_KEYDOWN || message == WM_SYSKEYDOWN ? "down" : "up",
                    static_cast<unsigned>(key), target);
        std::fflush(stdout);
    }
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ReportKey("window", message, wParam);
    switch (message)
    {
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE || wParam == VK_RETURN)
        {
            std::printf("foreign-dialog: closed by key 0x%02x posted to it\n", static_cast<unsigned>(wParam));
            DestroyWindow(window);
        }
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kCancelButton)
        {
            std::printf("foreign-dialog: Cancel pressed\n");
            DestroyWindow(window);
        }
        return 0;
    case WM_CLOSE:
        std::printf("foreign-dialog: closed by WM_CLOSE\n");
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        sClosed = true;
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Keys posted to the button count as keys for the dialog.
WNDPROC sButtonProc = nullptr;
LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    ReportKey("button", message, wParam);
    if (message == WM_KEYDOWN && (wParam == VK_ESCAPE || wParam == VK_RETURN))
    {
        std::printf("foreign-dialog: closed by key 0x%02x posted to its button\n",
                    static_cast<unsigned>(wParam));
        DestroyWindow(GetParent(button));
        return 0;
    }
    return CallWindowProcW(sButtonProc, button, message, wParam, lParam);
}
} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc == 4 ? std::atoi(argv[1]) : 0;
    if (seconds <= 0)
    {
        std::fprintf(stderr, "usage: foreign-dialog SECONDS READY_FILE STOP_FILE\n");
        return 2;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DialogProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"ForeignMissingFonts";
    RegisterClassExW(&windowClass);
    HWND dialog = CreateWindowExW(WS_EX_TOPMOST, L"ForeignMissingFonts", L"Missing Fonts",
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100, 100, 360, 140,
                                  nullptr, nullptr, instance, nullptr);
    CreateWindowExW(0, L"STATIC", L"Some text layers use fonts that are not installed.",
                    WS_CHILD | WS_VISIBLE, 10, 10, 330, 40, dialog, nullptr, instance, nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 250, 60, 90,
                                  28, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCancelButton)),
                                  instance, nullptr);
    if (dialog == nullptr || button == nullptr)
    {
        std::fprintf(stderr, "foreign-dialog: cannot create the window (error %lu)\n", GetLastError());
        return 2;
    }
    sButtonProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ButtonProc)));
    if (FILE* ready = std::fopen(argv[2], "w"))
    {
        std::fclose(ready);
    }
    std::fflush(stdout);

    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    while (!sClosed && static_cast<LONG>(end - GetTickCount()) > 0 &&
           GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES)
    {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    std::printf(sClosed ? "foreign-dialog: closed\n" : "foreign-dialog: still open at the end\n");
    return sClosed ? 1 : 0;
}
