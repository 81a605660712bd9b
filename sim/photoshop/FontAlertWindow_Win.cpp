#include "FontAlertWindow_Win.h"

#include "GStringEncodings.h"

namespace
{
constexpr wchar_t kWindowClass[] = L"PhotoshopSimAlert";
constexpr int kButtonID = 2; // IDCANCEL

bool RegisterAlertClass(WNDPROC procedure)
{
    static bool sRegistered = false;
    if (!sRegistered)
    {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kWindowClass;
        sRegistered = RegisterClassExW(&windowClass) != 0;
    }
    return sRegistered;
}

const char* KeyName(WPARAM key)
{
    return key == VK_ESCAPE ? "Escape" : "Return";
}
} // namespace

FontAlertWindow::FontAlertWindow(Kind kind, std::uint32_t documentID, std::string documentTitle,
                                 CloseHandler onClose)
    : mKind(kind), mDocumentID(documentID), mDocumentTitle(std::move(documentTitle)),
      mOnClose(std::move(onClose))
{
}

std::unique_ptr<FontAlertWindow> FontAlertWindow::Open(Kind kind, std::uint32_t documentID,
                                                       std::string documentTitle,
                                                       const std::vector<std::string>& missingFonts,
                                                       CloseHandler onClose, std::string& error)
{
    if (!RegisterAlertClass(WindowProc))
    {
        error = "RegisterClassExW failed with error " + std::to_string(GetLastError());
        return nullptr;
    }
    std::unique_ptr<FontAlertWindow> alert(
        new FontAlertWindow(kind, documentID, std::move(documentTitle), std::move(onClose)));
    const bool dialog = kind == Kind::kMissingFonts;
    std::string text = "Some text layers contain fonts that are missing.";
    if (dialog)
    {
        text = "The document \"" + alert->mDocumentTitle + "\" uses fonts that are not available:";
        for (std::size_t i = 0; i < missingFonts.size(); ++i)
        {
            text += (i == 0 ? " " : ", ") + missingFonts[i];
        }
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window =
        CreateWindowExW(WS_EX_DLGMODALFRAME, kWindowClass, dialog ? L"Missing Fonts" : L"Adobe Photoshop CC",
                        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 200, 200, 440, 180, nullptr, nullptr,
                        instance, alert.get());
    if (window == nullptr)
    {
        error = "CreateWindowExW failed with error " + std::to_string(GetLastError());
        return nullptr;
    }
    alert->mWindow = window;
    CreateWindowExW(0, L"Static", OSMakeOSStringFromUTF8String(text).c_str(), WS_CHILD | WS_VISIBLE, 16, 16,
                    400, 60, window, nullptr, instance, nullptr);
    alert->mButton = CreateWindowExW(
        0, L"Button", dialog ? L"Cancel" : L"OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 320, 100, 96, 28,
        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonID)), instance, nullptr);
    if (alert->mButton != nullptr)
    {
        SetWindowLongPtrW(alert->mButton, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(alert.get()));
        alert->mButtonProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(alert->mButton, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonProc)));
    }
    return alert;
}

FontAlertWindow::~FontAlertWindow()
{
    if (mWindow != nullptr)
    {
        HWND window = mWindow;
        mWindow = nullptr;
        DestroyWindow(window);
    }
}

std::string FontAlertWindow::Describe() const
{
    return mKind == Kind::kMissingFonts ? "missing-fonts dialog" : "message box";
}

void FontAlertWindow::Close(const std::string& how)
{
    if (mWindow == nullptr)
    {
        return;
    }
    HWND window = mWindow;
    mWindow = nullptr;
    if (mOnClose)
    {
        mOnClose(*this, how);
    }
    DestroyWindow(window);
}

LRESULT CALLBACK FontAlertWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
    {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* alert = reinterpret_cast<FontAlertWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (alert != nullptr)
    {
        switch (message)
        {
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE || wParam == VK_RETURN)
            {
                alert->Close(std::string(KeyName(wParam)) + " posted to the window");
                return 0;
            }
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == kButtonID && HIWORD(wParam) == BN_CLICKED)
            {
                alert->Close(std::string("a click on ") +
                             (alert->mKind == Kind::kMissingFonts ? "Cancel" : "OK"));
                return 0;
            }
            break;
        case WM_CLOSE:
            alert->Close("WM_CLOSE");
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            break;
        default:
            break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK FontAlertWindow::ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* alert = reinterpret_cast<FontAlertWindow*>(GetWindowLongPtrW(button, GWLP_USERDATA));
    if (alert == nullptr)
    {
        return DefWindowProcW(button, message, wParam, lParam);
    }
    const WNDPROC original = alert->mButtonProc;
    if (message == WM_KEYDOWN && (wParam == VK_ESCAPE || wParam == VK_RETURN))
    {
        // Destroys the button too: nothing of it may be touched afterwards.
        alert->Close(std::string(KeyName(wParam)) + " posted to the button");
        return 0;
    }
    if (message == WM_NCDESTROY)
    {
        SetWindowLongPtrW(button, GWLP_USERDATA, 0);
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    }
    return CallWindowProcW(original, button, message, wParam, lParam);
}
