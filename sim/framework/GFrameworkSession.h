#pragma once
// The state behind one LumorandPluginFramework object (its details and the parent window of its
// dialogs) and the dialogs it shows, plus the state of the whole process: the current host
// application (the "HostApp" of the most recently created object, "Default" before any), the
// preference store and the UI script.
//
// No dialog is ever a window: each one is written to the transcript and answered from the UI
// script, or takes its default answer (message box: the first button; resolve fonts, command box
// and text prompt: cancelled).

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

#include <vector>

class GPreferenceStore;

class GFrameworkSession
{
public:
    explicit GFrameworkSession(CFDictionaryRef details);
    ~GFrameworkSession();
    GFrameworkSession(const GFrameworkSession&) = delete;
    GFrameworkSession& operator=(const GFrameworkSession&) = delete;

    // Process-wide ---------------------------------------------------------------------------
    static TUTF8String CurrentHost();
    static GPreferenceStore& Preferences();

    // Preferences of the current host. A value of another type than asked for reads as absent.
    static bool GetBooleanPreference(CFStringRef key);
    static void SetBooleanPreference(CFStringRef key, bool value);
    static TSInt32 GetNumberPreference(CFStringRef key);
    static void SetNumberPreference(CFStringRef key, TSInt32 value);
    // A new string, or null.
    static CFStringRef CopyStringPreference(CFStringRef key);
    // A null value removes the preference.
    static void SetStringPreference(CFStringRef key, CFStringRef value);
    static bool PreferencesExist();

    // A new string with the text of a number, or null.
    static CFStringRef CopyLocalizedString(TSInt32 number);

    // This object ------------------------------------------------------------------------------
    // A new string, or null when the details name no host.
    CFStringRef CopyHostAppDisplayName() const;
    void SetParentWindow(void* window) { mParentWindow = window; }
    // Adds (or replaces) the entries; a new "HostApp" of the most recent object becomes the
    // current host.
    void UpdateDetails(CFDictionaryRef details);

    TSInt32 ShowMessageBox(TSInt32 titleNumber, TSInt32 textNumber, TSInt32 type);
    TSInt32 ShowMessageBox(CFStringRef title, CFStringRef text, TSInt32 type);
    void ShowAboutBox();
    void ShowPreferences();
    TSInt32 ShowResolveFonts(CFArrayRef problemFonts);
    TSInt32 ShowCommandBox(CFDictionaryRef input, TSInt32* selectedWorkgroup);
    TSInt32 AskForOneString(CFStringRef title, CFStringRef prompt, CFStringRef initialText,
                            CFStringRef* answer);

private:
    // " parent=<window class>" when a parent window was given, otherwise nothing.
    TUTF8String ParentPart() const;
    // The button pressed: the script's answer when the box has that button, otherwise 1 (with a
    // note added to notes).
    TSInt32 AnswerMessageBox(TSInt32 type, TUTF8String& buttonsPart, std::vector<TUTF8String>& notes);
    TUTF8String DetailWord(CFStringRef key) const;

    CFMutableDictionaryRef mDetails = nullptr;
    void* mParentWindow = nullptr;
};
