#include "HostVersion.h"

#include "GStringEncodings.h"
#include "PhotoshopSimVersion.h"

#include <windows.h>

#include <cstdio>

namespace
{
std::wstring Wide(const char* text)
{
    return OSMakeOSStringFromUTF8String(text);
}

// One argument quoted the way CommandLineToArgvW and the C runtime split command lines.
std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument)
    {
        if (c == L'\\')
        {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

// The languages the file's version resource exists in (1033 when it has none).
std::vector<WORD> VersionLanguages(const std::wstring& path)
{
    std::vector<WORD> languages;
    HMODULE module =
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module != nullptr)
    {
        EnumResourceLanguagesW(
            module, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), // RT_VERSION, VS_VERSION_INFO
            [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) -> BOOL
            {
                reinterpret_cast<std::vector<WORD>*>(context)->push_back(language);
                return TRUE;
            },
            reinterpret_cast<LONG_PTR>(&languages));
        FreeLibrary(module);
    }
    if (languages.empty())
    {
        languages.push_back(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    }
    return languages;
}

bool RewriteVersion(const std::wstring& path, const VersionNumbers& version, std::string& error)
{
    const std::u16string text = UTF8ToUTF16(FormatVersionNumbers(version));
    auto u16 = [](const char* value) { return UTF8ToUTF16(value); };
    const std::vector<std::uint8_t> resource =
        BuildVersionResource(version, version,
                             {{u"CompanyName", u16(PHOTOSHOP_SIM_COMPANY)},
                              {u"FileDescription", u16(PHOTOSHOP_SIM_DESCRIPTION)},
                              {u"FileVersion", text},
                              {u"InternalName", u16(PHOTOSHOP_SIM_INTERNAL_NAME)},
                              {u"OriginalFilename", u16(PHOTOSHOP_SIM_FILE_NAME)},
                              {u"ProductName", u16(PHOTOSHOP_SIM_PRODUCT)},
                              {u"ProductVersion", text}});
    const std::vector<WORD> languages = VersionLanguages(path);
    HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
    if (update == nullptr)
    {
        error = "BeginUpdateResourceW error " + std::to_string(GetLastError());
        return false;
    }
    for (const WORD language : languages)
    {
        if (!UpdateResourceW(update, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), language,
                             const_cast<std::uint8_t*>(resource.data()), static_cast<DWORD>(resource.size())))
        {
            error = "UpdateResourceW error " + std::to_string(GetLastError());
            EndUpdateResourceW(update, TRUE);
            return false;
        }
    }
    if (!EndUpdateResourceW(update, FALSE))
    {
        error = "EndUpdateResourceW error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

// The copy and the libraries beside it; removed again when the copy has ended.
class ScratchCopy
{
public:
    ~ScratchCopy()
    {
        for (auto it = mFiles.rbegin(); it != mFiles.rend(); ++it)
        {
            DeleteFileW(it->c_str());
        }
        if (!mFolder.empty())
        {
            RemoveDirectoryW(mFolder.c_str());
        }
    }

    bool Make(const std::wstring& executable, std::string& error)
    {
        wchar_t temp[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        if (length == 0 || length > MAX_PATH)
        {
            error = "GetTempPathW error " + std::to_string(GetLastError());
            return false;
        }
        const std::wstring base =
            std::wstring(temp) + L"photoshop-sim-" + std::to_wstring(GetCurrentProcessId());
        for (int attempt = 0; attempt < 100 && mFolder.empty(); ++attempt)
        {
            const std::wstring folder = base + L"-" + std::to_wstring(attempt);
            if (CreateDirectoryW(folder.c_str(), nullptr))
            {
                mFolder = folder;
            }
        }
        if (mFolder.empty())
        {
            error = "cannot create a scratch folder below the temporary folder";
            return false;
        }
        const std::wstring sourceFolder = FolderOf(executable);
        mExecutable = mFolder + L"\\" + Wide(PHOTOSHOP_SIM_FILE_NAME);
        if (!CopyFileW(executable.c_str(), mExecutable.c_str(), TRUE))
        {
            error = "CopyFileW error " + std::to_string(GetLastError());
            return false;
        }
        mFiles.push_back(mExecutable);
        // The libraries the program and the plug-ins it loads import (CoreFoundation.dll, the
        // framework library) are found beside the executable: link them, or copy them.
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((sourceFolder + L"\\*.dll").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE)
        {
            do
            {
                const std::wstring source = sourceFolder + L"\\" + data.cFileName;
                const std::wstring target = mFolder + L"\\" + data.cFileName;
                if (CreateHardLinkW(target.c_str(), source.c_str(), nullptr) ||
                    CopyFileW(source.c_str(), target.c_str(), TRUE))
                {
                    mFiles.push_back(target);
                }
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        return true;
    }

    const std::wstring& Executable() const { return mExecutable; }

private:
    std::wstring mFolder;
    std::wstring mExecutable;
    std::vector<std::wstring> mFiles;
};

int Refuse(const std::string& what)
{
    std::fprintf(stderr, "photoshop-sim: --host-version: %s\n", what.c_str());
    return 2;
}
} // namespace

std::wstring ExecutablePath()
{
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path;
}

bool ReadFileVersion(const std::wstring& path, VersionNumbers& version)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
    {
        return false;
    }
    std::vector<std::uint8_t> bytes(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, bytes.data()) ||
        !VerQueryValueW(bytes.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO))
    {
        return false;
    }
    version = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
               LOWORD(fixed->dwFileVersionLS)};
    return true;
}

int RunAsHostVersion(const VersionNumbers& version, const std::vector<std::wstring>& arguments)
{
    const std::wstring executable = ExecutablePath();
    ScratchCopy copy;
    std::string error;
    if (!copy.Make(executable, error) || !RewriteVersion(copy.Executable(), version, error))
    {
        return Refuse(error);
    }
    VersionNumbers written{};
    if (!ReadFileVersion(copy.Executable(), written) || written != version)
    {
        return Refuse("the copy's version resource does not read back as " + FormatVersionNumbers(version));
    }

    std::wstring commandLine = QuoteArgument(copy.Executable());
    for (const std::wstring& argument : arguments)
    {
        commandLine += L" " + QuoteArgument(argument);
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
    {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        {
            SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        }
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(copy.Executable().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &process))
    {
        return Refuse("CreateProcessW error " + std::to_string(GetLastError()));
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 2;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
