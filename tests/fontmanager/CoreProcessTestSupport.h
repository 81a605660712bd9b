#pragma once
// Windows helpers of the tests that launch stand-in core processes: program files beside the
// test, launch-info files in the Wine prefix, and the end of the processes a test started.

#include "CoreProcessLauncher.h"

#include <string>

// The folder of the running test program, ending in a backslash.
std::string ProgramFolder();

// Copies a file; false when it cannot be copied.
bool CopyProgramFile(const std::string& from, const std::string& to);

// Ends every process whose executable lies in the folder and waits for it; returns how many.
int TerminateProcessesIn(const std::string& folder);

// Starts a program and waits until it is idle; true when it runs.
bool StartAndSettle(const std::string& executable, const std::string& arguments);

// A launch-info file at a location for the life of the object (none when text is null); what was
// there before comes back.
class ScopedLaunchInfoFile
{
public:
    ScopedLaunchInfoFile(ELaunchInfoLocation location, const std::string* text);
    ~ScopedLaunchInfoFile();
    ScopedLaunchInfoFile(const ScopedLaunchInfoFile&) = delete;
    ScopedLaunchInfoFile& operator=(const ScopedLaunchInfoFile&) = delete;

    // A launch-info text for an executable and its arguments, with CRLF line ends.
    static std::string Text(const std::string& corePath, const std::string& arguments);

private:
    std::string mPath;
    bool mHadFile = false;
    std::string mPrevious;
};
