// The exported dialog procedure on a real dialog window: centring over the parent, the dialog
// object's window and initialisation, commands forwarded, OK ending the dialog.

#include "PortolanDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using DialogProcedure = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

class RecordingDialog : public PortolanDialog
{
public:
    void Init() override { ++mInitCalls; }
    void Notify(int item, int code, LPARAM) override { mNotified.push_back({item, code}); }
    void Message(UINT message, WPARAM, LPARAM) override { mLastMessage = message; }

    int mInitCalls = 0;
    std::vector<std::pair<int, int>> mNotified;
    UINT mLastMessage = 0;
};

// An in-memory dialog template without controls.
std::vector<WORD> DialogTemplate(DWORD style)
{
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words.data());
    dialog->style = style;
    dialog->cdit = 0;
    dialog->x = 0;
    dialog->y = 0;
    dialog->cx = 120;
    dialog->cy = 60;
    return words; // menu, class and title follow as empty words
}

DialogProcedure LoadGenericProc()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path = path.substr(0, path.find_last_of(L'\\') + 1) + L"Portolan.8li";
    HMODULE plugin = LoadLibraryW(path.c_str());
    return plugin != nullptr ? reinterpret_cast<DialogProcedure>(
                                   reinterpret_cast<void*>(GetProcAddress(plugin, "GenericProc")))
                             : nullptr;
}

TEST(GenericProcTest, CentresTheDialogOverItsParentAndDrivesTheDialogObject)
{
    const DialogProcedure procedure = LoadGenericProc();
    ASSERT_NE(procedure, nullptr);

    HWND parent = CreateWindowExW(0, L"STATIC", L"Parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 900,
                                  700, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);

    RecordingDialog dialogObject;
    std::vector<WORD> words = DialogTemplate(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
    HWND dialog =
        CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(words.data()),
                                   parent, procedure, reinterpret_cast<LPARAM>(&dialogObject));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialogObject.GetWindow(), dialog);
    EXPECT_EQ(dialogObject.mInitCalls, 1);

    // Where the dialog must be: centred horizontally less a caption height, a third down.
    RECT client{};
    GetClientRect(parent, &client);
    POINT origin{0, 0};
    ClientToScreen(parent, &origin);
    RECT placed{};
    GetWindowRect(dialog, &placed);
    const LONG width = placed.right - placed.left;
    const LONG height = placed.bottom - placed.top;
    const LONG caption = GetSystemMetrics(SM_CYCAPTION);
    LONG x = origin.x + std::max<LONG>(client.right - width, 0) / 2 - caption;
    LONG y = origin.y + std::max<LONG>(client.bottom - height, 0) / 3;
    x = x + width > GetSystemMetrics(SM_CXSCREEN) ? std::max<LONG>(GetSystemMetrics(SM_CXSCREEN) - width, 0)
                                                  : x;
    y = y + height > GetSystemMetrics(SM_CYSCREEN) ? std::max<LONG>(GetSystemMetrics(SM_CYSCREEN) - height, 0)
                                                   : y;
    EXPECT_EQ(placed.left, x);
    EXPECT_EQ(placed.top, y);

    // Commands reach the object; OK ends the dialog.
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(1000, 5), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    ASSERT_EQ(dialogObject.mNotified.size(), 2u);
    EXPECT_EQ(dialogObject.mNotified[0], std::make_pair(1000, 5));
    EXPECT_EQ(dialogObject.mNotified[1], std::make_pair(static_cast<int>(IDOK), 0));
    SendMessageW(dialog, WM_USER + 7, 0, 0);
    EXPECT_EQ(dialogObject.mLastMessage, static_cast<UINT>(WM_USER + 7));

    DestroyWindow(dialog);
    DestroyWindow(parent);
}

TEST(GenericProcTest, ADialogWithoutObjectIsNotInitialised)
{
    const DialogProcedure procedure = LoadGenericProc();
    ASSERT_NE(procedure, nullptr);
    std::vector<WORD> words = DialogTemplate(WS_POPUP | WS_CAPTION | DS_MODALFRAME);
    HWND dialog = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(words.data()), nullptr, procedure, 0);
    ASSERT_NE(dialog, nullptr);
    // Without a system menu the caption allowance is two thirds: the dialog still sits on screen.
    RECT placed{};
    GetWindowRect(dialog, &placed);
    EXPECT_GE(placed.left, 0);
    EXPECT_GE(placed.top, 0);
    DestroyWindow(dialog);
}
} // namespace
