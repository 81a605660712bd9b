#include "CoreProcessLauncher.h"
#include "CoreProcessTestSupport.h"
#include "LogCapture.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
class LauncherTest : public testing::Test
{
protected:
    void SetUp() override
    {
        mScratch = std::make_unique<ScratchFolder>("launcher");
        mScratchPath = UTF8FromPath(mScratch->Path());
    }
    void TearDown() override { TerminateProcessesIn(mScratchPath); }

    // A copy of the helper core under a folder of the scratch folder; returns its path.
    std::string InstallCore(const std::string& folder, const std::string& name = "Typehold.exe")
    {
        const std::string path = mScratch->MakeFolder(folder) + "\\" + name;
        EXPECT_TRUE(CopyProgramFile(ProgramFolder() + "fm_launcher_helper.exe", path));
        return path;
    }

    static std::string Text(const std::string& corePath, const std::string& arguments)
    {
        return ScopedLaunchInfoFile::Text(corePath, arguments);
    }

    std::unique_ptr<ScratchFolder> mScratch;
    std::string mScratchPath;
    LogCapture mLog;
};
} // namespace

TEST_F(LauncherTest, LaunchesFromThePerMachineFileFirst)
{
    const std::string machineCore = InstallCore("Machine Core");
    const std::string userCore = InstallCore("User Core");
    const std::string machineText = Text(machineCore, "--lifetime-ms 30000");
    const std::string userText = Text(userCore, "--lifetime-ms 30000");
    ScopedLaunchInfoFile machine(ELaunchInfoLocation::kPerMachine, &machineText);
    ScopedLaunchInfoFile user(ELaunchInfoLocation::kPerUser, &userText);

    std::string folder = "stale";
    ASSERT_EQ(FindAndLaunchTypehold(&folder), 0);
    EXPECT_EQ(folder, FolderOfWindowsPath(machineCore));
    EXPECT_EQ(mLog.Count("Attempting to launch Typehold: \"" + machineCore + "\" --lifetime-ms 30000"), 1u);
    EXPECT_EQ(mLog.Count("Successfully launched Typehold at: " + machineCore + " --lifetime-ms 30000"), 1u);
    EXPECT_EQ(mLog.Count(userCore), 0u);
    EXPECT_EQ(mLog.Count("FindAndLaunchTypehold returning 0"), 1u);

    // The launched core is now found among the running processes.
    std::string runningFolder;
    EXPECT_EQ(GetPathToRunningProcessExe("Typehold.exe", runningFolder), 0u);
    EXPECT_EQ(runningFolder, FolderOfWindowsPath(machineCore));
}

TEST_F(LauncherTest, FallsBackToThePerUserFile)
{
    const std::string userCore = InstallCore("User Core");
    const std::string missingCore = mScratchPath + "\\Nowhere\\Typehold.exe";
    const std::string machineText = Text(missingCore, "");
    const std::string userText = Text(userCore, "--lifetime-ms 30000");
    ScopedLaunchInfoFile machine(ELaunchInfoLocation::kPerMachine, &machineText);
    ScopedLaunchInfoFile user(ELaunchInfoLocation::kPerUser, &userText);

    std::string folder;
    ASSERT_EQ(FindAndLaunchTypehold(&folder), 0);
    EXPECT_EQ(folder, FolderOfWindowsPath(userCore));
    EXPECT_EQ(mLog.Count("but the Typehold.exe was not found at the specified path (" + missingCore + ")"),
              1u);
    EXPECT_EQ(mLog.Count("GetLaunchInfoFileValues returning fail"), 1u);
    EXPECT_EQ(mLog.Count("GetLaunchInfoFileValues returning success"), 1u);
}

TEST_F(LauncherTest, WithoutArgumentsTheCommandLineEndsAfterTheQuotedPath)
{
    const std::string core = InstallCore("Core Folder");
    const std::string machineText = "typehold.path=" + core + "\n";
    ScopedLaunchInfoFile machine(ELaunchInfoLocation::kPerMachine, &machineText);
    ScopedLaunchInfoFile user(ELaunchInfoLocation::kPerUser, nullptr);

    ASSERT_EQ(FindAndLaunchTypehold(nullptr), 0);
    const auto lines = mLog.LinesContaining("Attempting to launch Typehold: ");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LogMessage(lines[0]), "Attempting to launch Typehold: \"" + core + "\" ");
}

TEST_F(LauncherTest, ACoreThatDoesNotSettleOrExitsAtOnceIsNotLaunched)
{
    const std::string core = InstallCore("Slow Core");
    ScopedLaunchInfoFile user(ELaunchInfoLocation::kPerUser, nullptr);
    {
        const std::string slowText = Text(core, "--sleep-ms 5000");
        ScopedLaunchInfoFile machine(ELaunchInfoLocation::kPerMachine, &slowText);
        std::string folder = "stale";
        EXPECT_EQ(FindAndLaunchTypehold(&folder), -1);
        EXPECT_EQ(folder, "");
        EXPECT_EQ(mLog.Count("Could not launch Typehold.exe"), 1u);
        EXPECT_EQ(mLog.Count("FindAndLaunchTypehold returning -1"), 1u);
    }
    {
        const std::string exitingText = Text(core, "--exit");
        ScopedLaunchInfoFile machine(ELaunchInfoLocation::kPerMachine, &exitingText);
        EXPECT_EQ(FindAndLaunchTypehold(nullptr), -1);
        EXPECT_EQ(mLog.Count("\"" + core + "\" --exit' already exited with error 3"), 1u);
    }
}

TEST_F(LauncherTest, WithoutLaunchInfoFilesNothingIsLaunched)
{
    ScopedLaunchInfoFile machine(ELaunchInfoLocation::kPerMachine, nullptr);
    ScopedLaunchInfoFile user(ELaunchInfoLocation::kPerUser, nullptr);
    EXPECT_EQ(FindAndLaunchTypehold(nullptr), -1);
    EXPECT_EQ(mLog.Count("Error 2 on attempt to open launch info file at: "), 2u);
    EXPECT_EQ(mLog.Count("Attempting to launch Typehold"), 0u);
}

TEST_F(LauncherTest, ARunningProcessIsFoundByNameWithoutCaseOrExtension)
{
    const std::string probe = InstallCore("Probe Folder", "PortolanFmProbe.exe");
    ASSERT_TRUE(StartAndSettle(probe, "--lifetime-ms 30000"));

    for (const char* name : {"portolanfmprobe", "PORTOLANFMPROBE.EXE", "PortolanFmProbe.exe"})
    {
        std::string folder;
        EXPECT_EQ(GetPathToRunningProcessExe(name, folder), 0u) << name;
        EXPECT_EQ(folder, FolderOfWindowsPath(probe)) << name;
    }
    std::string folder = "stale";
    EXPECT_EQ(GetPathToRunningProcessExe("PortolanFmProbe.com", folder), CoreErrorCodes::kUnknownError);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(mLog.Count("GetPathToRunningProcessExe('PortolanFmProbe.com', '') returned 352321536"), 1u);
}
