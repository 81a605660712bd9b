// config.json of the core: what it accepts, what it refuses, and how fonts find their workgroup.

#include "GTypeholdConfig.h"
#include "LumorandPluginInterface.h"

#include <gtest/gtest.h>

using namespace typehold;

TEST(TypeholdConfigTest, ValuesAndDefaults)
{
    GCoreConfig config;
    std::string error;
    ASSERT_TRUE(ParseCoreConfig(R"({"fontFolders": ["C:\\Fonts"], "systemFonts": true,
        "user": {"loggedIn": false, "serverType": 3}, "initThreadInstance": {"failure": "invalidVault"},
        "callDelayMs": {"Log": 20}, "typekitLibrary": {"id": 30}})",
                                config, error))
        << error;
    EXPECT_EQ(config.workgroups.size(), 1u) << "a default library when none is listed";
    EXPECT_EQ(config.workgroups[0].type, kWorkgroupTypeLibrary);
    EXPECT_TRUE(config.hasSystemWorkgroup);
    EXPECT_EQ(config.systemWorkgroup.type, kWorkgroupTypeSystem);
    EXPECT_EQ(config.systemWorkgroup.folders, std::vector<std::string>{MachineFontFolder()});
    EXPECT_FALSE(config.loggedIn);
    EXPECT_EQ(config.serverType, 3);
    EXPECT_EQ(config.initThreadFailure, kLPIInvalidVault);
    EXPECT_EQ(config.callDelayMs.at("Log"), 20u);
    EXPECT_EQ(config.typekitLibrary.id, 30);
    EXPECT_EQ(config.typekitLibrary.type, kWorkgroupTypeTypekit);
}

TEST(TypeholdConfigTest, MalformedConfigurationsAreRefusedAndLeaveTheOldOne)
{
    GCoreConfig config;
    config.standalone = true;
    std::string error;
    for (const char* text : {"{", "[]", R"({"workgroups": 5})", R"({"workgroups": [{"id": "one"}]})",
                             R"({"initThreadInstance": {"failure": "sometimes"}})",
                             R"({"startupDelayMs": -1})", R"({"online": "yes"})"})
    {
        error.clear();
        EXPECT_FALSE(ParseCoreConfig(text, config, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
    }
    EXPECT_TRUE(config.standalone);
}

TEST(TypeholdConfigTest, FoldersAndPatterns)
{
    GCoreConfig config;
    config.fontFolders = {"C:\\Fonts", "c:/fonts/Studio", "D:\\More"};
    config.workgroups = {GWorkgroupConfig{5, "Studio", 3, {}, {"C:\\Fonts\\Studio"}, true},
                         GWorkgroupConfig{6, "Elsewhere", 3, {}, {"E:\\Elsewhere\\"}, true}};
    EXPECT_EQ(config.CatalogFolders(),
              (std::vector<std::string>{"C:\\Fonts", "D:\\More", "E:\\Elsewhere\\"}));
    EXPECT_TRUE(PathIsInFolder("C:\\Fonts\\Studio\\a.otf", "c:/fonts/studio/"));
    EXPECT_FALSE(PathIsInFolder("C:\\Fonts\\Studios\\a.otf", "C:\\Fonts\\Studio"));
    EXPECT_FALSE(PathIsInFolder("C:\\Fonts", "C:\\Fonts"));
    EXPECT_TRUE(MatchesPattern("OpenSans-Bold", "OpenSans*"));
    EXPECT_TRUE(MatchesPattern("Carlito-Bold", "*-B?ld"));
    EXPECT_TRUE(MatchesPattern("a", "*"));
    EXPECT_FALSE(MatchesPattern("opensans", "OpenSans*"));
    EXPECT_FALSE(MatchesPattern("OpenSans", "OpenSans?"));
}
