#include "GDocumentFiles.h"

#include "GFileSystem.h"
#include "GFontText.h"

#include <windows.h>

#include <atomic>
#include <filesystem>

namespace typehold
{
namespace
{
std::atomic<unsigned> sReplacementCounter{0};

HANDLE AsHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::string WindowsError(const char* what, DWORD code)
{
    return std::string(what) + " (Windows error " + std::to_string(code) + ")";
}

bool WidePath(const std::string& utf8, std::wstring& wide)
{
    std::filesystem::path path;
    if (!GFontText::PathFromUTF8(utf8, path))
    {
        return false;
    }
    wide = path.wstring();
    return true;
}
} // namespace

GDocumentFile::~GDocumentFile()
{
    Close();
}

TErrorCode GDocumentFile::Open(const std::string& path, std::string& error)
{
    Close();
    std::wstring wide;
    if (!WidePath(path, wide))
    {
        error = "the path is not valid UTF-8";
        return CoreErrorCodes::kInvalidParam;
    }
    HANDLE file =
        CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        const DWORD code = GetLastError();
        error = WindowsError("cannot open the document", code);
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? GFileSystem::kFileNotFound
                                                                            : CoreErrorCodes::kError;
    }
    LARGE_INTEGER size{};
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !GetFileSizeEx(file, &size))
    {
        error = "not a regular file";
        CloseHandle(file);
        return CoreErrorCodes::kError;
    }
    mHandle = reinterpret_cast<std::intptr_t>(file);
    mSize = static_cast<TUInt64>(size.QuadPart);
    return CoreErrorCodes::kSuccess;
}

void GDocumentFile::Close()
{
    if (mHandle != -1)
    {
        CloseHandle(AsHandle(mHandle));
        mHandle = -1;
    }
    mSize = 0;
}

bool GDocumentFile::ReadAt(TUInt64 offset, void* buffer, std::size_t count)
{
    if (mHandle == -1 || offset > mSize || count > mSize - offset)
    {
        return false;
    }
    auto* bytes = static_cast<char*>(buffer);
    while (count > 0)
    {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD part = count > 0x10000000u ? 0x10000000u : static_cast<DWORD>(count);
        DWORD got = 0;
        if (!ReadFile(AsHandle(mHandle), bytes, part, &got, &at) || got == 0)
        {
            return false;
        }
        bytes += got;
        offset += got;
        count -= got;
    }
    return true;
}

GReplacementFile::~GReplacementFile()
{
    Discard();
}

TErrorCode GReplacementFile::Create(const std::string& document, std::string& error)
{
    Discard();
    mDocument = document;
    mTemporary = document + ".xmp-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(sReplacementCounter.fetch_add(1)) + ".tmp";
    mFailed = false;
    mReplaced = false;
    std::wstring wide;
    if (!WidePath(mTemporary, wide))
    {
        error = "the path is not valid UTF-8";
        return CoreErrorCodes::kInvalidParam;
    }
    HANDLE file =
        CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        error = WindowsError(("cannot create the temporary file " + mTemporary).c_str(), GetLastError());
        return CoreErrorCodes::kError;
    }
    mHandle = reinterpret_cast<std::intptr_t>(file);
    return CoreErrorCodes::kSuccess;
}

bool GReplacementFile::Write(const void* bytes, std::size_t count)
{
    const auto* next = static_cast<const char*>(bytes);
    while (!mFailed && count > 0)
    {
        const DWORD part = count > 0x10000000u ? 0x10000000u : static_cast<DWORD>(count);
        DWORD written = 0;
        if (mHandle == -1 || !WriteFile(AsHandle(mHandle), next, part, &written, nullptr) || written == 0)
        {
            mFailed = true;
            break;
        }
        next += written;
        count -= written;
    }
    return !mFailed;
}

TErrorCode GReplacementFile::Finish(std::string& error)
{
    if (mHandle == -1 || mFailed)
    {
        error = "the temporary file " + mTemporary + " could not be written";
        return CoreErrorCodes::kError;
    }
    const bool flushed = FlushFileBuffers(AsHandle(mHandle)) != 0;
    const DWORD code = GetLastError();
    CloseHandle(AsHandle(mHandle));
    mHandle = -1;
    if (!flushed)
    {
        mFailed = true;
        error = WindowsError(("cannot flush the temporary file " + mTemporary).c_str(), code);
        return CoreErrorCodes::kError;
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode GReplacementFile::Replace(std::string& error)
{
    std::wstring from;
    std::wstring to;
    if (mHandle != -1 || mFailed || mTemporary.empty() || !WidePath(mTemporary, from) ||
        !WidePath(mDocument, to))
    {
        error = "the temporary file " + mTemporary + " is not finished";
        return CoreErrorCodes::kError;
    }
    // A reader that holds the document open without sharing deletion blocks the rename while it
    // reads: try for about a second.
    DWORD code = 0;
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        {
            mReplaced = true;
            return CoreErrorCodes::kSuccess;
        }
        code = GetLastError();
        if (code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION && code != ERROR_ACCESS_DENIED)
        {
            break;
        }
        Sleep(20);
    }
    error = WindowsError(("cannot replace " + mDocument + " with " + mTemporary).c_str(), code);
    return CoreErrorCodes::kError;
}

void GReplacementFile::Discard()
{
    if (mHandle != -1)
    {
        CloseHandle(AsHandle(mHandle));
        mHandle = -1;
    }
    std::wstring wide;
    if (!mReplaced && !mTemporary.empty() && WidePath(mTemporary, wide))
    {
        DeleteFileW(wide.c_str());
    }
    mTemporary.clear();
}
} // namespace typehold
