#pragma once
// The font manager's plug-in framework library, LumorandPluginFrameworkx64.dll: the C++ class
// LumorandPluginFramework it exports. Preferences, localized strings, message boxes and the
// plug-in's dialogs come from it. The plug-in imports the class (delay-loaded, so that a missing
// library leaves the plug-in loaded) and reaches it only through LPFInterface.
//
// The object holds one pointer to the library's own state, so its size is fixed for both sides.
// Preferences belong to the host application named in the details dictionary of the most recent
// construction ("HostApp"); the static preference calls use that host.

#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>

#if defined(_WIN32)
#if defined(LUMORAND_FRAMEWORK_BUILD)
#define LUMORAND_FRAMEWORK_API __declspec(dllexport)
#else
#define LUMORAND_FRAMEWORK_API __declspec(dllimport)
#endif
#else
#define LUMORAND_FRAMEWORK_API __attribute__((visibility("default")))
#endif

constexpr const char* kLumorandFrameworkLibraryName = "LumorandPluginFrameworkx64.dll";

// Message box types: 0 one button (OK), 2 two buttons (the first is OK or Yes). The result of a
// message box is the button pressed, 1 for the first.
enum LumorandMessageBoxType : std::int32_t
{
    kLumorandMessageBoxOK = 0,
    kLumorandMessageBoxTwoButtons = 2,
};

class LUMORAND_FRAMEWORK_API LumorandPluginFramework
{
public:
    // details: "HostApp", "PluginVersion", "LumorandPluginInterfaceVersion" (each optional).
    explicit LumorandPluginFramework(CFDictionaryRef details);
    virtual ~LumorandPluginFramework();

    LumorandPluginFramework(const LumorandPluginFramework&) = delete;
    LumorandPluginFramework& operator=(const LumorandPluginFramework&) = delete;

    // Preferences of the current host application. A missing yes/no preference reads as false, a
    // missing number as 0, a missing text as null. Every change is written to disk at once.
    static bool GetPreferenceForKey(CFStringRef key);
    static void SetPreferenceForKey(CFStringRef key, bool value);
    static std::int32_t GetLongPreferenceForKey(CFStringRef key);
    static void SetLongPreferenceForKey(CFStringRef key, std::int32_t value);
    // A new string (the caller releases it), or null.
    CFStringRef GetStringPreferenceForKey(CFStringRef key);
    void SetStringPreferenceForKey(CFStringRef key, CFStringRef value);
    // Whether the current host had preferences when the newest framework object was made: values
    // stored since (a first run's first values) do not count.
    bool DoPreferencesExist();

    // The localized string of a number: a new string (the caller releases it), or null for an
    // unknown number.
    CFStringRef LocalizedString(std::int32_t number);

    // Message boxes; the result is the button pressed (1 for the first).
    std::int32_t ShowMessageBox(std::int32_t titleNumber, std::int32_t textNumber, std::int32_t type);
    std::int32_t ShowMessageBox(CFStringRef title, CFStringRef message, std::int32_t type);

    void ShowAboutBox();
    void ShowPreferences();
    // The resolve-fonts dialog over an array of problem font records (mutable dictionaries with
    // "PostScriptName" and "PossibleReplacements"). For each font the user resolves, the record
    // receives "MatchedFont": the chosen entry of its "PossibleReplacements". The result is 1
    // when the user confirmed, 0 when cancelled.
    std::int32_t ShowResolveFonts(CFArrayRef problemFonts);
    // The command box: input "Workgroups", "CurrentWorkgroupID", "ButtonsEnabled", "IsOnline".
    // The result is the command chosen (2 about, 3 preferences, 4 collect for output, 5 make a
    // document set, 6 check document fonts, -1 cancelled); selectedWorkgroup is in/out.
    std::int32_t ShowCommandBox(CFDictionaryRef input, std::int32_t* selectedWorkgroup);
    // Asks for one line of text: 1 and a new string in answer when confirmed, 0 when cancelled.
    std::int32_t AskForOneString(CFStringRef title, CFStringRef prompt, CFStringRef initialText,
                                 CFStringRef* answer);

    // The host application's name for the user ("Adobe Photoshop 2020"): a new string, or null.
    CFStringRef GetHostAppDisplayName();
    void SetParentWindowForUi(void* window);
    // Adds the entries of the dictionary to the plug-in details ("FontManager", ...).
    void UpdatePluginDetails(CFDictionaryRef details);

private:
    void* mImpl;
};
