// The exported class: every call goes to the object's GFrameworkSession, the static preference
// calls to the process-wide state.
#include "LumorandPluginFramework.h"

#include "GFrameworkSession.h"

namespace
{
GFrameworkSession& Session(void* impl)
{
    return *static_cast<GFrameworkSession*>(impl);
}
} // namespace

LumorandPluginFramework::LumorandPluginFramework(CFDictionaryRef details)
    : mImpl(new GFrameworkSession(details))
{
}

LumorandPluginFramework::~LumorandPluginFramework()
{
    delete static_cast<GFrameworkSession*>(mImpl);
}

bool LumorandPluginFramework::GetPreferenceForKey(CFStringRef key)
{
    return GFrameworkSession::GetBooleanPreference(key);
}

void LumorandPluginFramework::SetPreferenceForKey(CFStringRef key, bool value)
{
    GFrameworkSession::SetBooleanPreference(key, value);
}

std::int32_t LumorandPluginFramework::GetLongPreferenceForKey(CFStringRef key)
{
    return GFrameworkSession::GetNumberPreference(key);
}

void LumorandPluginFramework::SetLongPreferenceForKey(CFStringRef key, std::int32_t value)
{
    GFrameworkSession::SetNumberPreference(key, value);
}

CFStringRef LumorandPluginFramework::GetStringPreferenceForKey(CFStringRef key)
{
    return GFrameworkSession::CopyStringPreference(key);
}

void LumorandPluginFramework::SetStringPreferenceForKey(CFStringRef key, CFStringRef value)
{
    GFrameworkSession::SetStringPreference(key, value);
}

bool LumorandPluginFramework::DoPreferencesExist()
{
    return GFrameworkSession::PreferencesExist();
}

CFStringRef LumorandPluginFramework::LocalizedString(std::int32_t number)
{
    return GFrameworkSession::CopyLocalizedString(number);
}

std::int32_t LumorandPluginFramework::ShowMessageBox(std::int32_t titleNumber, std::int32_t textNumber,
                                                     std::int32_t type)
{
    return Session(mImpl).ShowMessageBox(titleNumber, textNumber, type);
}

std::int32_t LumorandPluginFramework::ShowMessageBox(CFStringRef title, CFStringRef message,
                                                     std::int32_t type)
{
    return Session(mImpl).ShowMessageBox(title, message, type);
}

void LumorandPluginFramework::ShowAboutBox()
{
    Session(mImpl).ShowAboutBox();
}

void LumorandPluginFramework::ShowPreferences()
{
    Session(mImpl).ShowPreferences();
}

std::int32_t LumorandPluginFramework::ShowResolveFonts(CFArrayRef problemFonts)
{
    return Session(mImpl).ShowResolveFonts(problemFonts);
}

std::int32_t LumorandPluginFramework::ShowCommandBox(CFDictionaryRef input, std::int32_t* selectedWorkgroup)
{
    return Session(mImpl).ShowCommandBox(input, selectedWorkgroup);
}

std::int32_t LumorandPluginFramework::AskForOneString(CFStringRef title, CFStringRef prompt,
                                                      CFStringRef initialText, CFStringRef* answer)
{
    return Session(mImpl).AskForOneString(title, prompt, initialText, answer);
}

CFStringRef LumorandPluginFramework::GetHostAppDisplayName()
{
    return Session(mImpl).CopyHostAppDisplayName();
}

void LumorandPluginFramework::SetParentWindowForUi(void* window)
{
    Session(mImpl).SetParentWindow(window);
}

void LumorandPluginFramework::UpdatePluginDetails(CFDictionaryRef details)
{
    Session(mImpl).UpdateDetails(details);
}
