#pragma once
// Photoshop's own "Missing Fonts" dialog (and its missing-fonts message box) is noise while the
// plug-in is activating the fonts of the document being opened. Once per timer step the plug-in
// decides whether the active document is one whose fonts it handles; if so it finds such dialogs
// among the process's windows and closes them by posting key presses to them and their button.

#ifdef _WIN32
#include <windows.h>

// The decision of one timer step, for Photoshop's active document.
void DecideDialogSuppression();
// True when a dialog was found and closed.
bool findAndSuppressAllUnwantedDialogs();
// Finds the window (FindWindowWithMatchingTitle) and posts the key to it and to its button.
bool ForciblyCloseWindow(const wchar_t* title, const wchar_t* text, const wchar_t* buttonText, WPARAM key);
// The first child of parent whose class name contains className and whose text contains text.
HWND FindChildWindowWithThisClassAndText(HWND parent, const char* className, const wchar_t* text);
#endif
