#include "FrameworkTestSupport.h"

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
std::string CurrentTestName()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "-" + info->name();
}
} // namespace

ScopedEnvironment::ScopedEnvironment(const char* name, const std::optional<std::string>& value)
    : mName(name), mOldValue(Get(name))
{
    Set(name, value);
}

ScopedEnvironment::~ScopedEnvironment()
{
    Set(mName.c_str(), mOldValue);
}

#ifdef _WIN32
void ScopedEnvironment::Set(const char* name, const std::optional<std::string>& value)
{
    const std::wstring wideName = PathFromUTF8(name).wstring();
    SetEnvironmentVariableW(wideName.c_str(), value ? PathFromUTF8(*value).wstring().c_str() : nullptr);
}

std::optional<std::string> ScopedEnvironment::Get(const char* name)
{
    const std::wstring wideName = PathFromUTF8(name).wstring();
    wchar_t buffer[4096];
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer, 4096);
    if (length == 0 || length >= 4096)
    {
        return std::nullopt;
    }
    return UTF8FromPath(std::filesystem::path(std::wstring(buffer, length)));
}
#else
void ScopedEnvironment::Set(const char* name, const std::optional<std::string>& value)
{
    if (value)
    {
        setenv(name, value->c_str(), 1);
    }
    else
    {
        unsetenv(name);
    }
}

std::optional<std::string> ScopedEnvironment::Get(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}
#endif

FrameworkTest::FrameworkTest()
    : mScratch(CurrentTestName()), mPreferencesFolder(UTF8FromPath(mScratch.Path() / "prefs")),
      mTranscriptPath(UTF8FromPath(mScratch.Path() / "transcript.txt")),
      mScriptPath(UTF8FromPath(mScratch.Path() / "script.txt")),
      mPreferencesVariable("LUMORAND_FRAMEWORK_PREFS_DIR", mPreferencesFolder),
      mTranscriptVariable("LUMORAND_UI_TRANSCRIPT", mTranscriptPath),
      mScriptVariable("LUMORAND_UI_SCRIPT", mScriptPath)
{
}

std::unique_ptr<LumorandPluginFramework> FrameworkTest::MakeFramework(const char* host)
{
    CFHolder<CFStringRef> hostName(MakeString(host));
    CFHolder<CFMutableDictionaryRef> details(
        MakeDictionary({{"HostApp", hostName.get()},
                        {"PluginVersion", CFSTR("22.0.4.10317")},
                        {"LumorandPluginInterfaceVersion", CFSTR("1.0.0.42")}}));
    return std::make_unique<LumorandPluginFramework>(details);
}

std::string FrameworkTest::PreferencesFile(const std::string& host) const
{
    return UTF8FromPath(mScratch.Path() / "prefs" / (host + ".plist"));
}

void FrameworkTest::WriteScript(const std::string& text) const
{
    mScratch.WriteFile("script.txt", text);
}

std::vector<std::string> FrameworkTest::Transcript() const
{
    const std::string text = ReadWholeFile(mTranscriptPath);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size())
    {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

std::vector<std::string> FrameworkTest::TranscriptLinesStartingWith(const std::string& prefix) const
{
    std::vector<std::string> found;
    for (const std::string& line : Transcript())
    {
        if (line.rfind(prefix, 0) == 0)
        {
            found.push_back(line);
        }
    }
    return found;
}

CFMutableDictionaryRef MakeDictionary(std::initializer_list<std::pair<const char*, CFTypeRef>> entries)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (const auto& [key, value] : entries)
    {
        CFHolder<CFStringRef> keyString(MakeString(key));
        CFDictionarySetValue(dictionary, keyString.get(), value);
    }
    return dictionary;
}

CFNumberRef MakeNumber(int value)
{
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &value);
}
