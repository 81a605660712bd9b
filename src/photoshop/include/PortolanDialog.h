#pragma once
// A dialog driven by the exported dialog procedure GenericProc: the dialog is created with a
// PortolanDialog as its creation parameter; GenericProc centres the window, hands the object its
// window and forwards initialisation, commands and other messages to it.

#ifdef _WIN32
#include <windows.h>

extern "C" INT_PTR CALLBACK GenericProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class PortolanDialog
{
public:
    PortolanDialog() = default;
    PortolanDialog(const PortolanDialog&) = delete;
    PortolanDialog& operator=(const PortolanDialog&) = delete;
    virtual ~PortolanDialog() = default;

    virtual void Init() {}
    virtual void Notify(int item, int notificationCode, LPARAM lParam)
    {
        static_cast<void>(item);
        static_cast<void>(notificationCode);
        static_cast<void>(lParam);
    }
    virtual void Message(UINT message, WPARAM wParam, LPARAM lParam)
    {
        static_cast<void>(message);
        static_cast<void>(wParam);
        static_cast<void>(lParam);
    }

    HWND GetWindow() const { return mWindow; }

private:
    friend struct GenericProcDispatch; // GenericProc's handling of one message
    HWND mWindow = nullptr;
};

// Centres a dialog over its parent's client area (the desktop when it has none), a little above
// the middle, kept on the screen.
void CenterDialogWindow(HWND window);
#endif
