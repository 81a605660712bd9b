#pragma once
// Finding and launching the font manager's core process, Typehold.exe.
//
// The core is found by the executable name of a running process. When it is not running, its
// launch-info file ("com.lumorand.Typehold-LaunchInfo.conf" in the folder "Lumorand" under the
// per-machine, then the per-user, application-data folder) says where its executable is
// ("typehold.path") and how to start it ("typehold.args"). A launch counts only when the process
// settles (waits for input) within 2000 ms and is still running then.
//
// The text rules (launch-info values, process-name matching, the command line) are portable;
// the process search and the launch are Windows only.

#include "GErrorCodes.h"

constexpr const char* kTypeholdExecutableName = "Typehold.exe";
constexpr const char* kLaunchInfoFolderName = "Lumorand";
constexpr const char* kLaunchInfoFileName = "com.lumorand.Typehold-LaunchInfo.conf";
constexpr const char* kLaunchInfoPathKey = "typehold.path";
constexpr const char* kLaunchInfoArgumentsKey = "typehold.args";
// How long a launched core may take to settle.
constexpr unsigned kLaunchSettleTimeoutMs = 2000;

// --- Portable text rules ----------------------------------------------------------------------------

// The value of a key in launch-info text: from the first occurrence of the key (case-sensitive,
// anywhere in the text), the value starts after the first "=" that follows and ends before the
// first carriage return that follows, else before the first line feed, else at the end of the
// text. Nothing when there is no "=" or the end does not lie after it. The text ends at its first
// NUL, as the file's text does.
bool ExtractLaunchInfoValue(const TUTF8String& text, const char* key, TUTF8String& outValue);

// Both values of launch-info text; a key that yields nothing leaves its output empty.
void ParseLaunchInfoText(const TUTF8String& text, TUTF8String& outCorePath, TUTF8String& outArguments);

// True when a process's executable base name is the wanted name, or (for a wanted name without a
// ".") the wanted name with ".exe", compared without regard to case.
bool ProcessNameMatches(const TUTF8String& executableBaseName, const TUTF8String& wantedName);

// The command line of a launch: the quoted executable path, a space, the arguments.
TUTF8String MakeLaunchCommandLine(const TUTF8String& executablePath, const TUTF8String& arguments);

// The folder part of a Windows path, up to and including its last backslash (or slash); empty
// when there is none.
TUTF8String FolderOfWindowsPath(const TUTF8String& path);

// --- Windows ----------------------------------------------------------------------------------------

enum class ELaunchInfoLocation
{
    kPerMachine, // the application-data folder shared by all users
    kPerUser,    // the current user's local application-data folder
};

// 0 and the folder (ending in a backslash) of the first running process, in ascending order of
// process ID, whose executable has that name; CoreErrorCodes::kUnknownError when there is none
// or the processes cannot be listed.
TErrorCode GetPathToRunningProcessExe(const char* executableName, TUTF8String& outFolder);

// The full path of the launch-info file at a location; false when the folder cannot be had.
bool GetLaunchInfoFilePath(ELaunchInfoLocation location, TUTF8String& outPath);

// Reads the launch-info file at a location. True when it was read and the core path names an
// existing file. Both outputs are cleared first.
bool GetLaunchInfoFileValues(ELaunchInfoLocation location, TUTF8String& outCorePath,
                             TUTF8String& outArguments);

// One launch attempt: true when the process started, settled within kLaunchSettleTimeoutMs and is
// still running.
bool LaunchTypehold(const TUTF8String& corePath, const TUTF8String& arguments);

// Launches the core from the per-machine launch-info file, else from the per-user one. 0 when it
// was launched (outFolder, when given, receives its folder ending in a backslash), -1 otherwise
// (outFolder is cleared).
TSInt32 FindAndLaunchTypehold(TUTF8String* outFolder);
