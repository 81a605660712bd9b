#pragma once
// Photoshop's windows about a document's missing fonts, as real modeless top-level windows (a
// headless run never blocks on them):
//   the "Missing Fonts" dialog: a static text and a cancel button, titled in the language given
//   (AlertTexts.h);
//   the message box "Adobe Photoshop CC 2020": the framework's string 644 ("Some text layers
//   contain fonts that are missing.") and an "OK" button, in every language.
// Either closes on Escape or Return, whether the key message is posted to the window or to its
// button (the button is subclassed for that), on a click on the button, or on WM_CLOSE. The close
// handler learns how ("Escape posted to the window", "Return posted to the button", "a click on
// Cancel", "WM_CLOSE").
//
// Every key message (WM_KEYDOWN, WM_KEYUP and their WM_SYS forms) that reaches the window or its
// button is kept and given to the key handler, also after the window closed: a closed window is
// hidden and stays until DestroyIfClosed, so that the keys still queued for it (a key posted to
// the window and then to its button) are seen rather than lost with the window.

#include "AlertTexts.h"

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
    // toButton: the key went to the button, not to the window; key: "down Escape", "up Return",
    // "down 0x41" ...
    using KeyHandler =
        std::function<void(const FontAlertWindow& window, bool toButton, const std::string& key)>;

    // Null (with a reason in error) when the window cannot be created.
    static std::unique_ptr<FontAlertWindow> Open(Kind kind, const AlertLanguage& language,
                                                 std::uint32_t documentID, std::string documentTitle,
                                                 const std::vector<std::string>& missingFonts,
                                                 CloseHandler onClose, KeyHandler onKey, std::string& error);
    // Destroys the window when it is still there, without calling the close handler.
    ~FontAlertWindow();
    FontAlertWindow(const FontAlertWindow&) = delete;
    FontAlertWindow& operator=(const FontAlertWindow&) = delete;

    Kind GetKind() const { return mKind; }
    bool IsOpen() const { return mOpen; }
    // How it closed (empty while open).
    const std::string& ClosedBy() const { return mClosedBy; }
    std::uint32_t DocumentID() const { return mDocumentID; }
    const std::string& DocumentTitle() const { return mDocumentTitle; }
    // The key messages that reached the window and its button, in order ("down Escape", ...).
    const std::vector<std::string>& WindowKeys() const { return mWindowKeys; }
    const std::vector<std::string>& ButtonKeys() const { return mButtonKeys; }
    // The window's title and its button's text as shown (UTF-8).
    const std::string& Title() const { return mTitle; }
    const std::string& ButtonText() const { return mButtonText; }
    // "missing-fonts dialog" or "message box", for transcript lines.
    std::string Describe() const;
    // Destroys the window once it has closed (the keys still queued for it have been delivered by
    // then when this runs at the next timer message: posted messages come before timer messages).
    void DestroyIfClosed();

private:
    FontAlertWindow(Kind kind, std::uint32_t documentID, std::string documentTitle, CloseHandler onClose,
                    KeyHandler onKey);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
    void Close(const std::string& how);
    void RecordKey(bool toButton, UINT message, WPARAM key);

    Kind mKind;
    std::uint32_t mDocumentID;
    std::string mDocumentTitle;
    CloseHandler mOnClose;
    KeyHandler mOnKey;
    bool mOpen = false;
    std::string mClosedBy;
    std::string mTitle;
    std::string mButtonText;
    std::vector<std::string> mWindowKeys;
    std::vector<std::string> mButtonKeys;
    HWND mWindow = nullptr;
    HWND mButton = nullptr;
    WNDPROC mButtonProc = nullptr;
};
