#include "ResponsivenessSteps.h"

#include "GStringEncodings.h"
#include "MainWindow.h"
#include "ScenarioValues.h"

#include <windows.h>

#include <map>
#include <memory>

namespace
{
using Step = ScenarioPlayer::Step;
using StepStatus = ScenarioPlayer::StepStatus;

constexpr long long kDefaultRunTimeoutMs = 60000;

// A non-negative whole number parameter; false (the step's error said) when it is not one.
bool ReadMilliseconds(Step& step, const char* name, bool required, long long& value)
{
    JsonNode node;
    if (!step.Parameter(name, node))
    {
        if (required)
        {
            step.Error(std::string("needs \"") + name + "\", a number of milliseconds");
        }
        return !required;
    }
    if (!node.is_int() || node.to_int64() < 0)
    {
        step.Error(std::string("\"") + name + "\" must be a number of milliseconds");
        return false;
    }
    value = node.to_int64();
    return true;
}

StepStatus ExpectResponsive(Step& step, Transcript& transcript, const std::string& transcriptPath)
{
    long long maxStallMs = 0;
    long long maxTotalMs = -1;
    if (!ReadMilliseconds(step, "maxStallMs", true, maxStallMs) ||
        !ReadMilliseconds(step, "maxTotalMs", false, maxTotalMs))
    {
        return StepStatus::kDone;
    }
    const UIResponsiveness& measured = MainWindowResponsiveness();
    std::vector<std::string> lines;
    ReadFileLines(transcriptPath, lines);
    const std::string longest = UIResponsiveness::Describe(measured.Longest(), lines);
    transcript.Line("responsiveness so far: longest UI-thread stall " + longest +
                    "; stalls: " + std::to_string(measured.StallCount()) + ", " +
                    std::to_string(measured.TotalStallMs()) + " ms in total");
    if (measured.Longest().ms > maxStallMs)
    {
        step.Fail("the user-interface thread stalled " + longest + ", more than " +
                  std::to_string(maxStallMs) + " ms");
    }
    if (maxTotalMs >= 0 && measured.TotalStallMs() > maxTotalMs)
    {
        step.Fail("the user-interface thread stalled " + std::to_string(measured.TotalStallMs()) +
                  " ms in total (" + std::to_string(measured.StallCount()) + " stalls), more than " +
                  std::to_string(maxTotalMs) + " ms");
    }
    return StepStatus::kDone;
}

// The programs "run" started, by step number; those not waited for are left to end on their own.
class RunningPrograms
{
public:
    explicit RunningPrograms(Transcript& transcript) : mTranscript(transcript) {}
    RunningPrograms(const RunningPrograms&) = delete;
    RunningPrograms& operator=(const RunningPrograms&) = delete;
    ~RunningPrograms()
    {
        for (const auto& [number, process] : mProcesses)
        {
            CloseHandle(process.handle);
        }
    }

    StepStatus Run(Step& step)
    {
        const auto found = mProcesses.find(step.Number());
        if (found == mProcesses.end())
        {
            return Start(step);
        }
        Process& process = found->second;
        if (WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT)
        {
            if (step.ElapsedMs() < process.timeoutMs)
            {
                return StepStatus::kAgain;
            }
            step.Fail(process.description + " still runs after " + std::to_string(process.timeoutMs) + " ms");
            return StepStatus::kDone;
        }
        DWORD exitCode = 0;
        GetExitCodeProcess(process.handle, &exitCode);
        mTranscript.Line("run " + process.description + ": exit code " + std::to_string(exitCode) +
                         " after " + std::to_string(step.ElapsedMs()) + " ms");
        JsonNode expected;
        if (step.Expectation("exitCode", expected) &&
            (!expected.is_int() || expected.to_int64() != static_cast<long long>(exitCode)))
        {
            step.Fail(process.description + " exited with " + std::to_string(exitCode) + ", expected " +
                      (expected.is_int() ? std::to_string(expected.to_int64()) : std::string("a number")));
        }
        CloseHandle(process.handle);
        mProcesses.erase(step.Number());
        return StepStatus::kDone;
    }

private:
    struct Process
    {
        HANDLE handle = nullptr;
        std::string description;
        long long timeoutMs = kDefaultRunTimeoutMs;
    };

    StepStatus Start(Step& step)
    {
        JsonNode node;
        std::string program;
        std::string arguments;
        std::string error;
        if (!step.Parameter("program", node) || !node.is_string() ||
            !ExpandEnvironment(node.to_string(), program, error))
        {
            step.Error(error.empty() ? "needs \"program\", the path of a program" : error);
            return StepStatus::kDone;
        }
        if (step.Parameter("arguments", node) &&
            (!node.is_string() || !ExpandEnvironment(node.to_string(), arguments, error)))
        {
            step.Error(error.empty() ? "\"arguments\" must be a text" : error);
            return StepStatus::kDone;
        }
        bool wait = true;
        if (step.Parameter("wait", node))
        {
            if (!node.is_bool())
            {
                step.Error("\"wait\" must be true or false");
                return StepStatus::kDone;
            }
            wait = node.to_bool();
        }
        Process process;
        if (!ReadMilliseconds(step, "timeoutMs", false, process.timeoutMs))
        {
            return StepStatus::kDone;
        }
        const std::size_t slash = program.find_last_of("\\/");
        process.description = program.substr(slash == std::string::npos ? 0 : slash + 1) +
                              (arguments.empty() ? std::string() : " " + arguments);

        std::wstring commandLine =
            L"\"" + OSMakeOSStringFromUTF8String(program) + L"\" " + OSMakeOSStringFromUTF8String(arguments);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(OSMakeOSStringFromUTF8String(program).c_str(), commandLine.data(), nullptr,
                            nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started))
        {
            step.Fail("cannot start " + process.description + " (error " + std::to_string(GetLastError()) +
                      ")");
            return StepStatus::kDone;
        }
        CloseHandle(started.hThread);
        mTranscript.Line("run " + process.description + ": process " + std::to_string(started.dwProcessId) +
                         " started");
        if (!wait)
        {
            CloseHandle(started.hProcess);
            return StepStatus::kDone;
        }
        process.handle = started.hProcess;
        mProcesses[step.Number()] = process;
        return StepStatus::kAgain;
    }

    Transcript& mTranscript;
    std::map<std::size_t, Process> mProcesses;
};
} // namespace

void RegisterResponsivenessSteps(ScenarioPlayer& player, Transcript& transcript,
                                 const std::string& transcriptPath)
{
    player.AddStep("expect-responsive", [&transcript, transcriptPath](Step& step)
                   { return ExpectResponsive(step, transcript, transcriptPath); });
    auto programs = std::make_shared<RunningPrograms>(transcript);
    player.AddStep("run", [programs](Step& step) { return programs->Run(step); });
}
