#include "GFileLogDestination.h"
#include "GLogger.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace
{
// Records the name of the destination on every line it receives, to check the order.
class NamingDestination : public GLogDestination
{
public:
    NamingDestination(std::string name, std::vector<std::string>& calls)
        : mName(std::move(name)), mCalls(calls)
    {
    }
    void Write(const TUTF8String&) override { mCalls.push_back(mName); }

private:
    std::string mName;
    std::vector<std::string>& mCalls;
};

// Logs from inside its own write, as a careless destination would.
class ReentrantDestination : public GLogDestination
{
public:
    explicit ReentrantDestination(std::vector<std::string>& lines) : mLines(lines) {}
    void Write(const TUTF8String& line) override
    {
        mLines.push_back(line);
        GLogger::GetInstance().Log("Test", GLogger::kError, "from inside the destination");
    }

private:
    std::vector<std::string>& mLines;
};

std::string TempPath(const std::string& name)
{
    const char* dir = std::getenv("TMPDIR");
#ifdef _WIN32
    if (dir == nullptr)
    {
        dir = std::getenv("TEMP");
    }
#endif
    return std::string(dir != nullptr ? dir : "/tmp") + "/" + name;
}
} // namespace

TEST(GLoggerTest, InitialThresholdsPassErrorsAndWarningsOnly)
{
    LogCapture capture(GLogger::kWarning);
    GLogger& logger = GLogger::GetInstance();
    EXPECT_EQ(logger.GetThreshold("AnyCategory"), GLogger::kWarning);
    logger.Log("AnyCategory", GLogger::kError, "e");
    logger.Log("AnyCategory", GLogger::kWarning, "w");
    logger.Log("AnyCategory", GLogger::kInfo, "i");
    logger.Log("AnyCategory", GLogger::kDebug, "d");
    logger.Log("AnyCategory", 7, "seven");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(LogMessage(lines[0]), "e");
    EXPECT_EQ(LogMessage(lines[1]), "w");
}

TEST(GLoggerTest, LevelZeroAndCategoryZeroAreSilent)
{
    LogCapture capture(GLogger::kDebug);
    GLogger& logger = GLogger::GetInstance();
    logger.Log("Loud", GLogger::kNone, "never");
    logger.Log("Loud", GLogger::kNoLevel, "never");
    logger.SetThreshold("Quiet", GLogger::kNone);
    logger.Log("Quiet", GLogger::kError, "never");
    logger.SetThreshold("Chatty", GLogger::kDebug);
    logger.SetThreshold(GLogger::kDefaultCategory, GLogger::kError);
    logger.Log("Chatty", GLogger::kDebug, "chatty debug");
    logger.Log("Other", GLogger::kWarning, "never");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LogMessage(lines[0]), "chatty debug");
    EXPECT_FALSE(logger.IsLogged("Loud", GLogger::kNone));
}

TEST(GLoggerTest, LineCarriesTimeCategoryLevelAndMessage)
{
    LogCapture capture;
    GLogger::GetInstance().Log("FileSystem", GLogger::kWarning, "value %d of %s", 42, "many");
    GLogger::GetInstance().Log("X", 9, "odd level");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u); // level 9 is above every threshold
    const std::regex pattern(
        R"(^\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z\]\t\[FileSystem\]\t\[Warning\]\tvalue 42 of many\n$)");
    EXPECT_TRUE(std::regex_match(lines[0], pattern)) << lines[0];

    GLogger::GetInstance().SetThreshold("X", 9);
    GLogger::GetInstance().Log("X", 9, "odd level");
    ASSERT_EQ(capture.Lines().size(), 2u);
    EXPECT_NE(capture.Lines()[1].find("\t[X]\t[]\todd level\n"), std::string::npos);
}

TEST(GLoggerTest, DestinationsReceiveLinesInNameOrder)
{
    LogCapture capture;
    std::vector<std::string> calls;
    GLogger& logger = GLogger::GetInstance();
    logger.AddDestination("b", std::make_unique<NamingDestination>("b", calls));
    logger.AddDestination("c", std::make_unique<NamingDestination>("c", calls));
    logger.AddDestination("a", std::make_unique<NamingDestination>("a", calls));
    logger.Log("Test", GLogger::kError, "one");
    logger.RemoveDestination("b");
    logger.Log("Test", GLogger::kError, "two");
    logger.RemoveDestination("a");
    logger.RemoveDestination("c");
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "c", "a", "c"}));
}

TEST(GLoggerTest, BufferGrowsForAMessageOfExactly256Characters)
{
    LogCapture capture;
    const std::size_t before = GLogger::GetFormatBufferSize();
    // "[Grow]\t[Error]\t" is 15 characters; the expansion is 256 in all.
    const std::string payload(256 - 15, 'x');
    GLogger::GetInstance().Log("Grow", GLogger::kError, "%s", payload.c_str());
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LogMessage(lines[0]), payload);
    if (before == 256)
    {
        EXPECT_EQ(GLogger::GetFormatBufferSize(), 512u);
    }
    else
    {
        EXPECT_EQ(GLogger::GetFormatBufferSize(), before);
    }
}

TEST(GLoggerTest, HugeMessagesAreWrittenWholeUpToTheLimitAndEmptyBeyondIt)
{
    LogCapture capture;
    const std::string large(2 * 1024 * 1024, 'y');
    GLogger::GetInstance().Log("Big", GLogger::kError, "%s", large.c_str());
    const std::string huge(5 * 1024 * 1024, 'z');
    GLogger::GetInstance().Log("Big", GLogger::kError, "%s", huge.c_str());
    GLogger::GetInstance().Log("Big", GLogger::kError, "after");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(LogMessage(lines[0]), large);
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(^\[[0-9T:.Z-]{24}\]\t\n$)")))
        << lines[1].substr(0, 80);
    EXPECT_EQ(LogMessage(lines[2]), "after");
}

TEST(GLoggerTest, ADestinationThatLogsFromItsWriteDoesNotReceiveItsOwnMessage)
{
    LogCapture capture;
    std::vector<std::string> seen;
    GLogger& logger = GLogger::GetInstance();
    logger.AddDestination("reentrant", std::make_unique<ReentrantDestination>(seen));
    logger.Log("Test", GLogger::kError, "outer");
    logger.Log("Test", GLogger::kError, "second");
    logger.RemoveDestination("reentrant");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(LogMessage(seen[0]), "outer");
    EXPECT_EQ(LogMessage(seen[1]), "second");
    EXPECT_EQ(capture.Count("from inside the destination"), 0u);
}

TEST(GLoggerTest, LinesFromManyThreadsStayWhole)
{
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
    {
        threads.emplace_back(
            [t]
            {
                for (int i = 0; i < 250; ++i)
                {
                    GLogger::GetInstance().Log("Threads", GLogger::kWarning, "thread %d line %d %s", t, i,
                                               std::string(static_cast<std::size_t>(i), '.').c_str());
                }
            });
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1000u);
    const std::regex pattern(
        R"(^\[[0-9T:.Z-]{24}\]\t\[Threads\]\t\[Warning\]\tthread [0-3] line (\d+) \.*\n$)");
    for (const std::string& line : lines)
    {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, pattern)) << line;
        const std::size_t dots = line.size() - line.find_last_of(' ') - 2;
        EXPECT_EQ(std::to_string(dots), match[1].str());
    }
}

TEST(GLoggerTest, TraceGoesToPluginAtInfo)
{
    LogCapture capture(GLogger::kWarning);
    TraceLog(1, "Entering %s", "HandleOpenedDocument");
    EXPECT_TRUE(capture.Lines().empty());

    GLogger::GetInstance().SetThreshold("Plugin", GLogger::kInfo);
    TraceLog(1, "Entering %s", "HandleOpenedDocument");
    TraceLog(-1, "%s returning %d", "HandleOpenedDocument", 0);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\t[Plugin]\t[Info]\tEntering HandleOpenedDocument\n"), std::string::npos);
    EXPECT_EQ(LogMessage(lines[1]), "HandleOpenedDocument returning 0");

    // Percent signs in the traced text stay text.
    capture.Clear();
    TraceLog(0, "%s", "100% done");
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(LogMessage(capture.Lines()[0]), "100% done");
}

TEST(GLoggerTest, FileDestinationAppendsLines)
{
    const std::string path = TempPath("portolan-logger-test-" + std::to_string(std::rand()) + ".log");
    std::remove(path.c_str());
    {
        LogCapture capture;
        ASSERT_TRUE(EnableFileLogging(path));
        GLogger::GetInstance().Log("File", GLogger::kWarning, "first");
        GLogger::GetInstance().Log("File", GLogger::kDebug, "second");
        GLogger::GetInstance().RemoveDestination(kFileLogDestinationName);
        GLogger::GetInstance().Log("File", GLogger::kWarning, "not in the file");
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string text = content.str();
    EXPECT_NE(text.find("\t[File]\t[Warning]\tfirst\n"), std::string::npos);
    EXPECT_NE(text.find("\t[File]\t[Debug]\tsecond\n"), std::string::npos);
    EXPECT_EQ(text.find("not in the file"), std::string::npos);
    in.close();
    std::remove(path.c_str());

    EXPECT_FALSE(EnableFileLogging(TempPath("no-such-directory/x/y.log")));
}
