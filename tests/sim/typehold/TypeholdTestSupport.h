#pragma once
// What the font manager tests share: a folder holding Typehold.exe, typehold-ctl.exe, the
// interface library and CoreFoundation.dll together (the plug-in loads the library from the
// core's folder), the library's entry points resolved from it, a core started and stopped per test,
// and a recorder for the library's notifications.

#include "LumorandPluginInterface.h"
#include "ScratchFolder.h"
#include "TypeholdMessage.h"

#include <windows.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The library's entry points, resolved by name.
struct GLibraryTable
{
#define LPI_TABLE_MEMBER(name, type) type name = nullptr;
    LPI_ENTRY_POINTS(LPI_TABLE_MEMBER)
#undef LPI_TABLE_MEMBER
    HMODULE module = nullptr;
    int missing = 0;

    void Resolve(HMODULE library);
};

// The folder with the core and the library (its name has spaces), made once per program.
struct GCoreLayout
{
    std::filesystem::path folder;
    GLibraryTable library;

    static GCoreLayout& Shared();
    std::wstring Program(const wchar_t* name) const { return (folder / name).wstring(); }
};

// Notifications the library delivered, in order.
class GNotificationRecorder
{
public:
    struct GEntry
    {
        std::uint32_t type = 0;
        std::int64_t value = -1;                   // font ID or byte payloads
        typehold::GCFHolder<CFTypeRef> dictionary; // dictionary payloads
    };

    static GNotificationRecorder& Shared();
    static void Callback(std::uint32_t type, const void* payload);

    void Clear();
    // Waits until the predicate holds over the entries (true) or the time is up (false).
    bool WaitFor(const std::function<bool(const std::vector<GEntry>&)>& predicate, int timeoutMs);
    std::size_t CountOf(std::uint32_t type);
    std::vector<std::int64_t> ValuesOf(std::uint32_t type);
    // The types of the notifications so far, in order.
    std::vector<std::uint32_t> Types();
    // The dictionary payloads of the notifications of the type, in order.
    std::vector<typehold::GCFHolder<CFDictionaryRef>> CopyDictionaries(std::uint32_t type);
    // The dictionary payload of the first notification of the type (retained; null when none).
    CFDictionaryRef CopyFirstDictionary(std::uint32_t type);

private:
    std::mutex mMutex;
    std::condition_variable mCondition;
    std::vector<GEntry> mEntries;
};

// A running Typehold.exe for one configuration folder.
class GCoreProcess
{
public:
    explicit GCoreProcess(std::string configFolder) : mConfigFolder(std::move(configFolder)) {}
    ~GCoreProcess();

    // Starts the core and waits until it settles (its message loop runs) and answers.
    bool Start();
    // Ends the core the hard way (TerminateProcess).
    void Kill();
    // Asks the core to exit (typehold-ctl exit), killing it when that fails.
    void Stop();
    bool Running() const;
    HANDLE Handle() const { return mProcess; }

private:
    std::string mConfigFolder;
    HANDLE mProcess = nullptr;
};

// Runs a program of the layout with arguments and returns its exit code (-1 when it did not
// start or finish in time); what it writes to its standard output goes to output when given.
int RunProgram(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = 120000,
               std::string* output = nullptr);
int RunCtl(const std::wstring& arguments, std::string* output = nullptr);

std::wstring Wide(const std::string& utf8);
// Paths passed to Windows programs, with backslashes.
std::string WindowsPath(std::string path);
// A config.json: the font folders (the test fonts when none are given) in "Font Library" (ID 1),
// the DejaVu fonts as the system workgroup (ID 2), OpenSans* in "Google Fonts" (ID 8, type 8);
// extra workgroups go between the first and the Google one, extra members at the end.
std::string ConfigJSON(const std::string& extraMembers = "", std::vector<std::string> fontFolders = {},
                       const std::string& extraWorkgroups = "");
std::string TestFontsFolder();
// The text as a JSON string, quoted.
std::string JSONString(const std::string& text);
std::string DocumentsFolder();

// The dictionaries of an array of records.
std::vector<CFDictionaryRef> Records(CFArrayRef array);
// Every occurrence of a text in the bytes, in ASCII and in UTF-16BE (the two forms of sfnt name
// strings), replaced by another of the same length; the number of replacements.
int ReplaceNameText(std::string& bytes, const std::string& from, const std::string& to);
