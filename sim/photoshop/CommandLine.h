#pragma once
// photoshop-sim's command line:
//   photoshop-sim --plugins <folder> --scenario <file.json> --transcript <file>
//                 [--host-version a.b.c.d] [--timer-ms N]
//                 [--language en|de|fr|es|pt|it|ja]

#include <string>
#include <vector>

struct SimOptions
{
    std::string mPluginsFolder;
    std::string mScenarioPath;
    std::string mTranscriptPath;
    std::string mHostVersion; // empty: this executable's own version
    unsigned mTimerMs = 16;
    std::string mLanguage = "en"; // of the missing-fonts dialog (AlertTexts.h)
    bool mHelp = false;
};

extern const char* const kSimUsage;

// The arguments after the program name. False with the reason for a usage error.
bool ParseSimOptions(const std::vector<std::string>& arguments, SimOptions& options, std::string& error);
