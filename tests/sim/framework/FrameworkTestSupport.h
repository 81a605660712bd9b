#pragma once
// A fixture for the framework library's tests: a scratch folder of the test's own holding the
// preferences folder, the UI script and the transcript, named to the library through its
// environment variables for the life of the test.

#include "CFTestSupport.h"
#include "LumorandPluginFramework.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Sets an environment variable (in the process's environment block, where the library reads it)
// and puts the old value back at the end of the scope.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    static void Set(const char* name, const std::optional<std::string>& value);
    static std::optional<std::string> Get(const char* name);

private:
    std::string mName;
    std::optional<std::string> mOldValue;
};

class FrameworkTest : public testing::Test
{
protected:
    FrameworkTest();

    // A framework object for the host (it becomes the current host), with a plug-in version and
    // an interface version in its details.
    static std::unique_ptr<LumorandPluginFramework> MakeFramework(const char* host = "PhotoshopCC2020");

    std::string PreferencesFile(const std::string& host) const;
    void WriteScript(const std::string& text) const;
    // The transcript's lines (without line ends).
    std::vector<std::string> Transcript() const;
    // The transcript lines that start with the text.
    std::vector<std::string> TranscriptLinesStartingWith(const std::string& prefix) const;

    ScratchFolder mScratch;
    std::string mPreferencesFolder;
    std::string mTranscriptPath;
    std::string mScriptPath;
    ScopedEnvironment mPreferencesVariable;
    ScopedEnvironment mTranscriptVariable;
    ScopedEnvironment mScriptVariable;
};

// A mutable dictionary built from string keys and Core Foundation values.
CFMutableDictionaryRef MakeDictionary(std::initializer_list<std::pair<const char*, CFTypeRef>> entries);
CFNumberRef MakeNumber(int value);
