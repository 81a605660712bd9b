#include "GFrameworkPlatform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{
TUTF8String ErrnoText(int error)
{
    return TUTF8String(std::strerror(error)) + " (errno " + std::to_string(error) + ")";
}

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size())
    {
        const ssize_t result = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (result < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            return false;
        }
        written += static_cast<std::size_t>(result);
    }
    return true;
}
} // namespace

bool GFrameworkPlatform::GetEnvironment(const char* name, TUTF8String& value)
{
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
    {
        return false;
    }
    value = text;
    return true;
}

TUTF8String GFrameworkPlatform::GetDefaultPreferencesFolder()
{
    TUTF8String base;
    if (!GetEnvironment("XDG_CONFIG_HOME", base))
    {
        TUTF8String home;
        if (!GetEnvironment("HOME", home))
        {
            return TUTF8String();
        }
        base = JoinPath(home, ".config");
    }
    return JoinPath(JoinPath(base, "Lumorand"), "Plugin Preferences");
}

char GFrameworkPlatform::PathSeparator()
{
    return '/';
}

GFileStamp GFrameworkPlatform::GetFileStamp(const TUTF8String& path)
{
    GFileStamp stamp;
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    {
        return stamp;
    }
    stamp.mExists = true;
    stamp.mModified = static_cast<TSInt64>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    stamp.mSize = static_cast<TUInt64>(info.st_size);
    return stamp;
}

bool GFrameworkPlatform::ReadFile(const TUTF8String& path, std::string& bytes, TUTF8String& reason)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        reason = ErrnoText(errno);
        return false;
    }
    bytes.clear();
    char buffer[16384];
    for (;;)
    {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
        {
            continue;
        }
        if (count < 0)
        {
            reason = ErrnoText(errno);
            ::close(fd);
            return false;
        }
        if (count == 0)
        {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return true;
}

bool GFrameworkPlatform::CreateFolder(const TUTF8String& path, TUTF8String& reason)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) == 0)
    {
        if (S_ISDIR(info.st_mode))
        {
            return true;
        }
        reason = "'" + path + "' exists and is not a folder";
        return false;
    }
    const std::size_t slash = path.find_last_of('/');
    if (slash != TUTF8String::npos && slash > 0 && !CreateFolder(path.substr(0, slash), reason))
    {
        return false;
    }
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
    {
        reason = "cannot create '" + path + "': " + ErrnoText(errno);
        return false;
    }
    return true;
}

bool GFrameworkPlatform::WriteFileAtomically(const TUTF8String& path, const std::string& bytes,
                                             TUTF8String& reason)
{
    const TUTF8String temporary = path + ".tmp-" + std::to_string(GetProcessID());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
    {
        reason = "cannot create '" + temporary + "': " + ErrnoText(errno);
        return false;
    }
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written)
    {
        reason = "cannot write '" + temporary + "': " + ErrnoText(writeError);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0)
    {
        reason = "cannot replace '" + path + "': " + ErrnoText(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool GFrameworkPlatform::RenameWithoutReplacing(const TUTF8String& from, const TUTF8String& to,
                                                TUTF8String& reason)
{
    // A hard link fails when the new name exists; only then is the old name removed.
    if (::link(from.c_str(), to.c_str()) != 0)
    {
        reason = ErrnoText(errno);
        return false;
    }
    if (::unlink(from.c_str()) != 0)
    {
        reason = ErrnoText(errno);
        ::unlink(to.c_str());
        return false;
    }
    return true;
}

bool GFrameworkPlatform::AppendToFile(const TUTF8String& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
    {
        return false;
    }
    const bool written = WriteAll(fd, bytes);
    ::close(fd);
    return written;
}

TUTF8String GFrameworkPlatform::GetWindowClassName(void*)
{
    return TUTF8String();
}

TUInt32 GFrameworkPlatform::GetProcessID()
{
    return static_cast<TUInt32>(::getpid());
}

void GFrameworkPlatform::RunModalLoop(TSInt32 ms)
{
    if (ms > 0)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}
