#include "CoreProcessTestSupport.h"

#include "ScratchFolder.h"

#include <windows.h>

#include <psapi.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace
{
std::wstring Wide(const std::string& utf8)
{
    return PathFromUTF8(utf8).wstring();
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(PathFromUTF8(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
    {
        throw std::runtime_error("cannot write " + path);
    }
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}
} // namespace

std::string ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return UTF8FromPath(std::filesystem::path(path).parent_path()) + "\\";
}

bool CopyProgramFile(const std::string& from, const std::string& to)
{
    return CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE) != 0;
}

int TerminateProcessesIn(const std::string& folder)
{
    const std::wstring widePrefix = Wide(folder);
    std::vector<DWORD> ids(4096);
    DWORD bytes = 0;
    if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes))
    {
        return 0;
    }
    ids.resize(bytes / sizeof(DWORD));
    int ended = 0;
    for (const DWORD id : ids)
    {
        HANDLE process = OpenProcess(
            PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (process == nullptr)
        {
            continue;
        }
        wchar_t path[MAX_PATH] = {};
        if (GetModuleFileNameExW(process, nullptr, path, MAX_PATH) != 0 &&
            StartsWithNoCase(path, widePrefix) && TerminateProcess(process, 1))
        {
            WaitForSingleObject(process, 5000);
            ++ended;
        }
        CloseHandle(process);
    }
    return ended;
}

bool StartAndSettle(const std::string& executable, const std::string& arguments)
{
    std::wstring commandLine = Wide(MakeLaunchCommandLine(executable, arguments));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(Wide(executable).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
    {
        return false;
    }
    const bool settled = WaitForInputIdle(info.hProcess, 10000) == 0;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return settled;
}

ScopedLaunchInfoFile::ScopedLaunchInfoFile(ELaunchInfoLocation location, const std::string* text)
{
    if (!GetLaunchInfoFilePath(location, mPath))
    {
        throw std::runtime_error("no application-data folder");
    }
    const std::filesystem::path path = PathFromUTF8(mPath);
    mHadFile = std::filesystem::exists(path);
    if (mHadFile)
    {
        mPrevious = ReadWholeFile(mPath);
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (text != nullptr)
    {
        std::filesystem::create_directories(path.parent_path());
        WriteWholeFile(mPath, *text);
    }
}

ScopedLaunchInfoFile::~ScopedLaunchInfoFile()
{
    std::error_code ignored;
    std::filesystem::remove(PathFromUTF8(mPath), ignored);
    if (mHadFile)
    {
        try
        {
            WriteWholeFile(mPath, mPrevious);
        }
        catch (const std::exception&)
        {
        }
    }
}

std::string ScopedLaunchInfoFile::Text(const std::string& corePath, const std::string& arguments)
{
    return "# Lumorand core\r\ntypehold.path=" + corePath + "\r\ntypehold.args=" + arguments + "\r\n";
}
