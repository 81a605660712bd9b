#include "GTypeholdFiles.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace typehold
{
namespace fs = std::filesystem;

fs::path PathFromUTF8(const std::string& utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string UTF8FromPath(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(PathFromUTF8(path), std::ios::binary);
    if (!in)
    {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

namespace
{
bool ReplaceFile(const std::string& from, const std::string& to)
{
#ifdef _WIN32
    return MoveFileExW(PathFromUTF8(from).c_str(), PathFromUTF8(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

unsigned long ProcessID()
{
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}
} // namespace

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error)
{
    const std::string temporary = path + ".tmp-" + std::to_string(ProcessID());
    {
        std::ofstream out(PathFromUTF8(temporary), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out)
        {
            error = "cannot write " + temporary;
            std::error_code ignored;
            fs::remove(PathFromUTF8(temporary), ignored);
            return false;
        }
    }
    // A reader that has the file open (without sharing deletion) blocks the rename on Windows
    // for as long as it reads.
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        if (ReplaceFile(temporary, path))
        {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error = "cannot replace " + path;
    std::error_code ignored;
    fs::remove(PathFromUTF8(temporary), ignored);
    return false;
}

bool AppendToFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(PathFromUTF8(path), std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

TSInt64 FileChangeStamp(const std::string& path)
{
    std::error_code error;
    const fs::path file = PathFromUTF8(path);
    const auto time = fs::last_write_time(file, error);
    if (error)
    {
        return -1;
    }
    const auto size = fs::file_size(file, error);
    const TSInt64 ticks = static_cast<TSInt64>(time.time_since_epoch().count());
    return ticks ^ (error ? 0 : static_cast<TSInt64>(size) * 1000003);
}

bool FileExists(const std::string& path)
{
    std::error_code error;
    return fs::is_regular_file(PathFromUTF8(path), error);
}

bool FolderExists(const std::string& path)
{
    std::error_code error;
    return fs::is_directory(PathFromUTF8(path), error);
}

bool CreateFolders(const std::string& path)
{
    std::error_code error;
    fs::create_directories(PathFromUTF8(path), error);
    return FolderExists(path);
}

bool CopyFileReplacing(const std::string& from, const std::string& to, std::string& error)
{
#ifdef _WIN32
    // (The runtime's copy_file does not replace an existing file here.)
    if (!CopyFileW(PathFromUTF8(from).c_str(), PathFromUTF8(to).c_str(), FALSE))
    {
        error = "error " + std::to_string(GetLastError());
        return false;
    }
    return true;
#else
    std::error_code code;
    fs::copy_file(PathFromUTF8(from), PathFromUTF8(to), fs::copy_options::overwrite_existing, code);
    if (code)
    {
        error = code.message();
        return false;
    }
    return true;
#endif
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
#ifdef _WIN32
    const char separator = '\\';
#else
    const char separator = '/';
#endif
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\')
    {
        return folder + name;
    }
    return folder + separator + name;
}

std::string FileNamePart(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace typehold
