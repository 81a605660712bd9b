#pragma once
// Photoshop's windows about a document's missing fonts, as real modeless top-level windows (a
// headless run never blocks on them):
//   the "Missing Fonts" dialog: a static text and a "Cancel" button;
//   the message box "Adobe Photoshop CC": "Some text layers contain fonts that are missing." and
//   an "OK" button.
// Either closes on Escape or Return, whether the key message is posted to the window or to its
// button (the button is subclassed for that), on a click on the button, or on WM_CLOSE. The close
// handler learns how ("Escape posted to the window", "Return posted to the button", "a click on
// Cancel", "WM_CLOSE").

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class FontAlertWindow
{
public:
    enum class Kind
    {
        kMissingFonts,
        kMessageBox,
    };
    using CloseHandler = std::function<void(const FontAlertWindow& window, const std::string& how)>;

    // Null (with a reason in error) when the window cannot be created.
    static std::unique_ptr<FontAlertWindow> Open(Kind kind, std::uint32_t documentID,
                                                 std::string documentTitle,
                                                 const std::vector<std::string>& missingFonts,
                                                 CloseHandler onClose, std::string& error);
    // Destroys the window when it is still open, without calling the close handler.
    ~FontAlertWindow();
    FontAlertWindow(const FontAlertWindow&) = delete;
    FontAlertWindow& operator=(const FontAlertWindow&) = delete;

    Kind GetKind() const { return mKind; }
    bool IsOpen() const { return mWindow != nullptr; }
    std::uint32_t DocumentID() const { return mDocumentID; }
    const std::string& DocumentTitle() const { return mDocumentTitle; }
    // "missing-fonts dialog" or "message box", for transcript lines.
    std::string Describe() const;

private:
    FontAlertWindow(Kind kind, std::uint32_t documentID, std::string documentTitle, CloseHandler onClose);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
    void Close(const std::string& how);

    Kind mKind;
    std::uint32_t mDocumentID;
    std::string mDocumentTitle;
    CloseHandler mOnClose;
    HWND mWindow = nullptr;
    HWND mButton = nullptr;
    WNDPROC mButtonProc = nullptr;
};
