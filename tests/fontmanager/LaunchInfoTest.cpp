#include "CoreProcessLauncher.h"

#include <gtest/gtest.h>

namespace
{
struct LaunchInfo
{
    std::string path;
    std::string args;
};

LaunchInfo Parse(const std::string& text)
{
    LaunchInfo info{"unchanged", "unchanged"};
    ParseLaunchInfoText(text, info.path, info.args);
    return info;
}
} // namespace

TEST(LaunchInfoTest, ValuesEndAtTheLineEndOfTheirFile)
{
    const LaunchInfo crlf = Parse("[core]\r\ntypehold.path=C:\\Program Files\\Lumorand\\Typehold.exe\r\n"
                                  "typehold.args=--background --port 7\r\n");
    EXPECT_EQ(crlf.path, "C:\\Program Files\\Lumorand\\Typehold.exe");
    EXPECT_EQ(crlf.args, "--background --port 7");

    const LaunchInfo lf = Parse("typehold.path=C:\\Core\\Typehold.exe\ntypehold.args=-x\n");
    EXPECT_EQ(lf.path, "C:\\Core\\Typehold.exe");
    EXPECT_EQ(lf.args, "-x");

    // Values that run to the end of the text, without a line end.
    const LaunchInfo atEnd = Parse("typehold.args=--quiet\r\ntypehold.path=C:\\Core\\Typehold.exe");
    EXPECT_EQ(atEnd.path, "C:\\Core\\Typehold.exe");
    EXPECT_EQ(atEnd.args, "--quiet");
}

TEST(LaunchInfoTest, AMissingKeyLeavesItsValueEmpty)
{
    const LaunchInfo noArgs = Parse("typehold.path=C:\\Core\\Typehold.exe\r\n");
    EXPECT_EQ(noArgs.path, "C:\\Core\\Typehold.exe");
    EXPECT_EQ(noArgs.args, "");

    const LaunchInfo noEquals = Parse("typehold.path\r\n");
    EXPECT_EQ(noEquals.path, "");
    // An "=" only after the line end does not belong to the key.
    EXPECT_EQ(Parse("typehold.path\r\nother=C:\\x.exe\r\n").path, "");
    EXPECT_EQ(Parse("").path, "");
    EXPECT_EQ(Parse("typehold.path=").path, "");
}

TEST(LaunchInfoTest, KeysAreFoundAnywhereInTheTextCaseSensitively)
{
    // The first occurrence counts, even inside other text.
    const LaunchInfo embedded =
        Parse("# old.typehold.path=C:\\Old\\Typehold.exe\r\ntypehold.path=C:\\New\\T.exe\r\n");
    EXPECT_EQ(embedded.path, "C:\\Old\\Typehold.exe");
    EXPECT_EQ(Parse("TYPEHOLD.PATH=C:\\Core\\Typehold.exe\r\n").path, "");
    // The value runs to the first carriage return after the key: a line-feed-only line before it
    // is part of the value.
    EXPECT_EQ(Parse("typehold.path=C:\\a.exe\nnext=1\r\n").path, "C:\\a.exe\nnext=1");
    // The text ends at its first NUL.
    EXPECT_EQ(Parse(std::string("typehold.path=C:\\a.exe\0typehold.args=-x\r\n", 40)).args, "");
    EXPECT_EQ(Parse(std::string("typehold.path=C:\\a\0.exe", 23)).path, "C:\\a");
}

TEST(LaunchInfoTest, ProcessNamesMatchWithoutCaseAndWithImpliedExtension)
{
    EXPECT_TRUE(ProcessNameMatches("TYPEHOLD.EXE", "Typehold"));
    EXPECT_TRUE(ProcessNameMatches("Typehold.exe", "typehold.exe"));
    EXPECT_FALSE(ProcessNameMatches("Typehold.exe", "Typehold.com"));
    EXPECT_FALSE(ProcessNameMatches("Typehold2.exe", "Typehold"));
    EXPECT_FALSE(ProcessNameMatches("Typehold", "Typehold.exe"));
    EXPECT_FALSE(ProcessNameMatches("", ""));
}

TEST(LaunchInfoTest, CommandLineQuotesThePathAndFolderKeepsItsBackslash)
{
    EXPECT_EQ(MakeLaunchCommandLine("C:\\Program Files\\T.exe", "-a b"), "\"C:\\Program Files\\T.exe\" -a b");
    EXPECT_EQ(MakeLaunchCommandLine("C:\\T.exe", ""), "\"C:\\T.exe\" ");
    EXPECT_EQ(FolderOfWindowsPath("C:\\Program Files\\Lumorand\\Typehold.exe"),
              "C:\\Program Files\\Lumorand\\");
    EXPECT_EQ(FolderOfWindowsPath("Typehold.exe"), "");
}
