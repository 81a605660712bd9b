#include "FontAlertWindow_Win.h"

#include "GStringEncodings.h"
#include "GStringTable.h"

#include <cstdio>

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

bool IsKeyMessage(UINT message)
{
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

std::wstring Wide(const char16_t* text)
{
    return std::wstring(reinterpret_cast<const wchar_t*>(text));
}
} // namespace

FontAlertWindow::FontAlertWindow(Kind kind, std::uint32_t documentID, std::string documentTitle,
                                 CloseHandler onClose, KeyHandler onKey)
    : mKind(kind), mDocumentID(documentID), mDocumentTitle(std::move(documentTitle)),
      mOnClose(std::move(onClose)), mOnKey(std::move(onKey))
{
}

std::unique_ptr<FontAlertWindow> FontAlertWindow::Open(Kind kind, const AlertLanguage& language,
                                                       std::uint32_t documentID, std::string documentTitle,
                                                       const std::vector<std::string>& missingFonts,
                                                       CloseHandler onClose, KeyHandler onKey,
                                                       std::string& error)
{
    if (!RegisterAlertClass(WindowProc))
    {
        error = "RegisterClassExW failed with error " + std::to_string(GetLastError());
        return nullptr;
    }
    std::unique_ptr<FontAlertWindow> alert(new FontAlertWindow(kind, documentID, std::move(documentTitle),
                                                               std::move(onClose), std::move(onKey)));
    const bool dialog = kind == Kind::kMissingFonts;
    std::string text;
    if (dialog)
    {
        text = "The document \"" + alert->mDocumentTitle + "\" uses fonts that are not available:";
        for (std::size_t i = 0; i < missingFonts.size(); ++i)
        {
            text += (i == 0 ? " " : ", ") + missingFonts[i];
        }
    }
    else
    {
        // The framework's string table has English texts only, so the message box is in English
        // whatever the dialog's language.
        const char* found = GStringTable::Find(kMessageBoxTextNumber);
        text = found != nullptr ? found : "";
    }
    const std::wstring title = Wide(dialog ? language.mDialogTitle : kMessageBoxTitle);
    const std::wstring buttonText = Wide(dialog ? language.mCancelButton : kMessageBoxButton);
    alert->mTitle = OSMakeUTF8StringFromOSString(title);
    alert->mButtonText = OSMakeUTF8StringFromOSString(buttonText);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, kWindowClass, title.c_str(),
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 200, 200, 440, 180,
                                  nullptr, nullptr, instance, alert.get());
    if (window == nullptr)
    {
        error = "CreateWindowExW failed with error " + std::to_string(GetLastError());
        return nullptr;
    }
    alert->mWindow = window;
    alert->mOpen = true;
    CreateWindowExW(0, L"Static", OSMakeOSStringFromUTF8String(text).c_str(), WS_CHILD | WS_VISIBLE, 16, 16,
                    400, 60, window, nullptr, instance, nullptr);
    alert->mButton = CreateWindowExW(
        0, L"Button", buttonText.c_str(), WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 320, 100, 96, 28, window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonID)), instance, nullptr);
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
    mOpen = false;
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
    if (!mOpen)
    {
        return;
    }
    mOpen = false;
    mClosedBy = how;
    if (mOnClose)
    {
        mOnClose(*this, how);
    }
    ShowWindow(mWindow, SW_HIDE);
}

void FontAlertWindow::DestroyIfClosed()
{
    if (!mOpen && mWindow != nullptr)
    {
        HWND window = mWindow;
        mWindow = nullptr;
        DestroyWindow(window);
    }
}

void FontAlertWindow::RecordKey(bool toButton, UINT message, WPARAM key)
{
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    std::string name;
    if (key == VK_ESCAPE || key == VK_RETURN)
    {
        name = KeyName(key);
    }
    else
    {
        char text[16];
        std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(key));
        name = text;
    }
    const std::string entry = std::string(down ? "down " : "up ") + name;
    (toButton ? mButtonKeys : mWindowKeys).push_back(entry);
    if (mOnKey)
    {
        mOnKey(*this, toButton, entry);
    }
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
        if (IsKeyMessage(message))
        {
            alert->RecordKey(false, message, wParam);
        }
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
                alert->Close("a click on " + alert->mButtonText);
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
    if (IsKeyMessage(message))
    {
        alert->RecordKey(true, message, wParam);
    }
    if (message == WM_KEYDOWN && (wParam == VK_ESCAPE || wParam == VK_RETURN))
    {
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
