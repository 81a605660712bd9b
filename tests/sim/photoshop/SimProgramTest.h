#pragma once
// Runs photoshop-sim.exe (built beside the test program) on a scenario, with plug-ins from
// bin/test-plugins copied into a scratch folder; the transcript is read back for the checks.
// PSIM_TEST_FOLDER names the scratch folder in the scenario's environment.

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

inline std::filesystem::path ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

inline std::wstring Quote(const std::wstring& argument)
{
    return L"\"" + argument + L"\"";
}

class SimProgramTest : public ::testing::Test
{
protected:
    SimProgramTest() { SetEnvironmentVariableW(L"PSIM_TEST_FOLDER", mScratch.Path().c_str()); }

    void AddPlugin(const std::string& name)
    {
        std::filesystem::copy_file(ProgramFolder() / "test-plugins" / PathFromUTF8(name),
                                   PathFromUTF8(mPlugins) / PathFromUTF8(name));
    }

    // Runs the program on the scenario; the transcript is in mTranscript afterwards.
    int Run(const std::string& scenario, const std::wstring& extra = L"")
    {
        const std::string scenarioPath = mScratch.WriteFile("scenario.json", scenario);
        const std::filesystem::path transcript = mScratch.Path() / "transcript.txt";
        std::wstring commandLine = Quote((ProgramFolder() / "photoshop-sim.exe").wstring()) + L" --plugins " +
                                   Quote(PathFromUTF8(mPlugins).wstring()) + L" --scenario " +
                                   Quote(PathFromUTF8(scenarioPath).wstring()) + L" --transcript " +
                                   Quote(transcript.wstring()) + L" " + extra;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
        {
            ADD_FAILURE() << "CreateProcessW error " << GetLastError();
            return -1;
        }
        CloseHandle(process.hThread);
        if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0)
        {
            TerminateProcess(process.hProcess, 99);
            ADD_FAILURE() << "photoshop-sim did not end";
        }
        DWORD exitCode = 0;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
        mTranscript = std::filesystem::exists(transcript) ? ReadWholeFile(UTF8FromPath(transcript)) : "";
        return static_cast<int>(exitCode);
    }

    bool Has(const std::string& line) const { return mTranscript.find(line) != std::string::npos; }
    std::size_t Count(const std::string& text) const
    {
        std::size_t count = 0;
        for (std::size_t at = mTranscript.find(text); at != std::string::npos;
             at = mTranscript.find(text, at + 1))
        {
            ++count;
        }
        return count;
    }

    ScratchFolder mScratch{"photoshop-sim"};
    std::string mPlugins = mScratch.MakeFolder("plugins");
    std::string mTranscript;
};
