#include "CommandLine.h"

#include "AlertTexts.h"
#include "VersionResource.h"

#include <charconv>

const char* const kSimUsage =
    "usage: photoshop-sim --plugins <folder> --scenario <file.json> --transcript <file>\n"
    "                     [--host-version a.b.c.d] [--timer-ms N] [--language en|de|fr|es|pt|it|ja]\n"
    "  Loads the plug-ins of the folder the way Photoshop does and plays the scenario in the main\n"
    "  window's message loop (WM_TIMER every N ms, 16 by default), writing what happened to the\n"
    "  transcript. --host-version runs a copy of this program whose version resource says a.b.c.d.\n"
    "  --language: the language of Photoshop's missing-fonts dialog (English by default).\n"
    "  Exit code: 0 all expectations held, 1 an expectation failed, 2 usage or scenario errors,\n"
    "  3 the process crashed inside a plug-in.\n";

bool ParseSimOptions(const std::vector<std::string>& arguments, SimOptions& options, std::string& error)
{
    options = SimOptions{};
    for (std::size_t i = 0; i < arguments.size(); ++i)
    {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h")
        {
            options.mHelp = true;
            return true;
        }
        std::string* target = nullptr;
        if (option == "--plugins")
        {
            target = &options.mPluginsFolder;
        }
        else if (option == "--scenario")
        {
            target = &options.mScenarioPath;
        }
        else if (option == "--transcript")
        {
            target = &options.mTranscriptPath;
        }
        else if (option == "--host-version")
        {
            target = &options.mHostVersion;
        }
        else if (option == "--language")
        {
            target = &options.mLanguage;
        }
        else if (option != "--timer-ms")
        {
            error = "unknown argument '" + option + "'";
            return false;
        }
        if (i + 1 >= arguments.size() || arguments[i + 1].empty())
        {
            error = option + " needs a value";
            return false;
        }
        const std::string& value = arguments[++i];
        if (target != nullptr)
        {
            *target = value;
            continue;
        }
        unsigned milliseconds = 0;
        const auto result = std::from_chars(value.data(), value.data() + value.size(), milliseconds);
        if (result.ec != std::errc() || result.ptr != value.data() + value.size() || milliseconds == 0 ||
            milliseconds > 60000)
        {
            error = "--timer-ms needs a number of milliseconds from 1 to 60000, not '" + value + "'";
            return false;
        }
        options.mTimerMs = milliseconds;
    }
    VersionNumbers version{};
    if (!options.mHostVersion.empty() && !ParseVersionNumbers(options.mHostVersion, version))
    {
        error = "--host-version needs a version a.b.c.d (numbers up to 65535), not '" + options.mHostVersion +
                "'";
        return false;
    }
    if (FindAlertLanguage(options.mLanguage) == nullptr)
    {
        error = "--language needs one of " + AlertLanguageCodes() + ", not '" + options.mLanguage + "'";
        return false;
    }
    for (const auto& [value, name] :
         {std::pair{&options.mPluginsFolder, "--plugins"}, std::pair{&options.mScenarioPath, "--scenario"},
          std::pair{&options.mTranscriptPath, "--transcript"}})
    {
        if (value->empty())
        {
            error = std::string(name) + " is required";
            return false;
        }
    }
    return true;
}
