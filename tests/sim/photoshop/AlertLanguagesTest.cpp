// --language takes Photoshop's seven languages of the missing-fonts dialog and nothing else (the
// titles and buttons themselves are checked end to end, in missing-fonts-dialog.sh).

#include "CommandLine.h"

#include <gtest/gtest.h>

namespace
{
std::vector<std::string> Arguments(std::vector<std::string> extra)
{
    std::vector<std::string> arguments = {"--plugins", "p", "--scenario", "s.json", "--transcript", "t.txt"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}
} // namespace

TEST(AlertLanguagesTest, TheCommandLineTakesTheSevenLanguagesOnly)
{
    SimOptions options;
    std::string error;
    ASSERT_TRUE(ParseSimOptions(Arguments({}), options, error)) << error;
    EXPECT_EQ(options.mLanguage, "en");
    for (const char* code : {"en", "de", "fr", "es", "pt", "it", "ja"})
    {
        ASSERT_TRUE(ParseSimOptions(Arguments({"--language", code, "--timer-ms", "5"}), options, error))
            << error;
        EXPECT_EQ(options.mLanguage, code);
        EXPECT_EQ(options.mTimerMs, 5u);
    }
    for (const char* wrong : {"jp", "EN", "en-US", "zh"})
    {
        EXPECT_FALSE(ParseSimOptions(Arguments({"--language", wrong}), options, error)) << wrong;
        EXPECT_EQ(error,
                  "--language needs one of en, de, fr, es, pt, it, ja, not '" + std::string(wrong) + "'");
    }
    EXPECT_FALSE(ParseSimOptions(Arguments({"--language"}), options, error));
    EXPECT_EQ(error, "--language needs a value");
}
