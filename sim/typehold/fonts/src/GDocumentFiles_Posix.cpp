#include "GDocumentFiles.h"

#include "GFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace typehold
{
namespace
{
std::atomic<unsigned> sReplacementCounter{0};

std::string SystemError(const std::string& what, int code)
{
    return what + " (" + std::strerror(code) + ")";
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}
} // namespace

GDocumentFile::~GDocumentFile()
{
    Close();
}

TErrorCode GDocumentFile::Open(const std::string& path, std::string& error)
{
    Close();
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
    {
        const int code = errno;
        error = SystemError("cannot open the document", code);
        return code == ENOENT ? GFileSystem::kFileNotFound : CoreErrorCodes::kError;
    }
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))
    {
        error = "not a regular file";
        ::close(descriptor);
        return CoreErrorCodes::kError;
    }
    mHandle = descriptor;
    mSize = static_cast<TUInt64>(status.st_size);
    return CoreErrorCodes::kSuccess;
}

void GDocumentFile::Close()
{
    if (mHandle != -1)
    {
        ::close(static_cast<int>(mHandle));
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
        const ssize_t got = ::pread(static_cast<int>(mHandle), bytes, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
        {
            continue;
        }
        if (got <= 0)
        {
            return false;
        }
        bytes += got;
        offset += static_cast<TUInt64>(got);
        count -= static_cast<std::size_t>(got);
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
    mTemporary = document + ".xmp-" + std::to_string(::getpid()) + "-" +
                 std::to_string(sReplacementCounter.fetch_add(1)) + ".tmp";
    mFailed = false;
    mReplaced = false;
    const int descriptor = ::open(mTemporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0)
    {
        error = SystemError("cannot create the temporary file " + mTemporary, errno);
        mTemporary.clear();
        return CoreErrorCodes::kError;
    }
    mHandle = descriptor;
    return CoreErrorCodes::kSuccess;
}

bool GReplacementFile::Write(const void* bytes, std::size_t count)
{
    const auto* next = static_cast<const char*>(bytes);
    while (!mFailed && count > 0)
    {
        const ssize_t written = mHandle == -1 ? -1 : ::write(static_cast<int>(mHandle), next, count);
        if (written < 0 && errno == EINTR)
        {
            continue;
        }
        if (written <= 0)
        {
            mFailed = true;
            break;
        }
        next += written;
        count -= static_cast<std::size_t>(written);
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
    const bool flushed = ::fsync(static_cast<int>(mHandle)) == 0;
    const int code = errno;
    ::close(static_cast<int>(mHandle));
    mHandle = -1;
    if (!flushed)
    {
        mFailed = true;
        error = SystemError("cannot flush the temporary file " + mTemporary, code);
        return CoreErrorCodes::kError;
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode GReplacementFile::Replace(std::string& error)
{
    if (mHandle != -1 || mFailed || mTemporary.empty())
    {
        error = "the temporary file " + mTemporary + " is not finished";
        return CoreErrorCodes::kError;
    }
    if (std::rename(mTemporary.c_str(), mDocument.c_str()) != 0)
    {
        error = SystemError("cannot replace " + mDocument + " with " + mTemporary, errno);
        return CoreErrorCodes::kError;
    }
    mReplaced = true;
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(FolderOf(mDocument).c_str(), O_RDONLY | O_CLOEXEC);
    if (folder >= 0)
    {
        ::fsync(folder);
        ::close(folder);
    }
    return CoreErrorCodes::kSuccess;
}

void GReplacementFile::Discard()
{
    if (mHandle != -1)
    {
        ::close(static_cast<int>(mHandle));
        mHandle = -1;
    }
    if (!mReplaced && !mTemporary.empty())
    {
        ::unlink(mTemporary.c_str());
    }
    mTemporary.clear();
}
} // namespace typehold
