#pragma once
// A file behind a buffered standard I/O stream, with error codes and failed-check reports
// (category "FileSystem"). Positions and sizes pass through 32-bit signed offsets on every build
// (the Windows runtime's long): an offset of 2^31 bytes or more cannot be reached through GFile,
// and a file of 2 GiB or more has no size through GFile (GFileSystem::OSGetFileSize has one).

#include "GErrorCodes.h"
#include "GFileSystem.h"
#include "GNoncopyable.h"

#include <cstdio>

class GFile : private GNoncopyable
{
public:
    static constexpr TErrorCode kFileNotOpen = MakeErrorCode(1, ErrorModule::kGFile);
    static constexpr TErrorCode kOpenFailed = MakeErrorCode(2, ErrorModule::kGFile);

    // Open modes (bit flags). Binary is also the result whenever text is not set.
    enum : TUInt32
    {
        eRead = 0x01,
        eWrite = 0x02,
        eAppend = 0x04,
        eTruncate = 0x08,
        eText = 0x10,
        eBinary = 0x20,
    };

    // Origins of SetFilePosition and of the byte search.
    enum : TUInt32
    {
        eBeginning = 0,
        eCurrent = 1,
        eEnd = 2,
    };

    // Largest buffer the byte search reads at once.
    static constexpr TUInt64 kSearchBufferLimit = 0x8000000;

    GFile() = default;

    // The stream's mode string for a combination of open modes ("r", "w+", "a", ... followed by
    // "t" or "b"; only "t" or "b" when neither read nor write is set).
    static TUTF8String MakeModeString(TUInt32 mode);

    // Slots 0-5: reads.
    virtual TErrorCode Read(TUInt32& value);
    virtual TErrorCode Read(TUInt16& value);
    // Reads min(count, size - position) bytes; at the end of the file, an empty vector.
    virtual TErrorCode Read(TUInt64 count, TByteVector& bytes);
    // The whole file into a string.
    virtual TErrorCode Read(TUTF8String& text);
    virtual TErrorCode Read(std::vector<TSInt8>& signedBytes);
    // The whole file from its start, keeping the current position.
    virtual TErrorCode Read(TByteVector& bytes);

    // Slot 6: closes the file (a closed file gives the Debug-level not-open report).
    virtual ~GFile();

    // Slots 7-10. A failed open leaves the file closed: GFileSystem::kFileNotFound when a file to
    // read does not exist, otherwise GFile::kOpenFailed.
    virtual TErrorCode Open(const TUTF8String& path, TUInt32 mode);
    TErrorCode Open(const GFileSystemSpec& spec, TUInt32 mode) { return Open(spec.GetPath(), mode); }
    virtual TErrorCode Close();
    virtual bool IsOpen() const { return mpFile != nullptr; }
    virtual TUTF8String GetPath() const { return IsOpen() ? mPath : TUTF8String(); }

    // Slots 11-15: size and position.
    virtual TErrorCode GetFileSize(TUInt64& size);
    // Truncates or extends the file; the current position is kept.
    virtual TErrorCode SetFileSize(TUInt32 size);
    // Origin eBeginning, eCurrent or eEnd (any other is CoreErrorCodes::kInvalidParam); an offset
    // outside the 32-bit signed range fails with CoreErrorCodes::kError.
    virtual TErrorCode SetFilePosition(TUInt32 origin, TSInt64 offset);
    virtual TErrorCode GetFilePosition(TUInt64& position);
    // Searches the file from (relativeOffsetPos, initialOffset) for the byte sequence; on success the file is
    // left at the sequence and its offset returned, otherwise CoreErrorCodes::kNotFound and the old position
    // is restored.
    virtual TErrorCode FindBytes(const TByteVector& searchBytes, TUInt32 relativeOffsetPos,
                                 TSInt64 initialOffset, TUInt64& foundOffset);

    // Slots 16-22: writes.
    virtual TErrorCode Write(TUInt32 value);
    virtual TErrorCode Write(TUInt16 value);
    virtual TErrorCode Write(const TUTF8String& text);
    virtual TErrorCode Write(const TUInt8* arrBytes, TUInt64 count);
    virtual TErrorCode Write(const TByteVector& bytes);
    virtual TErrorCode Flush();
    virtual TErrorCode Reserved();

protected:
    // Opens the stream (wide path on Windows); null with errno set on failure.
    static std::FILE* OSOpen(const TUTF8String& path, const TUTF8String& modeString);

    std::FILE* mpFile = nullptr;
    TUTF8String mPath;
    TUInt64 mSearchBufferLimit = kSearchBufferLimit;

private:
    TErrorCode CloseStream();
    // The stream's position as a 64-bit value (-1 on failure).
    TSInt64 TellEnd();
};
