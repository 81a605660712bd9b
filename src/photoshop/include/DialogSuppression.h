#pragma once
// Photoshop's own "Missing Fonts" dialog (and its missing-fonts message box) is noise while the
// plug-in is activating the fonts of the document being opened. Once per timer step the plug-in
// decides whether the active document is one whose fonts it handles; if so it finds such dialogs
// among Photoshop's own windows (never another program's) and closes them by posting key presses
// to them and their button.

#ifdef _WIN32
#include <windows.h>

#include <string>
#include <vector>

// A top-level window and its title, as one pass over the windows found them.
struct TopLevelWindow
{
    HWND window;
    std::wstring title;
};

// The decision of one timer step, for Photoshop's active document.
void DecideDialogSuppression();
// True when a dialog was found and closed.
bool findAndSuppressAllUnwantedDialogs();
// Finds the window (as FindWindowWithMatchingTitle) and posts the key to it and to its button.
bool ForciblyCloseWindow(const wchar_t* title, const wchar_t* text, const wchar_t* buttonText, WPARAM key);
// The same among the windows of a snapshot.
bool ForciblyCloseWindow(const std::vector<TopLevelWindow>& windows, const wchar_t* title,
                         const wchar_t* text, const wchar_t* buttonText, WPARAM key);
// The top-level windows of this process (Photoshop's) in z-order, with their titles.
std::vector<TopLevelWindow> SnapshotTopLevelWindows();
// The first window of the snapshot whose title contains title and, when text is given and not empty,
// one of whose child windows' texts contains text; null when there is none.
HWND FindWindowInSnapshot(const std::vector<TopLevelWindow>& windows, const wchar_t* title,
                          const wchar_t* text);
// The first child of parent whose class name contains className and whose text contains text.
HWND FindChildWindowWithThisClassAndText(HWND parent, const char* className, const wchar_t* text);
#endif
