// photoshop-sim: a scriptable Photoshop stand-in that hosts automation plug-ins headless.
// See CommandLine.h for the command line and BasicSteps.h for the scenario steps.

#include "BasicSteps.h"
#include "CommandLine.h"
#include "DocumentSteps.h"
#include "GStringEncodings.h"
#include "HostVersion.h"
#include "MainWindow.h"
#include "PanelSteps.h"
#include "ResponsivenessSteps.h"
#include "ScenarioValues.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>

namespace
{
PhotoshopHost* sHost = nullptr;

// A crash inside a plug-in ends the run with exit code 3, after a last transcript line that says
// which call it happened in.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception)
{
    char line[512];
    const std::string call = sHost != nullptr ? sHost->CurrentCallDescription() : std::string();
    std::snprintf(line, sizeof line, "CRASH exception 0x%08lx at %p%s%s",
                  static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
                  exception->ExceptionRecord->ExceptionAddress, call.empty() ? "" : " during ", call.c_str());
    if (sHost != nullptr)
    {
        sHost->GetTranscript().Line(line);
    }
    std::fprintf(stderr, "%s\n", line);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Where the machine's own fonts are, as Wine sees them: the Debian fonts of the host system and
// the Windows font folder of the prefix.
std::vector<std::string> MachineFontFolders()
{
    std::vector<std::string> folders = {"Z:\\usr\\share\\fonts"};
    wchar_t windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
    {
        folders.push_back(OSMakeUTF8StringFromOSString(windows) + "\\Fonts");
    }
    return folders;
}

std::vector<std::wstring> WideArguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; list != nullptr && i < count; ++i)
    {
        arguments.emplace_back(list[i]);
    }
    LocalFree(list);
    return arguments;
}
} // namespace

int main()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    const std::vector<std::wstring> wideArguments = WideArguments();
    std::vector<std::string> arguments;
    for (const std::wstring& argument : wideArguments)
    {
        arguments.push_back(OSMakeUTF8StringFromOSString(argument));
    }
    SimOptions options;
    std::string error;
    if (!ParseSimOptions(arguments, options, error))
    {
        std::fprintf(stderr, "photoshop-sim: %s\n%s", error.c_str(), kSimUsage);
        return 2;
    }
    if (options.mHelp)
    {
        std::printf("%s", kSimUsage);
        return 0;
    }
    if (!options.mHostVersion.empty())
    {
        VersionNumbers version{};
        ParseVersionNumbers(options.mHostVersion, version);
        std::vector<std::wstring> rest;
        for (std::size_t i = 0; i < wideArguments.size(); ++i)
        {
            if (wideArguments[i] == L"--host-version")
            {
                ++i;
                continue;
            }
            rest.push_back(wideArguments[i]);
        }
        return RunAsHostVersion(version, rest);
    }

    Transcript transcript;
    if (!transcript.Open(options.mTranscriptPath))
    {
        std::fprintf(stderr, "photoshop-sim: cannot write the transcript '%s'\n",
                     options.mTranscriptPath.c_str());
        return 2;
    }
    transcript.SetEcho(true);
    VersionNumbers running{};
    const std::string version =
        ReadFileVersion(ExecutablePath(), running) ? FormatVersionNumbers(running) : "(no version resource)";
    transcript.Line("photoshop-sim " + version + " (process " + std::to_string(GetCurrentProcessId()) + ")");

    PhotoshopHost host(transcript);
    sHost = &host;
    SetUnhandledExceptionFilter(ReportCrash);
    ScenarioPlayer player(transcript);
    player.SetFailureSource([&host] { return host.FailureCount(); });
    SimSession session{host, options.mPluginsFolder};
    RegisterBasicSteps(player, session);
    RegisterDocumentSteps(player, session, MachineFontFolders(), *FindAlertLanguage(options.mLanguage));
    RegisterResponsivenessSteps(player, transcript, options.mTranscriptPath);
    RegisterPanelSteps(player, session);
    if (!player.Load(options.mScenarioPath))
    {
        return 2;
    }
    SetResponsivenessSources([&transcript] { return transcript.LineCount(); },
                             [&host] { return host.CurrentCallDescription(); });
    const int exitCode = RunMainWindow(player, options.mTimerMs);
    // The last line of every transcript: how responsive the user-interface thread stayed.
    std::vector<std::string> lines;
    ReadFileLines(options.mTranscriptPath, lines);
    transcript.Line(MainWindowResponsiveness().Summary(lines));
    sHost = nullptr;
    return exitCode;
}
