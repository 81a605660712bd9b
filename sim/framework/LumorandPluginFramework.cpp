// The exported class: every call goes to the object's GFrameworkSession, the static preference
// calls to the process-wide state.
#include "LumorandPluginFramework.h"

#include "GFrameworkPlatform.h"
#include "GFrameworkSession.h"

#include <stdexcept>

namespace
{
GFrameworkSession& Session(void* impl)
{
    return *static_cast<GFrameworkSession*>(impl);
}

// LUMORAND_FRAMEWORK_FAULT=throw makes every preference call throw, as a framework that fails
// inside itself would: the plug-in must not let that reach its host.
void FailWhenAsked()
{
    TUTF8String fault;
    if (GFrameworkPlatform::GetEnvironment("LUMORAND_FRAMEWORK_FAULT", fault) && fault == "throw")
    {
        throw std::runtime_error("the preference store failed (LUMORAND_FRAMEWORK_FAULT=throw)");
    }
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
    FailWhenAsked();
    return GFrameworkSession::GetBooleanPreference(key);
}

void LumorandPluginFramework::SetPreferenceForKey(CFStringRef key, bool value)
{
    FailWhenAsked();
    GFrameworkSession::SetBooleanPreference(key, value);
}

std::int32_t LumorandPluginFramework::GetLongPreferenceForKey(CFStringRef key)
{
    FailWhenAsked();
    return GFrameworkSession::GetNumberPreference(key);
}

void LumorandPluginFramework::SetLongPreferenceForKey(CFStringRef key, std::int32_t value)
{
    FailWhenAsked();
    GFrameworkSession::SetNumberPreference(key, value);
}

CFStringRef LumorandPluginFramework::GetStringPreferenceForKey(CFStringRef key)
{
    FailWhenAsked();
    return GFrameworkSession::CopyStringPreference(key);
}

void LumorandPluginFramework::SetStringPreferenceForKey(CFStringRef key, CFStringRef value)
{
    FailWhenAsked();
    GFrameworkSession::SetStringPreference(key, value);
}

bool LumorandPluginFramework::DoPreferencesExist()
{
    FailWhenAsked();
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
