// Preferences through the exported class, checked on disk.
#include "FrameworkTestSupport.h"

#include <cctype>
#include <filesystem>
#include <set>

namespace
{
using Framework = LumorandPluginFramework;

std::string Plist(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

// The file's top-level dictionary, read independently of the library's cache.
CFDictionaryRef ReadPlist(const std::string& path)
{
    const std::string bytes = ReadWholeFile(path);
    CFHolder<CFDataRef> data(CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                                          static_cast<CFIndex>(bytes.size())));
    CFPropertyListRef list =
        CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, nullptr);
    if (list != nullptr && CFGetTypeID(list) != CFDictionaryGetTypeID())
    {
        CFRelease(list);
        return nullptr;
    }
    return static_cast<CFDictionaryRef>(list);
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(PathFromUTF8(folder)))
    {
        names.push_back(UTF8FromPath(entry.path().filename()));
    }
    return names;
}

// <host>.plist.damaged-yyyymmddThhmmss, with "-N" for more than one in a second.
bool IsSetAsideName(const std::string& name)
{
    const std::string prefix = "PhotoshopCC2020.plist.damaged-";
    if (name.rfind(prefix, 0) != 0 || name.size() < prefix.size() + 15)
    {
        return false;
    }
    const std::string stamp = name.substr(prefix.size(), 15);
    const std::string counter = name.substr(prefix.size() + 15);
    for (std::size_t i = 0; i < stamp.size(); ++i)
    {
        if (i == 8 ? stamp[i] != 'T' : !std::isdigit(static_cast<unsigned char>(stamp[i])))
        {
            return false;
        }
    }
    return counter.empty() || (counter.size() >= 2 && counter[0] == '-' &&
                               counter.find_first_not_of("0123456789", 1) == std::string::npos);
}

using PreferencesTest = FrameworkTest;

TEST_F(PreferencesTest, ValuesKeepTheirTypesOnDiskAndOtherTypesReadAsAbsent)
{
    auto framework = MakeFramework();
    EXPECT_FALSE(framework->DoPreferencesExist());
    Framework::SetPreferenceForKey(CFSTR("EnablePlugin"), true);
    Framework::SetPreferenceForKey(CFSTR("CloseFontsOnDocClose"), false);
    Framework::SetLongPreferenceForKey(CFSTR("CurrentWorkgroup"), -2);
    framework->SetStringPreferenceForKey(CFSTR("LastCFOFolder"), CFSTR("C:\\Out \"final\""));
    EXPECT_FALSE(framework->DoPreferencesExist()) << "the first run's own values do not count";
    EXPECT_TRUE(MakeFramework()->DoPreferencesExist()) << "the next run finds them";

    CFHolder<CFDictionaryRef> onDisk(ReadPlist(PreferencesFile("PhotoshopCC2020")));
    ASSERT_NE(onDisk.get(), nullptr);
    EXPECT_EQ(CFDictionaryGetValue(onDisk, CFSTR("EnablePlugin")), kCFBooleanTrue);
    EXPECT_EQ(CFDictionaryGetValue(onDisk, CFSTR("CloseFontsOnDocClose")), kCFBooleanFalse);
    CFTypeRef workgroup = CFDictionaryGetValue(onDisk, CFSTR("CurrentWorkgroup"));
    ASSERT_EQ(CFGetTypeID(workgroup), CFNumberGetTypeID());
    EXPECT_FALSE(CFNumberIsFloatType(static_cast<CFNumberRef>(workgroup)));
    EXPECT_EQ(Text(static_cast<CFStringRef>(CFDictionaryGetValue(onDisk, CFSTR("LastCFOFolder")))),
              "C:\\Out \"final\"");
    // Written through a temporary file that is gone afterwards.
    EXPECT_EQ(FilesIn(mPreferencesFolder), std::vector<std::string>{"PhotoshopCC2020.plist"});

    EXPECT_TRUE(Framework::GetPreferenceForKey(CFSTR("EnablePlugin")));
    EXPECT_EQ(Framework::GetLongPreferenceForKey(CFSTR("CurrentWorkgroup")), -2);
    CFHolder<CFStringRef> folder(framework->GetStringPreferenceForKey(CFSTR("LastCFOFolder")));
    EXPECT_EQ(Text(folder), "C:\\Out \"final\"");

    EXPECT_EQ(Framework::GetLongPreferenceForKey(CFSTR("EnablePlugin")), 0);
    EXPECT_FALSE(Framework::GetPreferenceForKey(CFSTR("CurrentWorkgroup")));
    EXPECT_FALSE(Framework::GetPreferenceForKey(CFSTR("LastCFOFolder")));
    EXPECT_EQ(framework->GetStringPreferenceForKey(CFSTR("EnablePlugin")), nullptr);
    EXPECT_FALSE(Framework::GetPreferenceForKey(CFSTR("NoSuchKey")));
    EXPECT_EQ(Framework::GetLongPreferenceForKey(CFSTR("NoSuchKey")), 0);
    EXPECT_EQ(framework->GetStringPreferenceForKey(CFSTR("NoSuchKey")), nullptr);

    // A null text removes the preference.
    framework->SetStringPreferenceForKey(CFSTR("LastCFOFolder"), nullptr);
    EXPECT_EQ(framework->GetStringPreferenceForKey(CFSTR("LastCFOFolder")), nullptr);
}

TEST_F(PreferencesTest, EachHostHasItsOwnFileAndTheNewestObjectNamesTheHost)
{
    auto photoshop = MakeFramework("PhotoshopCC2020");
    Framework::SetLongPreferenceForKey(CFSTR("CurrentWorkgroup"), 12);

    auto illustrator = MakeFramework("IllustratorCC2020");
    EXPECT_FALSE(illustrator->DoPreferencesExist());
    EXPECT_EQ(Framework::GetLongPreferenceForKey(CFSTR("CurrentWorkgroup")), 0);
    Framework::SetLongPreferenceForKey(CFSTR("CurrentWorkgroup"), 7);
    EXPECT_TRUE(std::filesystem::exists(PathFromUTF8(PreferencesFile("IllustratorCC2020"))));

    auto photoshopAgain = MakeFramework("PhotoshopCC2020");
    EXPECT_EQ(Framework::GetLongPreferenceForKey(CFSTR("CurrentWorkgroup")), 12);
}

TEST_F(PreferencesTest, AFileChangedFromOutsideIsReadAgainAndItsEntriesKept)
{
    auto framework = MakeFramework();
    Framework::SetPreferenceForKey(CFSTR("PickBestMatch"), true);
    Framework::SetLongPreferenceForKey(CFSTR("CurrentWorkgroup"), 3);
    ASSERT_TRUE(Framework::GetPreferenceForKey(CFSTR("PickBestMatch")));

    mScratch.WriteFile(
        "prefs/PhotoshopCC2020.plist",
        Plist("<dict><key>PickBestMatch</key><false/><key>Extra</key><string>kept</string></dict>"));
    EXPECT_FALSE(Framework::GetPreferenceForKey(CFSTR("PickBestMatch")));
    EXPECT_EQ(Framework::GetLongPreferenceForKey(CFSTR("CurrentWorkgroup")), 0);

    Framework::SetLongPreferenceForKey(CFSTR("CurrentWorkgroup"), 5);
    CFHolder<CFDictionaryRef> onDisk(ReadPlist(PreferencesFile("PhotoshopCC2020")));
    ASSERT_NE(onDisk.get(), nullptr);
    EXPECT_EQ(Text(static_cast<CFStringRef>(CFDictionaryGetValue(onDisk, CFSTR("Extra")))), "kept");
    EXPECT_EQ(CFDictionaryGetValue(onDisk, CFSTR("PickBestMatch")), kCFBooleanFalse);
    EXPECT_EQ(CFDictionaryGetCount(onDisk), 3);

    // An empty dictionary is a readable file without preferences: it is not set aside.
    mScratch.WriteFile("prefs/PhotoshopCC2020.plist", Plist("<dict/>"));
    EXPECT_FALSE(MakeFramework()->DoPreferencesExist());
    EXPECT_EQ(FilesIn(mPreferencesFolder).size(), 1u);
}

TEST_F(PreferencesTest, ADamagedFileIsSetAsideWithItsBytesAndNeverWrittenOver)
{
    const std::string valid = Plist("<dict><key>EnablePlugin</key><true/></dict>");
    const std::vector<std::string> damaged = {
        std::string("\x00\xff garbage \x01", 12),
        valid.substr(0, valid.size() / 2),
        Plist("<array><string>EnablePlugin</string></array>"),
        "",
    };
    mScratch.MakeFolder("prefs");
    std::set<std::string> expected;
    for (const std::string& bytes : damaged)
    {
        SCOPED_TRACE(testing::PrintToString(bytes));
        mScratch.WriteFile("prefs/PhotoshopCC2020.plist", bytes);
        expected.insert(bytes);
        auto framework = MakeFramework();
        EXPECT_FALSE(framework->DoPreferencesExist());
        EXPECT_FALSE(Framework::GetPreferenceForKey(CFSTR("EnablePlugin")));
        // The library goes on with a file of its own.
        Framework::SetPreferenceForKey(CFSTR("EnablePlugin"), true);
        EXPECT_TRUE(MakeFramework()->DoPreferencesExist());
    }

    std::set<std::string> setAside;
    for (const std::string& name : FilesIn(mPreferencesFolder))
    {
        if (name == "PhotoshopCC2020.plist")
        {
            continue;
        }
        EXPECT_TRUE(IsSetAsideName(name)) << name;
        setAside.insert(ReadWholeFile(UTF8FromPath(PathFromUTF8(mPreferencesFolder) / name)));
    }
    EXPECT_EQ(setAside, expected);
    const auto notes = TranscriptLinesStartingWith("# preferences file ");
    ASSERT_EQ(notes.size(), damaged.size());
    EXPECT_NE(notes[2].find("the top level is a CFArray, not a dictionary"), std::string::npos) << notes[2];
    EXPECT_NE(notes[2].find("set aside as"), std::string::npos) << notes[2];
}

TEST_F(PreferencesTest, WithoutAFolderOfTheirOwnPreferencesLiveInTheUsersApplicationData)
{
    ScopedEnvironment noFolder("LUMORAND_FRAMEWORK_PREFS_DIR", std::nullopt);
#ifdef _WIN32
    // The roaming application-data folder, as the system reports it to the environment.
    const std::optional<std::string> base = ScopedEnvironment::Get("APPDATA");
    ASSERT_TRUE(base.has_value());
    const std::filesystem::path folder = PathFromUTF8(*base) / "Lumorand" / "Plugin Preferences";
#else
    ScopedEnvironment config("XDG_CONFIG_HOME", UTF8FromPath(mScratch.Path()));
    const std::filesystem::path folder = mScratch.Path() / "Lumorand" / "Plugin Preferences";
#endif
    const std::string host = "FrameworkTestHost" +
                             std::to_string(testing::UnitTest::GetInstance()->random_seed()) + "-" +
                             testing::UnitTest::GetInstance()->current_test_info()->name();
    auto framework = MakeFramework(host.c_str());
    Framework::SetPreferenceForKey(CFSTR("EnablePlugin"), true);
    const std::filesystem::path file = folder / PathFromUTF8(host + ".plist");
    EXPECT_TRUE(std::filesystem::exists(file)) << UTF8FromPath(file);
    std::filesystem::remove(file);
}

TEST_F(PreferencesTest, AnUnwritableFolderIsNotedAndTheValuesLiveOn)
{
    const std::string notAFolder = mScratch.WriteFile("occupied", "a file where the folder should be");
    ScopedEnvironment folder("LUMORAND_FRAMEWORK_PREFS_DIR", notAFolder);
    auto framework = MakeFramework();
    Framework::SetPreferenceForKey(CFSTR("EnablePlugin"), true);
    EXPECT_TRUE(Framework::GetPreferenceForKey(CFSTR("EnablePlugin")));
    EXPECT_FALSE(framework->DoPreferencesExist());
    const auto notes = TranscriptLinesStartingWith("# preferences not written to ");
    EXPECT_EQ(notes.size(), 1u);
}
} // namespace
