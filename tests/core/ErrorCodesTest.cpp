#include "GErrorReport.h"
#include "GMutex.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
constexpr const char* kLogCategory = "FileSystem";

int sCheckLine = 0;

// A check written the way product code writes it.
TErrorCode FailWhenClosed(bool open)
{
    sCheckLine = __LINE__ + 1;
    G_FAIL_IF_AT(GLogger::kDebug, !open, MakeErrorCode(1, ErrorModule::kGFile));
    return CoreErrorCodes::kSuccess;
}

TErrorCode ReturnCode(TErrorCode code)
{
    return code;
}

TErrorCode PassThrough(TErrorCode code)
{
    G_FAIL_IF_ERROR(ReturnCode(code));
    return CoreErrorCodes::kSuccess;
}

#define NAMED_CODE CoreErrorCodes::kNotFound

// Checks whose text holds macros: the report shows the text as written.
TErrorCode FailOnErrno(int value)
{
    errno = value;
    G_FAIL_IF(errno == ERANGE, CoreErrorCodes::kError);
    G_FAIL_IF_ERROR(ReturnCode(NAMED_CODE));
    return CoreErrorCodes::kSuccess;
}
} // namespace

TEST(ErrorCodesTest, NamesComeFromTheTableByExactCode)
{
    EXPECT_EQ(ErrorCodeToString(0), "CoreErrorCodes::kSuccess");
    EXPECT_EQ(ErrorCodeToString(CoreErrorCodes::kError), "CoreErrorCodes::kError");
    EXPECT_EQ(ErrorCodeToString(CoreErrorCodes::kUnknownError), "CoreErrorCodes::kUnknownError");
    EXPECT_EQ(ErrorCodeToString(0x0B000000), "Unknown error code"); // ordinal 11 of module 0
    EXPECT_EQ(ErrorCodeToString(0x16000000), "Unknown error code");
    EXPECT_EQ(ErrorCodeToString(0x07004005), "GFontToolResults::kFontAlreadyInDatabase");
    EXPECT_EQ(ErrorCodeToString(0x0100100E), "Unknown error code"); // GIPCClient has no ordinal 1
    EXPECT_EQ(ErrorCodeToString(0x0300100E), "GIPCClient::kServiceUnavailable");
    EXPECT_EQ(ErrorCodeToString(0x01001004), "GFile::kFileNotOpen");
    EXPECT_EQ(ErrorCodeToString(0x02001004), "GFile::kOpenFailed");
    EXPECT_EQ(ErrorCodeToString(0x08001005), "GFileSystem::kDirectoryFull");
    EXPECT_EQ(ErrorCodeToString(GMutex::kMutexDeadlockErr), "GMutex::kMutexDeadlockErr");
    EXPECT_EQ(ErrorCodeToString(GLockable::kLockBusyErr), "GLockable::kLockBusyErr");
    EXPECT_EQ(ErrorCodeToString(0x0200200D), "GAgentIF::kShutdown");
    EXPECT_EQ(ErrorCodeToString(0x11004018), "GFontServerProxy::kTooManyRequests");
    EXPECT_EQ(ErrorCodeToString(0x0300A002), "GScopedXMPFile::kXMPError");
    EXPECT_EQ(ErrorCodeToString(0x0100A002), "GScopedXMPFile::kFileNotOpen");
    EXPECT_EQ(ErrorCodeToString(0x0B002001), "Unknown error code"); // a gap in a module's ordinals
    EXPECT_EQ(ErrorCodeToString(0xFFFFFFFF), "Unknown error code");
    EXPECT_EQ(ErrorCodeNameCount(), 274u);
}

TEST(ErrorCodesTest, TheTableIsBuiltOnceWhenManyThreadsAskFirst)
{
    std::vector<std::thread> threads;
    std::vector<TUTF8String> answers(8);
    for (std::size_t i = 0; i < answers.size(); ++i)
    {
        threads.emplace_back([&answers, i] { answers[i] = ErrorCodeToString(0x01001014); });
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }
    for (const TUTF8String& answer : answers)
    {
        EXPECT_EQ(answer, "GDateTime::kParsingError");
    }
}

TEST(ErrorCodesTest, ReportLineHasTheExactFields)
{
    LogCapture capture;
    ReportCheckFailure("FileSystem", GLogger::kError, 0x01001004, "src/core/GFile.cpp", 12, "!IsOpen()");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LogMessage(lines[0]), "Error='GFile::kFileNotOpen'  File='src/core/GFile.cpp'  Line=12  "
                                    "Expression='!IsOpen()'  Code='16781316'  ");
    EXPECT_NE(lines[0].find("]\t[FileSystem]\t[Error]\tError="), std::string::npos);

    capture.Clear();
    ReportCheckFailure("Miscellaneous", GLogger::kError, 0x0B000000, "x.cpp", 1, "e");
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(LogMessage(capture.Lines()[0]),
              "Error='Unknown error code'  File='x.cpp'  Line=1  Expression='e'  Code='184549376'  ");
}

TEST(ErrorCodesTest, CheckFormsCaptureExpressionLocationAndLevel)
{
    LogCapture capture;
    EXPECT_EQ(FailWhenClosed(true), CoreErrorCodes::kSuccess);
    EXPECT_TRUE(capture.Lines().empty());

    EXPECT_EQ(FailWhenClosed(false), 0x01001004u);
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LogMessage(lines[0]),
              "Error='GFile::kFileNotOpen'  File='tests/core/ErrorCodesTest.cpp'  Line=" +
                  std::to_string(sCheckLine) + "  Expression='!open'  Code='16781316'  ");
    EXPECT_NE(lines[0].find("\t[FileSystem]\t[Debug]\t"), std::string::npos);

    capture.Clear();
    EXPECT_EQ(PassThrough(CoreErrorCodes::kSuccess), CoreErrorCodes::kSuccess);
    EXPECT_EQ(PassThrough(CoreErrorCodes::kNotFound), CoreErrorCodes::kNotFound);
    lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Error='CoreErrorCodes::kNotFound'"), std::string::npos);
    EXPECT_NE(lines[0].find("Expression='ReturnCode(code)'"), std::string::npos);
    EXPECT_NE(lines[0].find("\t[Error]\t"), std::string::npos);
}

TEST(ErrorCodesTest, DebugReportsAreFilteredByDefault)
{
    LogCapture capture(GLogger::kWarning);
    EXPECT_EQ(FailWhenClosed(false), 0x01001004u);
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_EQ(PassThrough(CoreErrorCodes::kError), CoreErrorCodes::kError);
    EXPECT_EQ(capture.Lines().size(), 1u);
}

#ifdef _WIN32
TEST(ErrorCodesTest, WindowsReportCarriesTheSystemText)
{
    EXPECT_EQ(WindowsErrorText(0x2FFFFFFF), "FormatMessage Failed");
    const TUTF8String text = WindowsErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text, "FormatMessage Failed");
    EXPECT_EQ(text.find('\n'), std::string::npos);

    LogCapture capture;
    ReportWindowsCheckFailure("FileSystem", CoreErrorCodes::kError, "src/core/win/GFile_Win.cpp", 40,
                              "SetEndOfFile(hFile) == 0", ERROR_FILE_NOT_FOUND);
    ReportWindowsCheckFailure("FileSystem", 0x80000000u, "f.cpp", 1, "x", 0x2FFFFFFF);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(LogMessage(lines[0]),
              "Error='CoreErrorCodes::kError'  File='src/core/win/GFile_Win.cpp'  Line=40  "
              "Expression='SetEndOfFile(hFile) == 0'  Window's Error=2: '" +
                  text + "'  Code='16777216'  ");
    EXPECT_EQ(LogMessage(lines[1]), "Error='Unknown error code'  File='f.cpp'  Line=1  Expression='x'  "
                                    "Window's Error=805306367: 'FormatMessage Failed'  Code='-2147483648'  ");
}
#endif

TEST(ErrorCodesTest, CheckFormsReportTheTextAsWrittenWithoutExpandingMacros)
{
    LogCapture capture;
    EXPECT_EQ(FailOnErrno(ERANGE), CoreErrorCodes::kError);
    EXPECT_EQ(FailOnErrno(0), CoreErrorCodes::kNotFound);
    EXPECT_EQ(capture.Count("Expression='errno == ERANGE'"), 1u);
    EXPECT_EQ(capture.Count("Expression='ReturnCode(NAMED_CODE)'"), 1u);
}
