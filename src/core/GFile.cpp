#include "GFile.h"

#include "GErrorReport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace
{
constexpr const char* kLogCategory = "FileSystem";

// Positions travel through the Windows runtime's 32-bit signed long. On Linux long is 64-bit, so
// positions and offsets are held to the same range explicitly: both builds refuse what Windows
// cannot reach, instead of the Linux build quietly going further.
constexpr TSInt64 kMinOffset = std::numeric_limits<TSInt32>::min();
constexpr TSInt64 kMaxOffset = std::numeric_limits<TSInt32>::max();

constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);

// The index of the first occurrence of the sequence in the buffer: memchr for its first byte,
// memcmp for the rest.
std::size_t FindSequence(const TByteVector& buffer, const TByteVector& sequence)
{
    if (sequence.size() > buffer.size())
    {
        return kNoMatch;
    }
    const TUInt8* const begin = buffer.data();
    const TUInt8* const last = begin + (buffer.size() - sequence.size());
    const TUInt8* candidate = begin;
    while (candidate <= last)
    {
        candidate = static_cast<const TUInt8*>(
            std::memchr(candidate, sequence[0], static_cast<std::size_t>(last - candidate) + 1));
        if (candidate == nullptr)
        {
            return kNoMatch;
        }
        if (std::memcmp(candidate + 1, sequence.data() + 1, sequence.size() - 1) == 0)
        {
            return static_cast<std::size_t>(candidate - begin);
        }
        ++candidate;
    }
    return kNoMatch;
}
} // namespace

TUTF8String GFile::MakeModeString(TUInt32 mode)
{
    const bool read = (mode & eRead) != 0;
    const bool write = (mode & eWrite) != 0;
    const bool append = (mode & eAppend) != 0;
    const bool truncate = (mode & eTruncate) != 0;
    TUTF8String modeString;
    if (read && write)
    {
        modeString = truncate ? "w+" : (append ? "a+" : "r+");
    }
    else if (write)
    {
        modeString = truncate ? "w" : "a";
    }
    else if (read)
    {
        modeString = "r";
    }
    modeString += (mode & eText) != 0 ? "t" : "b";
    return modeString;
}

GFile::~GFile()
{
    Close();
}

TErrorCode GFile::Open(const TUTF8String& path, TUInt32 mode)
{
    if (IsOpen())
    {
        Close();
    }
    mpFile = OSOpen(path, MakeModeString(mode));
    G_FAIL_IF_AT(GLogger::kDebug, ((mpFile == NULL) && ((mode & GFile::eRead) != 0) && (errno == ENOENT)),
                 GFileSystem::kFileNotFound);
    G_FAIL_IF_AT(GLogger::kDebug, (mpFile == NULL), kOpenFailed);
    mPath = path;
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::Close()
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    // fclose releases the stream even when it fails, so the file counts as closed either way.
    const TErrorCode result = CloseStream();
    mpFile = nullptr;
    mPath.clear();
    return result;
}

TErrorCode GFile::CloseStream()
{
    G_FAIL_IF_AT(GLogger::kDebug, 0 != fclose(mpFile), CoreErrorCodes::kError);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::GetFileSize(TUInt64& size)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    TUInt64 currentPosition = 0;
    G_FAIL_IF_ERROR(GetFilePosition(currentPosition));
    G_FAIL_IF(0 != fseek(mpFile, 0, SEEK_END), CoreErrorCodes::kError);
    // The end is measured with a 64-bit tell: a file of 2 GiB or more still reports its true size,
    // so everything below 2^31 can be read from it, while positions at or beyond 2^31 stay out of
    // reach of SetFilePosition.
    const TSInt64 endPosition = TellEnd();
    G_FAIL_IF(0 != fseek(mpFile, static_cast<long>(currentPosition), SEEK_SET), CoreErrorCodes::kError);
    G_FAIL_IF(endPosition < 0, CoreErrorCodes::kError);
    size = static_cast<TUInt64>(endPosition);
    return CoreErrorCodes::kSuccess;
}

TSInt64 GFile::TellEnd()
{
#ifdef _WIN32
    return _ftelli64(mpFile);
#else
    return static_cast<TSInt64>(ftello(mpFile));
#endif
}

TErrorCode GFile::GetFilePosition(TUInt64& position)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    const TSInt64 currentPosition = ftell(mpFile);
    G_FAIL_IF(currentPosition < 0 || currentPosition > kMaxOffset, CoreErrorCodes::kError);
    position = static_cast<TUInt64>(currentPosition);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::SetFilePosition(TUInt32 origin, TSInt64 offset)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    if (origin != eBeginning && origin != eCurrent && origin != eEnd)
    {
        ReportCheckFailure(kLogCategory, GLogger::kError, CoreErrorCodes::kInvalidParam, __FILE__, __LINE__,
                           "CoreErrorCodes::kInvalidParam");
        return CoreErrorCodes::kInvalidParam;
    }
    G_FAIL_IF(offset < kMinOffset || offset > kMaxOffset, CoreErrorCodes::kError);
    G_FAIL_IF(0 != fseek(mpFile, static_cast<long>(offset), origin), CoreErrorCodes::kError);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::Read(TUInt64 count, TByteVector& bytes)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    TUInt64 fileSize = 0;
    G_FAIL_IF_ERROR(GetFileSize(fileSize));
    TUInt64 filePointerPos = 0;
    G_FAIL_IF_ERROR(GetFilePosition(filePointerPos));
    const TUInt64 remaining = filePointerPos < fileSize ? fileSize - filePointerPos : 0;
    const std::size_t toRead = static_cast<std::size_t>(std::min(count, remaining));
    bytes.resize(toRead);
    if (toRead > 0)
    {
        const std::size_t bytesRead = fread(bytes.data(), 1, toRead, mpFile);
        if (bytesRead != toRead)
        {
            G_FAIL_IF(0 != ferror(mpFile), CoreErrorCodes::kError);
            // The file became shorter meanwhile: what was there is the result.
            bytes.resize(bytesRead);
        }
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::Read(TUInt32& value)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    TByteVector bytes;
    G_FAIL_IF_ERROR(Read(sizeof(TUInt32), bytes));
    G_FAIL_IF(bytes.size() != sizeof(TUInt32), CoreErrorCodes::kError);
    std::memcpy(&value, bytes.data(), sizeof(TUInt32));
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::Read(TUInt16& value)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    TByteVector bytes;
    G_FAIL_IF_ERROR(Read(sizeof(TUInt16), bytes));
    G_FAIL_IF(bytes.size() != sizeof(TUInt16), CoreErrorCodes::kError);
    std::memcpy(&value, bytes.data(), sizeof(TUInt16));
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::Read(TUTF8String& text)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    TByteVector bytes;
    G_FAIL_IF_ERROR(Read(bytes));
    text.assign(bytes.begin(), bytes.end());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::Read(std::vector<TSInt8>& signedBytes)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    // The file's bytes, to be handed out as signed bytes.
    TByteVector signedByteVector;
    G_FAIL_IF_ERROR(Read(signedByteVector));
    signedBytes.resize(signedByteVector.size());
    if (!signedByteVector.empty())
    {
        std::memcpy(signedBytes.data(), signedByteVector.data(), signedByteVector.size());
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::Read(TByteVector& bytes)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    TUInt64 filePointerPos = 0;
    G_FAIL_IF_ERROR(GetFilePosition(filePointerPos));
    TUInt64 fileSize = 0;
    G_FAIL_IF_ERROR(GetFileSize(fileSize));
    G_FAIL_IF_ERROR(SetFilePosition(eBeginning, 0));
    const TErrorCode readResult = G_REPORT_ERROR_AT(GLogger::kError, Read(fileSize, bytes));
    G_FAIL_IF_ERROR(SetFilePosition(eBeginning, static_cast<TSInt64>(filePointerPos)));
    return readResult;
}

TErrorCode GFile::FindBytes(const TByteVector& searchBytes, TUInt32 relativeOffsetPos, TSInt64 initialOffset,
                            TUInt64& foundOffset)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    G_FAIL_IF(!(!searchBytes.empty()), CoreErrorCodes::kInvalidParam);
    TUInt64 fileSize = 0;
    G_FAIL_IF_ERROR(GetFileSize(fileSize));
    G_FAIL_IF_AT(GLogger::kDebug, searchBytes.size() > fileSize, CoreErrorCodes::kNotFound);

    TUInt64 oldFilePos = 0;
    G_FAIL_IF_ERROR(GetFilePosition(oldFilePos));
    G_FAIL_IF_ERROR(SetFilePosition(relativeOffsetPos, initialOffset));
    TUInt64 startingFilePos = 0;
    G_FAIL_IF_ERROR(GetFilePosition(startingFilePos));

    // Consecutive buffers overlap by one byte less than the sequence, so a sequence that starts
    // near the end of one buffer is found whole in the next.
    const TUInt64 bufferSize = std::max<TUInt64>(std::min(fileSize, mSearchBufferLimit), searchBytes.size());
    const TUInt64 overlap = searchBytes.size() - 1;
    TUInt64 totalBytesRead = 0;
    TByteVector bytes;
    while (true)
    {
        G_FAIL_IF_ERROR(Read(bufferSize, bytes));
        const std::size_t index = FindSequence(bytes, searchBytes);
        if (index != kNoMatch)
        {
            foundOffset = startingFilePos + totalBytesRead + index;
            G_FAIL_IF_ERROR(SetFilePosition(eBeginning, static_cast<TSInt64>(foundOffset)));
            return CoreErrorCodes::kSuccess;
        }
        if (bytes.size() < bufferSize)
        {
            break; // that buffer ended at the end of the file
        }
        totalBytesRead += bytes.size() - overlap;
        G_FAIL_IF_ERROR(SetFilePosition(eBeginning, static_cast<TSInt64>(startingFilePos + totalBytesRead)));
    }
    G_FAIL_IF_ERROR(SetFilePosition(eBeginning, static_cast<TSInt64>(oldFilePos)));
    return CoreErrorCodes::kNotFound;
}

TErrorCode GFile::Write(TUInt32 value)
{
    return Write(reinterpret_cast<const TUInt8*>(&value), sizeof(TUInt32));
}

TErrorCode GFile::Write(TUInt16 value)
{
    return Write(reinterpret_cast<const TUInt8*>(&value), sizeof(TUInt16));
}

TErrorCode GFile::Write(const TUTF8String& text)
{
    return Write(reinterpret_cast<const TUInt8*>(text.data()), text.size());
}

TErrorCode GFile::Write(const TUInt8* arrBytes, TUInt64 count)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    G_FAIL_IF(!(arrBytes != 0), CoreErrorCodes::kInvalidParam);
    errno = 0;
    if (fwrite(arrBytes, 1, static_cast<std::size_t>(count), mpFile) != count)
    {
        G_FAIL_IF(errno == ENOSPC, GFileSystem::kDirectoryFull);
        G_FAIL_IF(true, CoreErrorCodes::kError);
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::Write(const TByteVector& bytes)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    if (bytes.empty())
    {
        return CoreErrorCodes::kSuccess;
    }
    G_FAIL_IF_ERROR(Write(&bytes[0], bytes.size()));
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::Flush()
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    G_FAIL_IF(fflush(mpFile) != 0, CoreErrorCodes::kError);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFile::Reserved()
{
    return CoreErrorCodes::kNotImplemented;
}
