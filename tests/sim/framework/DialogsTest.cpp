// The dialogs through the exported class: answers from the UI script (or the defaults), and the
// transcript lines they leave.
#include "FrameworkTestSupport.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
using DialogsTest = FrameworkTest;

std::string Localized(LumorandPluginFramework& framework, int number)
{
    CFHolder<CFStringRef> text(framework.LocalizedString(number));
    return Text(text);
}

// A possible replacement: {"PostScriptName", "DatabaseID"}.
CFDictionaryRef MakeReplacement(const char* name, int id)
{
    CFHolder<CFStringRef> nameString(MakeString(name));
    CFHolder<CFNumberRef> idNumber(MakeNumber(id));
    CFHolder<CFMutableDictionaryRef> replacement(
        MakeDictionary({{"PostScriptName", nameString.get()}, {"DatabaseID", idNumber.get()}}));
    return CFDictionaryCreateCopy(kCFAllocatorDefault, replacement);
}

// A problem font record with its possible replacements (none: no "PossibleReplacements" key).
CFMutableDictionaryRef MakeProblemFont(const char* name,
                                       std::vector<std::pair<const char*, int>> replacements,
                                       bool withReplacements = true)
{
    CFHolder<CFStringRef> nameString(MakeString(name));
    CFMutableDictionaryRef record = MakeDictionary({{"PostScriptName", nameString.get()}});
    if (withReplacements)
    {
        CFHolder<CFMutableArrayRef> array(
            CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
        for (const auto& [replacementName, id] : replacements)
        {
            CFHolder<CFDictionaryRef> replacement(MakeReplacement(replacementName, id));
            CFArrayAppendValue(array, replacement.get());
        }
        CFDictionarySetValue(record, CFSTR("PossibleReplacements"), array.get());
    }
    return record;
}

CFArrayRef MakeArray(std::initializer_list<CFTypeRef> values)
{
    std::vector<const void*> items(values.begin(), values.end());
    return CFArrayCreate(kCFAllocatorDefault, items.data(), static_cast<CFIndex>(items.size()),
                         &kCFTypeArrayCallBacks);
}

CFTypeRef Matched(CFDictionaryRef record)
{
    return CFDictionaryGetValue(record, CFSTR("MatchedFont"));
}

CFTypeRef Replacement(CFDictionaryRef record, CFIndex index)
{
    return CFArrayGetValueAtIndex(
        static_cast<CFArrayRef>(CFDictionaryGetValue(record, CFSTR("PossibleReplacements"))), index);
}

TEST_F(DialogsTest, MessageBoxesPressTheScriptedButtonOrTheFirst)
{
    WriteScript("# two answers\nmessagebox 2\n\n  messagebox 2\n");
    auto framework = MakeFramework();
    EXPECT_EQ(framework->ShowMessageBox(609, 610, kLumorandMessageBoxTwoButtons), 2);
    // The second answer names a button that a one-button box does not have.
    EXPECT_EQ(framework->ShowMessageBox(600, 601, kLumorandMessageBoxOK), 1);
    EXPECT_EQ(framework->ShowMessageBox(CFSTR("Vault \"A\""), CFSTR("C:\\Vault\nin use"),
                                        kLumorandMessageBoxTwoButtons),
              1);
    EXPECT_EQ(framework->ShowMessageBox(nullptr, CFSTR("no title"), kLumorandMessageBoxOK), 1);
    EXPECT_EQ(framework->ShowMessageBox(9999, 601, kLumorandMessageBoxOK), 1);

    const std::vector<std::string> expected = {
        "messagebox title=609 \"" + Localized(*framework, 609) + "\" text=610 \"" +
            Localized(*framework, 610) + "\" buttons=2 -> 2",
        "messagebox title=600 \"" + Localized(*framework, 600) + "\" text=601 \"" +
            Localized(*framework, 601) + "\" buttons=1 -> 1",
        "# messagebox has no button 2 (ui script line 4); pressing button 1",
        "messagebox title=\"Vault \\\"A\\\"\" text=\"C:\\\\Vault\\nin use\" buttons=2 -> 1",
        "messagebox title=null text=\"no title\" buttons=1 -> 1",
        "messagebox title=9999 null text=601 \"" + Localized(*framework, 601) + "\" buttons=1 -> 1",
    };
    EXPECT_EQ(Transcript(), expected);
}

TEST_F(DialogsTest, ABoxKeptOpenAnswersAfterItsTimeAndAFaultMakesPreferenceCallsThrow)
{
    WriteScript("messagebox 2 after 200\nmessagebox 1 after\n");
    auto framework = MakeFramework();
    EXPECT_EQ(framework->ShowMessageBox(609, 610, kLumorandMessageBoxTwoButtons), 2);
    const auto opened = TranscriptLinesStartingWith("# messagebox open");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "# messagebox open 200 ms (ui script line 1)");
    EXPECT_EQ(TranscriptLinesStartingWith("# ui script ").size(), 1u)
        << "\"after\" without a time is malformed";

    framework->SetLongPreferenceForKey(CFSTR("RMF5"), 4000);
    {
        ScopedEnvironment fault("LUMORAND_FRAMEWORK_FAULT", std::string("throw"));
        EXPECT_THROW(framework->GetLongPreferenceForKey(CFSTR("RMF5")), std::runtime_error);
        EXPECT_THROW(framework->SetPreferenceForKey(CFSTR("EnablePlugin"), true), std::runtime_error);
        EXPECT_THROW(framework->DoPreferencesExist(), std::runtime_error);
    }
    EXPECT_EQ(framework->GetLongPreferenceForKey(CFSTR("RMF5")), 4000);
}

TEST_F(DialogsTest, EachKindTakesItsOwnAnswersInOrderAndMalformedLinesAreSkipped)
{
    WriteScript("commandbox 3\n"
                "askstring \"First\"\n"
                "bogus 1\n"
                "messagebox 0\n"
                "askstring \"unterminated\n"
                "commandbox 6 workgroup 12\n"
                "askstring cancel\n"
                "resolvefonts pick x=y\n");
    auto framework = MakeFramework();
    std::int32_t workgroup = 1;
    CFStringRef answer = nullptr;
    EXPECT_EQ(framework->AskForOneString(CFSTR("t"), CFSTR("p"), CFSTR("i"), &answer), 1);
    CFHolder<CFStringRef> first(answer);
    EXPECT_EQ(Text(first), "First");
    EXPECT_EQ(framework->ShowCommandBox(nullptr, &workgroup), 3);
    EXPECT_EQ(framework->ShowCommandBox(nullptr, &workgroup), 6);
    EXPECT_EQ(workgroup, 12);
    EXPECT_EQ(framework->ShowCommandBox(nullptr, &workgroup), -1);
    EXPECT_EQ(framework->AskForOneString(CFSTR("t"), CFSTR("p"), CFSTR("i"), &answer), 0);
    EXPECT_EQ(framework->ShowMessageBox(600, 601, kLumorandMessageBoxTwoButtons), 1);

    const auto notes = TranscriptLinesStartingWith("# ui script ");
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_NE(notes[0].find("line 3 skipped: unknown dialog kind \"bogus\""), std::string::npos) << notes[0];
    EXPECT_NE(notes[1].find("line 4 skipped: messagebox takes one button number"), std::string::npos)
        << notes[1];
    EXPECT_NE(notes[2].find("line 5 skipped: a quoted text is not closed"), std::string::npos) << notes[2];
    EXPECT_NE(notes[3].find("line 8 skipped: resolvefonts pick takes"), std::string::npos) << notes[3];

    // A rewritten script keeps the answers already used: the next text prompt takes the third.
    WriteScript("askstring one\naskstring two\naskstring \"three = 3\"\n");
    EXPECT_EQ(framework->AskForOneString(CFSTR("t"), CFSTR("p"), CFSTR("i"), &answer), 1);
    CFHolder<CFStringRef> third(answer);
    EXPECT_EQ(Text(third), "three = 3");
}

TEST_F(DialogsTest, ResolveFontsSetsTheChosenReplacementInMutableRecords)
{
    WriteScript("resolvefonts pick 2\nresolvefonts pick Gill-Sans=1 \"Not Listed\"=1\nresolvefonts cancel\n");
    auto framework = MakeFramework();
    CFHolder<CFMutableDictionaryRef> futura(
        MakeProblemFont("Futura-Bold", {{"Futura-BoldOblique", 101}, {"FuturaPT-Bold", 102}}));
    CFHolder<CFMutableDictionaryRef> gill(MakeProblemFont("Gill-Sans", {{"GillSans", 201}}));
    CFHolder<CFMutableDictionaryRef> mutableSource(MakeProblemFont("Frozen", {{"A", 1}, {"B", 2}}));
    CFHolder<CFDictionaryRef> frozen(CFDictionaryCreateCopy(kCFAllocatorDefault, mutableSource));
    CFHolder<CFMutableDictionaryRef> bare(MakeProblemFont("Bare", {}, false));
    CFHolder<CFArrayRef> fonts(
        MakeArray({futura.get(), gill.get(), frozen.get(), CFSTR("not a record"), bare.get()}));

    EXPECT_EQ(framework->ShowResolveFonts(fonts), 1);
    EXPECT_EQ(Matched(futura), Replacement(futura, 1));
    EXPECT_EQ(Matched(gill), nullptr);
    EXPECT_EQ(Matched(frozen), nullptr);
    const std::vector<std::string> expected = {
        "resolvefonts fonts=5 -> confirmed",
        "  Futura-Bold replacements=[1 Futura-BoldOblique id=101, 2 FuturaPT-Bold id=102] -> 2 FuturaPT-Bold "
        "id=102",
        "  Gill-Sans replacements=[1 GillSans id=201] -> none (there is no replacement 2)",
        "  Frozen replacements=[1 A id=1, 2 B id=2] -> not set (the record is not a mutable dictionary)",
        "  record 4 -> skipped (not a dictionary)",
        "  Bare replacements=none -> none (there is no replacement 2)",
    };
    EXPECT_EQ(Transcript(), expected);

    CFDictionaryRemoveValue(futura, CFSTR("MatchedFont"));
    EXPECT_EQ(framework->ShowResolveFonts(fonts), 1);
    EXPECT_EQ(Matched(gill), Replacement(gill, 0));
    EXPECT_EQ(Matched(futura), nullptr);
    EXPECT_EQ(Transcript().back(), "# resolvefonts lists no font \"Not Listed\" (ui script line 2)");

    CFDictionaryRemoveValue(gill, CFSTR("MatchedFont"));
    EXPECT_EQ(framework->ShowResolveFonts(fonts), 0);
    EXPECT_EQ(framework->ShowResolveFonts(fonts), 0); // no answer left: cancelled
    EXPECT_EQ(framework->ShowResolveFonts(nullptr), 0);
    EXPECT_EQ(Matched(futura), nullptr);
    EXPECT_EQ(Matched(gill), nullptr);
    EXPECT_EQ(TranscriptLinesStartingWith("resolvefonts fonts=5 -> cancelled").size(), 2u);
}

TEST_F(DialogsTest, CommandBoxReturnsTheScriptedCommandAndWorkgroup)
{
    WriteScript("commandbox 6 workgroup 7\ncommandbox 2\ncommandbox cancel\ncommandbox 5\n");
    auto framework = MakeFramework();
    CFHolder<CFNumberRef> design(MakeNumber(12));
    CFHolder<CFNumberRef> all(MakeNumber(-2));
    CFHolder<CFMutableDictionaryRef> first(
        MakeDictionary({{"WorkgroupID", design.get()}, {"WorkgroupName", CFSTR("Design")}}));
    CFHolder<CFMutableDictionaryRef> second(
        MakeDictionary({{"WorkgroupID", all.get()}, {"WorkgroupName", CFSTR("All Workgroups")}}));
    CFHolder<CFArrayRef> workgroups(MakeArray({first.get(), second.get()}));
    CFHolder<CFMutableDictionaryRef> input(MakeDictionary({{"Workgroups", workgroups.get()},
                                                           {"CurrentWorkgroupID", design.get()},
                                                           {"ButtonsEnabled", kCFBooleanTrue},
                                                           {"IsOnline", kCFBooleanTrue}}));
    std::int32_t workgroup = 12;
    EXPECT_EQ(framework->ShowCommandBox(input, &workgroup), 6);
    EXPECT_EQ(workgroup, 7);
    EXPECT_EQ(framework->ShowCommandBox(input, &workgroup), 2);
    EXPECT_EQ(framework->ShowCommandBox(input, &workgroup), -1);
    EXPECT_EQ(workgroup, 7);
    // Without a tracked document the document commands cannot be pressed.
    CFDictionarySetValue(input, CFSTR("ButtonsEnabled"), kCFBooleanFalse);
    EXPECT_EQ(framework->ShowCommandBox(input, &workgroup), -1);
    EXPECT_EQ(framework->ShowCommandBox(nullptr, nullptr), -1);

    const std::string shown =
        "commandbox workgroups=[12 \"Design\", -2 \"All Workgroups\"] current=12 buttons=true online=true";
    const std::vector<std::string> expected = {
        shown + " -> 6 workgroup=7",
        shown + " -> 2 workgroup=7",
        shown + " -> -1 workgroup=7",
        "commandbox workgroups=[12 \"Design\", -2 \"All Workgroups\"] current=12 buttons=false online=true "
        "-> -1 workgroup=7",
        "# commandbox command 5 cannot be chosen: its button is disabled (ui script line 4); cancelled",
        "commandbox workgroups=none current=none buttons=none online=none -> -1 workgroup=none",
    };
    EXPECT_EQ(Transcript(), expected);
}

TEST_F(DialogsTest, AskForOneStringAnswersTheScriptedTextTheProposedOneOrCancels)
{
    WriteScript("askstring \"Poster \\\"final\\\" fonts\"\naskstring confirm\naskstring cancel\n");
    auto framework = MakeFramework();
    CFHolder<CFStringRef> title(framework->LocalizedString(470));
    CFHolder<CFStringRef> prompt(framework->LocalizedString(471));
    CFStringRef answer = nullptr;
    EXPECT_EQ(framework->AskForOneString(title, prompt, CFSTR("Poster.psd"), &answer), 1);
    CFHolder<CFStringRef> first(answer);
    EXPECT_EQ(Text(first), "Poster \"final\" fonts");
    EXPECT_EQ(framework->AskForOneString(title, prompt, CFSTR("Poster.psd"), &answer), 1);
    CFHolder<CFStringRef> second(answer);
    EXPECT_EQ(Text(second), "Poster.psd");
    answer = nullptr;
    EXPECT_EQ(framework->AskForOneString(title, prompt, CFSTR("Poster.psd"), &answer), 0);
    EXPECT_EQ(framework->AskForOneString(CFSTR("Other"), nullptr, nullptr, &answer), 0);
    EXPECT_EQ(answer, nullptr);

    const std::string shown = "askstring title=470 \"" + Text(title) + "\" prompt=471 \"" + Text(prompt) +
                              "\" initial=\"Poster.psd\" -> ";
    const std::vector<std::string> expected = {
        shown + "\"Poster \\\"final\\\" fonts\"",
        shown + "\"Poster.psd\"",
        shown + "cancelled",
        "askstring title=\"Other\" prompt=null initial=null -> cancelled",
    };
    EXPECT_EQ(Transcript(), expected);
}

TEST_F(DialogsTest, PreferencesShowsTheCurrentValuesAndAppliesTypedSettings)
{
    WriteScript(
        "preferences set PickBestMatch=false CurrentWorkgroup=12 LastCFOFolder=\"C:\\Out dir\" Label=12x "
        "Quoted=\"7\"\n");
    auto framework = MakeFramework();
    LumorandPluginFramework::SetPreferenceForKey(CFSTR("PickBestMatch"), true);
    LumorandPluginFramework::SetLongPreferenceForKey(CFSTR("CurrentWorkgroup"), 3);
    framework->ShowPreferences();
    framework->ShowPreferences();

    EXPECT_FALSE(LumorandPluginFramework::GetPreferenceForKey(CFSTR("PickBestMatch")));
    EXPECT_EQ(LumorandPluginFramework::GetLongPreferenceForKey(CFSTR("CurrentWorkgroup")), 12);
    CFHolder<CFStringRef> folder(framework->GetStringPreferenceForKey(CFSTR("LastCFOFolder")));
    EXPECT_EQ(Text(folder), "C:\\Out dir");
    CFHolder<CFStringRef> quoted(framework->GetStringPreferenceForKey(CFSTR("Quoted")));
    EXPECT_EQ(Text(quoted), "7");
    const std::vector<std::string> expected = {
        "preferences CurrentWorkgroup=3 PickBestMatch=true -> set PickBestMatch=false CurrentWorkgroup=12 "
        "LastCFOFolder=\"C:\\\\Out dir\" Label=\"12x\" Quoted=\"7\"",
        "preferences CurrentWorkgroup=12 Label=\"12x\" LastCFOFolder=\"C:\\\\Out dir\" PickBestMatch=false "
        "Quoted=\"7\" -> unchanged",
    };
    EXPECT_EQ(Transcript(), expected);
}

TEST_F(DialogsTest, AboutBoxShowsTheDetailsAndHostNamesAreShownToTheUser)
{
    auto framework = MakeFramework();
    CFHolder<CFMutableDictionaryRef> update(MakeDictionary({{"FontManager", CFSTR("MeridianPlugin")}}));
    framework->UpdatePluginDetails(update);
    framework->ShowAboutBox();
    EXPECT_EQ(Transcript(), std::vector<std::string>{"about plugin=22.0.4.10317 interface=1.0.0.42 "
                                                     "fontmanager=MeridianPlugin host=PhotoshopCC2020"});

    const std::vector<std::pair<const char*, const char*>> names = {
        {"PhotoshopCC2020", "Adobe Photoshop 2020"},
        {"IllustratorCC2017", "Adobe Illustrator CC 2017"},
        {"Illustrator2022", "Adobe Illustrator 2022"},
        {"AfterEffectsCC2019", "Adobe After Effects CC 2019"},
        {"InDesign2021", "Adobe InDesign 2021"},
        {"SketchHost", "SketchHost"},
        {"PhotoshopBeta", "PhotoshopBeta"},
    };
    for (const auto& [host, display] : names)
    {
        auto hosted = MakeFramework(host);
        CFHolder<CFStringRef> shown(hosted->GetHostAppDisplayName());
        EXPECT_EQ(Text(shown), display);
    }
    LumorandPluginFramework anonymous(nullptr);
    EXPECT_EQ(anonymous.GetHostAppDisplayName(), nullptr);
}

TEST_F(DialogsTest, EveryStringThePlugInUsesExistsAndFormatsTakeOneText)
{
    auto framework = MakeFramework();
    const int numbers[] = {210, 211, 212, 213, 214, 215, 217, 219, 222, 357, 358, 450, 452,
                           454, 455, 470, 471, 598, 599, 600, 601, 602, 603, 609, 610, 611,
                           614, 615, 616, 617, 620, 621, 622, 623, 624, 625, 626, 627, 628,
                           633, 634, 637, 638, 639, 640, 644, 645, 646, 647, 649, 650};
    for (const int number : numbers)
    {
        const std::string text = Localized(*framework, number);
        EXPECT_FALSE(text.empty() || text == "<null>") << number;
        const bool isFormat = number == 452 || number == 455 || number == 633 || number == 634;
        const std::size_t first = text.find("%@");
        EXPECT_EQ(first != std::string::npos && text.find("%@", first + 2) == std::string::npos, isFormat)
            << number;
    }
    EXPECT_EQ(Localized(*framework, 644), "Some text layers contain fonts that are missing.");
    EXPECT_EQ(framework->LocalizedString(1), nullptr);
    EXPECT_EQ(framework->LocalizedString(-1), nullptr);
}

TEST_F(DialogsTest, WithoutAReadableScriptDialogsTakeTheirDefaults)
{
    ScopedEnvironment script("LUMORAND_UI_SCRIPT", mScratch.Child("missing-script.txt"));
    auto framework = MakeFramework();
    std::int32_t workgroup = 4;
    CFStringRef answer = nullptr;
    EXPECT_EQ(framework->ShowMessageBox(609, 610, kLumorandMessageBoxTwoButtons), 1);
    EXPECT_EQ(framework->ShowCommandBox(nullptr, &workgroup), -1);
    EXPECT_EQ(framework->AskForOneString(nullptr, nullptr, CFSTR("x"), &answer), 0);
    EXPECT_EQ(answer, nullptr);
    EXPECT_EQ(workgroup, 4);
    EXPECT_EQ(TranscriptLinesStartingWith("# ui script ").size(), 1u);

    // Without a transcript nothing is written, and the answers are the same.
    ScopedEnvironment transcript("LUMORAND_UI_TRANSCRIPT", std::nullopt);
    const std::size_t before = Transcript().size();
    EXPECT_EQ(framework->ShowMessageBox(600, 601, kLumorandMessageBoxOK), 1);
    EXPECT_EQ(Transcript().size(), before);
}

#ifdef _WIN32
TEST_F(DialogsTest, DialogsNameTheClassOfTheirParentWindow)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Photoshop";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"Photoshop", L"Adobe Photoshop 2020", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                  100, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    WriteScript("# no answers\n");
    auto framework = MakeFramework();
    framework->SetParentWindowForUi(window);
    framework->ShowAboutBox();
    EXPECT_EQ(framework->ShowMessageBox(600, 601, kLumorandMessageBoxOK), 1);
    DestroyWindow(window);
    const auto lines = Transcript();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" host=PhotoshopCC2020 parent=Photoshop"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(" buttons=1 parent=Photoshop -> 1"), std::string::npos) << lines[1];
}
#endif
} // namespace
