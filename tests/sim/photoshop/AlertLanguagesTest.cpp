// The languages of the stand-in's missing-fonts dialog: the texts a plug-in looks for in each of
// Photoshop's languages (written out here on their own, not taken from the stand-in's table) must
// be in the stand-in's title and button, and --language takes exactly those languages.

#include "AlertTexts.h"
#include "CommandLine.h"

#include <gtest/gtest.h>

namespace
{
struct Expected
{
    const char* code;
    std::u16string titleContains;
    std::u16string button;
};

std::vector<std::string> Arguments(std::vector<std::string> extra)
{
    std::vector<std::string> arguments = {"--plugins", "p", "--scenario", "s.json", "--transcript", "t.txt"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}
} // namespace

TEST(AlertLanguagesTest, EachLanguageShowsPhotoshopsTitleAndButton)
{
    const Expected expected[] = {
        {"en", u"Missing Fonts", u"Cancel"},
        {"de", u"Fehlende Schriften", u"Abbrechen"},
        {"fr", u"Polices manquantes", u"Annuler"},
        {"es", u"Fuentes no disponibles", u"Cancelar"},
        {"pt", u"Fontes ausentes", u"Cancelar"},
        {"it", u"Font mancanti", u"Annulla"},
        {"ja", u"\u30D5\u30A9\u30F3\u30C8", u"\u30AD\u30E3\u30F3\u30BB\u30EB"},
    };
    for (const Expected& language : expected)
    {
        const AlertLanguage* found = FindAlertLanguage(language.code);
        ASSERT_NE(found, nullptr) << language.code;
        EXPECT_NE(std::u16string(found->mDialogTitle).find(language.titleContains), std::u16string::npos)
            << language.code;
        EXPECT_EQ(std::u16string(found->mCancelButton), language.button) << language.code;
    }
    // The Japanese title says more than the word searched for, so a search must match a part.
    EXPECT_NE(std::u16string(FindAlertLanguage("ja")->mDialogTitle), expected[6].titleContains);
    EXPECT_NE(std::u16string(kMessageBoxTitle).find(u"Adobe Photoshop C"), std::u16string::npos);
}

TEST(AlertLanguagesTest, TheCommandLineTakesTheSevenLanguagesOnly)
{
    SimOptions options;
    std::string error;
    ASSERT_TRUE(ParseSimOptions(Arguments({}), options, error)) << error;
    EXPECT_EQ(options.mLanguage, "en");
    ASSERT_TRUE(ParseSimOptions(Arguments({"--language", "ja", "--timer-ms", "5"}), options, error)) << error;
    EXPECT_EQ(options.mLanguage, "ja");
    EXPECT_EQ(options.mTimerMs, 5u);
    for (const char* wrong : {"jp", "EN", "en-US", "zh"})
    {
        EXPECT_FALSE(ParseSimOptions(Arguments({"--language", wrong}), options, error)) << wrong;
        EXPECT_EQ(error,
                  "--language needs one of en, de, fr, es, pt, it, ja, not '" + std::string(wrong) + "'");
    }
    EXPECT_FALSE(ParseSimOptions(Arguments({"--language"}), options, error));
    EXPECT_EQ(error, "--language needs a value");
}
