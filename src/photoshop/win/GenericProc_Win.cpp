#include "PortolanDialog.h"

#include "GHostGuard.h"

#include <algorithm>

namespace
{
// The dialog of the message being handled.
PortolanDialog* sCurrentDialog = nullptr;
} // namespace

void CenterDialogWindow(HWND window)
{
    RECT parentRect{};
    const HWND parent = GetParent(window);
    if (parent != nullptr)
    {
        GetClientRect(parent, &parentRect);
        POINT topLeft{parentRect.left, parentRect.top};
        POINT bottomRight{parentRect.right, parentRect.bottom};
        ClientToScreen(parent, &topLeft);
        ClientToScreen(parent, &bottomRight);
        parentRect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    }
    else
    {
        GetWindowRect(GetDesktopWindow(), &parentRect);
    }

    RECT windowRect{};
    GetWindowRect(window, &windowRect);
    const LONG width = windowRect.right - windowRect.left;
    const LONG height = windowRect.bottom - windowRect.top;
    const LONG parentWidth = parentRect.right - parentRect.left;
    const LONG parentHeight = parentRect.bottom - parentRect.top;

    LONG caption = GetSystemMetrics(SM_CYCAPTION);
    if ((GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU) == 0)
    {
        caption = caption * 2 / 3;
    }
    LONG x = parentRect.left + std::max<LONG>(parentWidth - width, 0) / 2 - caption;
    LONG y = parentRect.top + std::max<LONG>(parentHeight - height, 0) / 3;

    const LONG screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const LONG screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (x + width > screenWidth)
    {
        x = std::max<LONG>(screenWidth - width, 0);
    }
    if (y + height > screenHeight)
    {
        y = std::max<LONG>(screenHeight - height, 0);
    }
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

struct GenericProcDispatch
{
    static INT_PTR Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message)
        {
        case WM_INITDIALOG:
            CenterDialogWindow(window);
            sCurrentDialog = reinterpret_cast<PortolanDialog*>(lParam);
            if (sCurrentDialog == nullptr)
            {
                return 0;
            }
            sCurrentDialog->mWindow = window;
            sCurrentDialog->Init();
            return 1;
        case WM_COMMAND:
        {
            const int item = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (sCurrentDialog != nullptr)
            {
                sCurrentDialog->Notify(item, code, lParam);
            }
            if ((item == IDOK || item == IDCANCEL) && code == 0)
            {
                EndDialog(window, item);
            }
            return 1;
        }
        case WM_DESTROY:
            sCurrentDialog = nullptr;
            return 0;
        default:
            if (sCurrentDialog != nullptr)
            {
                sCurrentDialog->Message(message, wParam, lParam);
            }
            else
            {
                DefWindowProcA(window, message, wParam, lParam);
            }
            return 0;
        }
    }
};

// Windows calls it from the dialog's message loop: nothing may unwind into Windows. A message
// whose handling failed answers 0, as one the dialog did not handle.
extern "C" INT_PTR CALLBACK GenericProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = 0;
    GuardForHost("GenericProc",
                 [&] { result = GenericProcDispatch::Handle(window, message, wParam, lParam); });
    return result;
}
