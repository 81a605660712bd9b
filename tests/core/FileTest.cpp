#include "GFile.h"
#include "LogCapture.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace
{
TByteVector Bytes(const std::string& text)
{
    return TByteVector(text.begin(), text.end());
}

std::string Text(const TByteVector& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// A file whose byte search reads small buffers, so that a sequence can span two of them.
class SmallBufferFile : public GFile
{
public:
    explicit SmallBufferFile(TUInt64 bufferLimit) { mSearchBufferLimit = bufferLimit; }
};
} // namespace

TEST(FileTest, ModeStringsFollowTheFlags)
{
    EXPECT_EQ(GFile::MakeModeString(GFile::eRead), "rb");
    EXPECT_EQ(GFile::MakeModeString(GFile::eRead | GFile::eBinary), "rb");
    EXPECT_EQ(GFile::MakeModeString(GFile::eRead | GFile::eText), "rt");
    EXPECT_EQ(GFile::MakeModeString(GFile::eRead | GFile::eWrite), "r+b");
    EXPECT_EQ(GFile::MakeModeString(GFile::eRead | GFile::eWrite | GFile::eTruncate), "w+b");
    EXPECT_EQ(GFile::MakeModeString(GFile::eRead | GFile::eWrite | GFile::eAppend | GFile::eTruncate), "w+b");
    EXPECT_EQ(GFile::MakeModeString(GFile::eRead | GFile::eWrite | GFile::eAppend), "a+b");
    EXPECT_EQ(GFile::MakeModeString(GFile::eWrite | GFile::eTruncate), "wb");
    EXPECT_EQ(GFile::MakeModeString(GFile::eWrite), "ab");
    EXPECT_EQ(GFile::MakeModeString(GFile::eWrite | GFile::eAppend | GFile::eText), "at");
    EXPECT_EQ(GFile::MakeModeString(GFile::eRead | GFile::eAppend), "rb");
    EXPECT_EQ(GFile::MakeModeString(0), "b");
    EXPECT_EQ(GFile::MakeModeString(GFile::eText), "t");
}

TEST(FileTest, ModesCreateTruncateAppendAndUpdate)
{
    ScratchFolder folder("file-modes");
    const std::string path = folder.Child("modes.bin");
    GFile file;

    ASSERT_EQ(file.Open(GFileSystemSpec(path), GFile::eWrite | GFile::eTruncate), CoreErrorCodes::kSuccess);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetPath(), path);
    EXPECT_EQ(file.Write(TUTF8String("hello")), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Close(), CoreErrorCodes::kSuccess);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.GetPath(), "");
    EXPECT_EQ(ReadWholeFile(path), "hello");

    ASSERT_EQ(file.Open(path, GFile::eWrite), CoreErrorCodes::kSuccess); // append
    EXPECT_EQ(file.Write(Bytes(" world")), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Close(), CoreErrorCodes::kSuccess);
    EXPECT_EQ(ReadWholeFile(path), "hello world");

    ASSERT_EQ(file.Open(path, GFile::eRead | GFile::eWrite), CoreErrorCodes::kSuccess); // update in place
    EXPECT_EQ(file.Write(TUTF8String("J")), CoreErrorCodes::kSuccess);
    TByteVector bytes;
    EXPECT_EQ(file.Read(bytes), CoreErrorCodes::kSuccess); // the whole file, position kept
    EXPECT_EQ(Text(bytes), "Jello world");
    TUInt64 position = 0;
    EXPECT_EQ(file.GetFilePosition(position), CoreErrorCodes::kSuccess);
    EXPECT_EQ(position, 1u);
    // Opening again closes the first stream.
    ASSERT_EQ(file.Open(path, GFile::eRead | GFile::eWrite | GFile::eTruncate), CoreErrorCodes::kSuccess);
    TUInt64 size = 99;
    EXPECT_EQ(file.GetFileSize(size), CoreErrorCodes::kSuccess);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(file.Close(), CoreErrorCodes::kSuccess);

    // A stream opened for reading does not write.
    folder.WriteFile("modes.bin", "abc");
    ASSERT_EQ(file.Open(path, GFile::eRead), CoreErrorCodes::kSuccess);
    LogCapture capture;
    EXPECT_EQ(file.Write(TUTF8String("xyz")), CoreErrorCodes::kError);
    EXPECT_EQ(capture.Count("Expression='true'  Code='16777216'"), 1u);
    // The Windows runtime also fails the close of that stream; either way it is closed.
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadWholeFile(path), "abc");
}

TEST(FileTest, OpenFailuresAreDebugReportsAndLeaveTheFileClosed)
{
    ScratchFolder folder("file-open");
    GFile file;
    {
        LogCapture capture;
        EXPECT_EQ(file.Open(folder.Child("missing.psd"), GFile::eRead | GFile::eBinary),
                  GFileSystem::kFileNotFound);
        const auto lines =
            capture.LinesContaining("Expression='((mpFile == NULL) && ((mode & GFile::eRead) != 0) "
                                    "&& (errno == ENOENT))'  Code='16781317'");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("\t[FileSystem]\t[Debug]\t"), std::string::npos);
        EXPECT_NE(lines[0].find("File='src/core/GFile.cpp'"), std::string::npos);
        EXPECT_FALSE(file.IsOpen());
    }
    {
        LogCapture capture;
        EXPECT_EQ(file.Open(folder.Child("no-such-folder/new.bin"), GFile::eWrite | GFile::eTruncate),
                  GFile::kOpenFailed);
        const auto lines = capture.LinesContaining("Expression='(mpFile == NULL)'  Code='33558532'");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("\t[Debug]\t"), std::string::npos);
    }
    {
        // With the default thresholds a missing file leaves no trace.
        LogCapture capture(GLogger::kWarning);
        EXPECT_EQ(file.Open(folder.Child("missing.psd"), GFile::eRead), GFileSystem::kFileNotFound);
        EXPECT_TRUE(capture.Lines().empty());
    }
    // A failed open of an open file leaves it closed.
    const std::string path = folder.WriteFile("present.bin", "x");
    ASSERT_EQ(file.Open(path, GFile::eRead), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Open(folder.Child("missing.psd"), GFile::eRead), GFileSystem::kFileNotFound);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.GetPath(), "");
}

TEST(FileTest, ClosedFileAnswersNotOpenAtDebugLevel)
{
    LogCapture capture;
    GFile file;
    TUInt64 value64 = 0;
    TUInt32 value32 = 0;
    TByteVector bytes;
    TUTF8String text;
    EXPECT_EQ(file.Close(), GFile::kFileNotOpen);
    EXPECT_EQ(file.GetFileSize(value64), GFile::kFileNotOpen);
    EXPECT_EQ(file.GetFilePosition(value64), GFile::kFileNotOpen);
    EXPECT_EQ(file.SetFilePosition(GFile::eBeginning, 0), GFile::kFileNotOpen);
    EXPECT_EQ(file.SetFileSize(0), GFile::kFileNotOpen);
    EXPECT_EQ(file.Read(4, bytes), GFile::kFileNotOpen);
    EXPECT_EQ(file.Read(value32), GFile::kFileNotOpen);
    EXPECT_EQ(file.Read(text), GFile::kFileNotOpen);
    EXPECT_EQ(file.FindBytes(Bytes("x"), GFile::eBeginning, 0, value64), GFile::kFileNotOpen);
    EXPECT_EQ(file.Write(value32), GFile::kFileNotOpen);
    EXPECT_EQ(file.Write(Bytes("x")), GFile::kFileNotOpen);
    EXPECT_EQ(file.Flush(), GFile::kFileNotOpen);
    EXPECT_EQ(file.Reserved(), CoreErrorCodes::kNotImplemented);
    const auto lines = capture.Lines();
    EXPECT_EQ(lines.size(), 12u);
    for (const std::string& line : lines)
    {
        EXPECT_NE(line.find("\t[Debug]\tError='GFile::kFileNotOpen'"), std::string::npos) << line;
        EXPECT_NE(line.find("Expression='!IsOpen()'"), std::string::npos) << line;
    }
}

TEST(FileTest, ReadsStopAtTheEndOfTheFile)
{
    ScratchFolder folder("file-read");
    const std::string path = folder.WriteFile("digits.bin", "0123456789");
    GFile file;
    ASSERT_EQ(file.Open(GFileSystemSpec(path), GFile::eRead | GFile::eBinary), CoreErrorCodes::kSuccess);
    TUInt64 size = 0;
    EXPECT_EQ(file.GetFileSize(size), CoreErrorCodes::kSuccess);
    EXPECT_EQ(size, 10u);

    TByteVector bytes;
    EXPECT_EQ(file.Read(4, bytes), CoreErrorCodes::kSuccess);
    EXPECT_EQ(Text(bytes), "0123");
    EXPECT_EQ(file.SetFilePosition(GFile::eCurrent, 2), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Read(2, bytes), CoreErrorCodes::kSuccess);
    EXPECT_EQ(Text(bytes), "67");
    EXPECT_EQ(file.SetFilePosition(GFile::eEnd, -3), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Read(100, bytes), CoreErrorCodes::kSuccess); // more than is left: what is left
    EXPECT_EQ(Text(bytes), "789");
    EXPECT_EQ(file.Read(5, bytes), CoreErrorCodes::kSuccess); // at the end: nothing
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(file.SetFilePosition(GFile::eBeginning, 50), CoreErrorCodes::kSuccess); // beyond the end
    EXPECT_EQ(file.Read(5, bytes), CoreErrorCodes::kSuccess);
    EXPECT_TRUE(bytes.empty());

    // Fixed-size reads need all their bytes.
    EXPECT_EQ(file.SetFilePosition(GFile::eBeginning, 0), CoreErrorCodes::kSuccess);
    TUInt32 value32 = 0;
    TUInt16 value16 = 0;
    EXPECT_EQ(file.Read(value32), CoreErrorCodes::kSuccess);
    EXPECT_EQ(value32, 0x33323130u);
    EXPECT_EQ(file.Read(value16), CoreErrorCodes::kSuccess);
    EXPECT_EQ(value16, 0x3534u);
    LogCapture capture;
    EXPECT_EQ(file.SetFilePosition(GFile::eEnd, -2), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Read(value32), CoreErrorCodes::kError);
    EXPECT_EQ(capture.Count("Expression='bytes.size() != sizeof(TUInt32)'"), 1u);

    // The whole-file reads keep the position.
    TUTF8String text;
    std::vector<TSInt8> signedBytes;
    EXPECT_EQ(file.SetFilePosition(GFile::eBeginning, 7), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Read(text), CoreErrorCodes::kSuccess);
    EXPECT_EQ(text, "0123456789");
    EXPECT_EQ(file.Read(signedBytes), CoreErrorCodes::kSuccess);
    EXPECT_EQ(signedBytes.size(), 10u);
    EXPECT_EQ(file.Read(1, bytes), CoreErrorCodes::kSuccess);
    EXPECT_EQ(Text(bytes), "7");
}

TEST(FileTest, PositionsPassThrough32BitSignedOffsets)
{
    ScratchFolder folder("file-position");
    const std::string path = folder.WriteFile("small.bin", "abcdef");
    GFile file;
    ASSERT_EQ(file.Open(path, GFile::eRead), CoreErrorCodes::kSuccess);
    ASSERT_EQ(file.SetFilePosition(GFile::eBeginning, 2), CoreErrorCodes::kSuccess);

    LogCapture capture;
    EXPECT_EQ(file.SetFilePosition(3, 0), CoreErrorCodes::kInvalidParam);
    EXPECT_EQ(capture.Count("Expression='CoreErrorCodes::kInvalidParam'  Code='67108864'"), 1u);
    EXPECT_EQ(file.SetFilePosition(GFile::eBeginning, -1), CoreErrorCodes::kError);
    EXPECT_EQ(capture.Count("Expression='0 != fseek(mpFile, static_cast<long>(offset), origin)'"), 1u);
    // 2^31 and beyond cannot be reached on either build, whatever the origin; nor can an offset
    // that would wrap to a reachable position.
    EXPECT_EQ(file.SetFilePosition(GFile::eBeginning, TSInt64(1) << 31), CoreErrorCodes::kError);
    EXPECT_EQ(file.SetFilePosition(GFile::eCurrent, TSInt64(1) << 31), CoreErrorCodes::kError);
    EXPECT_EQ(file.SetFilePosition(GFile::eBeginning, (TSInt64(1) << 32) + 1), CoreErrorCodes::kError);
    EXPECT_EQ(file.SetFilePosition(GFile::eEnd, -(TSInt64(1) << 31) - 1), CoreErrorCodes::kError);
    TUInt64 position = 0;
    EXPECT_EQ(file.GetFilePosition(position), CoreErrorCodes::kSuccess);
    EXPECT_EQ(position, 2u); // failures leave the position alone

    // The largest 32-bit offset is still a position (beyond the end of this file).
    EXPECT_EQ(file.SetFilePosition(GFile::eBeginning, 0x7FFFFFFF), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.GetFilePosition(position), CoreErrorCodes::kSuccess);
    EXPECT_EQ(position, 0x7FFFFFFFu);
}

TEST(FileTest, FilesOfTwoGiBAndMoreAreReadableBelowTwoGiB)
{
    ScratchFolder folder("file-large");
    const std::string path = folder.WriteFile("large.bin", "head");
    const std::uintmax_t size = (std::uintmax_t(1) << 31) + 4096; // sparse
    std::filesystem::resize_file(PathFromUTF8(path), size);

    GFile file;
    ASSERT_EQ(file.Open(path, GFile::eRead | GFile::eBinary), CoreErrorCodes::kSuccess);
    TUInt64 fileSize = 0;
    ASSERT_EQ(file.GetFileSize(fileSize), CoreErrorCodes::kSuccess);
    EXPECT_EQ(fileSize, size);
    TByteVector bytes;
    ASSERT_EQ(file.Read(4, bytes), CoreErrorCodes::kSuccess);
    EXPECT_EQ(Text(bytes), "head");
    ASSERT_EQ(file.SetFilePosition(GFile::eBeginning, 0x7FFFFFF0), CoreErrorCodes::kSuccess);
    ASSERT_EQ(file.Read(8, bytes), CoreErrorCodes::kSuccess);
    EXPECT_EQ(bytes, TByteVector(8, 0));
    EXPECT_EQ(file.SetFilePosition(GFile::eBeginning, TSInt64(1) << 31), CoreErrorCodes::kError);
}

TEST(FileTest, FindBytesFindsSequencesAcrossBufferBoundaries)
{
    ScratchFolder folder("file-find");
    std::mt19937 random(20240501);
    std::string contents(97, '\0');
    for (char& c : contents)
    {
        c = static_cast<char>('a' + random() % 3); // few letters, so partial matches are frequent
    }
    const std::string needle = "XYZW";
    // Every place of the sequence, searched with buffers of several sizes (down to the size of the
    // sequence itself), must be found exactly where it is.
    for (std::size_t place = 0; place + needle.size() <= contents.size(); place += 3)
    {
        std::string withNeedle = contents;
        withNeedle.replace(place, needle.size(), needle);
        const std::string path = folder.WriteFile("haystack.bin", withNeedle);
        for (TUInt64 limit : {4u, 5u, 7u, 16u, 1000u})
        {
            SmallBufferFile file(limit);
            ASSERT_EQ(file.Open(path, GFile::eRead), CoreErrorCodes::kSuccess);
            TUInt64 found = 0;
            ASSERT_EQ(file.FindBytes(Bytes(needle), GFile::eBeginning, 0, found), CoreErrorCodes::kSuccess)
                << "place " << place << ", buffer " << limit;
            EXPECT_EQ(found, place);
            TByteVector bytes;
            EXPECT_EQ(file.Read(needle.size(), bytes), CoreErrorCodes::kSuccess); // left at the sequence
            EXPECT_EQ(Text(bytes), needle);
        }
    }
}

TEST(FileTest, FindBytesStartsAtTheGivenOriginAndRestoresThePositionWhenAbsent)
{
    ScratchFolder folder("file-find-origin");
    const std::string path = folder.WriteFile("text.bin", "one two one two one");
    SmallBufferFile file(6);
    ASSERT_EQ(file.Open(path, GFile::eRead), CoreErrorCodes::kSuccess);
    TUInt64 found = 0;
    EXPECT_EQ(file.FindBytes(Bytes("one"), GFile::eBeginning, 1, found), CoreErrorCodes::kSuccess);
    EXPECT_EQ(found, 8u);
    EXPECT_EQ(file.FindBytes(Bytes("one"), GFile::eCurrent, 1, found), CoreErrorCodes::kSuccess);
    EXPECT_EQ(found, 16u);
    EXPECT_EQ(file.FindBytes(Bytes("two"), GFile::eEnd, -5, found), CoreErrorCodes::kNotFound);
    EXPECT_EQ(found, 16u);
    TUInt64 position = 0;
    EXPECT_EQ(file.GetFilePosition(position), CoreErrorCodes::kSuccess);
    EXPECT_EQ(position, 16u);

    LogCapture capture;
    EXPECT_EQ(file.FindBytes(TByteVector(), GFile::eBeginning, 0, found), CoreErrorCodes::kInvalidParam);
    EXPECT_EQ(capture.Count("Expression='!(!searchBytes.empty())'"), 1u);
    EXPECT_EQ(file.FindBytes(TByteVector(40, 'o'), GFile::eBeginning, 0, found), CoreErrorCodes::kNotFound);
    const auto tooLong = capture.LinesContaining("Expression='searchBytes.size() > fileSize'");
    ASSERT_EQ(tooLong.size(), 1u);
    EXPECT_NE(tooLong[0].find("\t[Debug]\t"), std::string::npos);
}

TEST(FileTest, WritesFlushAndSizeChanges)
{
    ScratchFolder folder("file-write");
    const std::string path = folder.Child("written.bin");
    GFile file;
    ASSERT_EQ(file.Open(path, GFile::eRead | GFile::eWrite | GFile::eTruncate), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Write(TUInt32(0x44434241)), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Write(TUInt16(0x4645)), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Write(TByteVector()), CoreErrorCodes::kSuccess);
    const TUInt8 tail[] = {'G', 'H'};
    EXPECT_EQ(file.Write(tail, sizeof tail), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Flush(), CoreErrorCodes::kSuccess);
    EXPECT_EQ(ReadWholeFile(path), "ABCDEFGH");

    EXPECT_EQ(file.SetFilePosition(GFile::eBeginning, 6), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.SetFileSize(3), CoreErrorCodes::kSuccess);
    TUInt64 size = 0;
    EXPECT_EQ(file.GetFileSize(size), CoreErrorCodes::kSuccess);
    EXPECT_EQ(size, 3u);
    TUInt64 position = 0;
    EXPECT_EQ(file.GetFilePosition(position), CoreErrorCodes::kSuccess);
    EXPECT_EQ(position, 6u);                                  // the position is kept
    EXPECT_EQ(file.SetFileSize(5), CoreErrorCodes::kSuccess); // extends with zero bytes
    EXPECT_EQ(file.Close(), CoreErrorCodes::kSuccess);
    EXPECT_EQ(ReadWholeFile(path), std::string("ABC\0\0", 5));

    LogCapture capture;
    ASSERT_EQ(file.Open(path, GFile::eRead), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.SetFileSize(1), CoreErrorCodes::kError); // the stream has no write access
    EXPECT_EQ(file.SetFileSize(0x80000000u), CoreErrorCodes::kError);
    EXPECT_EQ(file.Write(nullptr, 1), CoreErrorCodes::kInvalidParam);
    EXPECT_EQ(capture.Count("Expression='!(arrBytes != 0)'"), 1u);
    EXPECT_EQ(file.Close(), CoreErrorCodes::kSuccess);
    EXPECT_EQ(ReadWholeFile(path).size(), 5u);
}

#ifndef _WIN32
TEST(FileTest, WriteToAFullDeviceIsDirectoryFull)
{
    GFile file;
    if (file.Open("/dev/full", GFile::eWrite) != CoreErrorCodes::kSuccess)
    {
        GTEST_SKIP() << "no /dev/full here";
    }
    LogCapture capture;
    // Larger than the stream's buffer, so the write reaches the device at once.
    const TByteVector block(1 << 20, 'x');
    EXPECT_EQ(file.Write(block), GFileSystem::kDirectoryFull);
    EXPECT_EQ(capture.Count("Expression='errno == ENOSPC'  Code='134221829'"), 1u);
}
#endif

#ifdef _WIN32
TEST(FileTest, PathsLongerThan260CharactersAreLoggedAndStillOpened)
{
    ScratchFolder folder("file-long");
    const std::wstring base = folder.Path().wstring();
    // Folders of 50 characters until the file's full path is exactly 261 characters.
    std::wstring directory = base;
    while (directory.size() + 1 + 50 + 1 + 10 < 261)
    {
        directory += L"\\" + std::wstring(50, L'd');
    }
    std::filesystem::create_directories(directory);
    const std::size_t nameLength = 261 - directory.size() - 1;
    ASSERT_GE(nameLength, 10u);
    const std::wstring widePath = directory + L"\\" + std::wstring(nameLength - 4, L'f') + L".bin";
    ASSERT_EQ(widePath.size(), 261u);
    const std::string path = UTF8FromPath(widePath);

    LogCapture capture;
    GFile file;
    ASSERT_EQ(file.Open(GFileSystemSpec(path), GFile::eWrite | GFile::eTruncate), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Write(TUTF8String("long")), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Close(), CoreErrorCodes::kSuccess);
    const auto lines =
        capture.LinesContaining("\t[FileSystem]\t[Error]\tPath too long to open! '" + path + "'");
    EXPECT_EQ(lines.size(), 1u);
    TUInt64 size = 0;
    EXPECT_EQ(GFileSystem::OSGetFileSize(GFileSystemSpec(path), size), CoreErrorCodes::kSuccess);
    EXPECT_EQ(size, 4u);

    // One character less is not long.
    capture.Clear();
    const std::string shorter = UTF8FromPath(widePath.substr(0, widePath.size() - 5) + L".bin");
    ASSERT_EQ(file.Open(shorter, GFile::eWrite | GFile::eTruncate), CoreErrorCodes::kSuccess);
    EXPECT_EQ(file.Close(), CoreErrorCodes::kSuccess);
    EXPECT_EQ(capture.Count("Path too long"), 0u);
}
#endif
