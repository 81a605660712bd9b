// The font manager's services behind the plug-in's panel, through the interface library and the
// core: smart lists over workgroups, sets and smart sets; previews drawn in each font; a family's
// design activation, conflicts and panel clicks; the web fonts library; the session as
// typehold-ctl changes it.

#include "TypeholdCoreTest.h"

#include <gtest/gtest.h>

#include <wincodec.h>

#include <algorithm>
#include <cctype>
#include <set>

using typehold::GCFHolder;
using typehold::MessageInt;
using typehold::MessageString;

namespace
{
bool WaitForType(std::uint32_t type, std::size_t count = 1, int timeoutMs = 20000)
{
    return GNotificationRecorder::Shared().WaitFor(
        [&](const auto& entries)
        {
            return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(),
                                                          [&](const auto& e) { return e.type == type; })) >=
                   count;
        },
        timeoutMs);
}

std::vector<std::int64_t> Numbers(CFArrayRef array)
{
    std::vector<std::int64_t> numbers;
    for (CFIndex i = 0; array != nullptr && i < CFArrayGetCount(array); ++i)
    {
        std::int64_t value = 0;
        typehold::IntegerValue(CFArrayGetValueAtIndex(array, i), value);
        numbers.push_back(value);
    }
    return numbers;
}

std::set<std::int64_t> Keys(CFDictionaryRef dictionary)
{
    const CFIndex count = CFDictionaryGetCount(dictionary);
    std::vector<const void*> keys(static_cast<std::size_t>(count));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), nullptr);
    std::set<std::int64_t> numbers;
    for (const void* key : keys)
    {
        std::int64_t value = 0;
        EXPECT_TRUE(typehold::IntegerValue(static_cast<CFTypeRef>(key), value)) << "a font ID key";
        numbers.insert(value);
    }
    return numbers;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A PNG file decoded by the system's decoder into 32-bit BGRA pixels.
struct GDecodedPNG
{
    bool ok = false;
    UINT width = 0;
    UINT height = 0;
    std::vector<BYTE> bgra;

    std::size_t Ink() const
    {
        std::size_t ink = 0;
        for (std::size_t i = 3; i < bgra.size(); i += 4)
        {
            ink += bgra[i] != 0 ? 1 : 0;
        }
        return ink;
    }
};

GDecodedPNG DecodePNG(const std::string& path)
{
    GDecodedPNG image;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICBitmapSource* converted = nullptr;
    GUID format{};
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateDecoderFromFilename(Wide(path).c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetContainerFormat(&format)) && IsEqualGUID(format, GUID_ContainerFormatPng) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&image.width, &image.height)) &&
        SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, &converted)))
    {
        image.bgra.resize(static_cast<std::size_t>(image.width) * image.height * 4);
        image.ok = SUCCEEDED(converted->CopyPixels(nullptr, image.width * 4,
                                                   static_cast<UINT>(image.bgra.size()), image.bgra.data()));
    }
    for (IUnknown* object : std::initializer_list<IUnknown*>{converted, frame, decoder, factory})
    {
        if (object != nullptr)
        {
            object->Release();
        }
    }
    if (SUCCEEDED(com))
    {
        CoUninitialize();
    }
    return image;
}
} // namespace

class TypeholdPanelServicesTest : public GTypeholdCoreTest
{
protected:
    // The records of a smart list's fonts.
    GCFHolder<CFMutableArrayRef> SmartListFonts(std::int32_t list)
    {
        GCFHolder<CFMutableArrayRef> fonts(typehold::CreateMutableArray());
        EXPECT_EQ(mLibrary->GetSmartListFonts(Facade(), list, fonts.Get()), 0u);
        return fonts;
    }

    std::set<std::int64_t> Query(std::vector<std::int32_t> workgroups, std::vector<std::int32_t> sets,
                                 std::vector<std::int32_t> smartSets)
    {
        GCFHolder<CFMutableArrayRef> ids(typehold::CreateMutableArray());
        EXPECT_EQ(mLibrary->QueryForSmartListFonts(Facade(), static_cast<std::uint32_t>(workgroups.size()),
                                                   workgroups.data(), static_cast<std::uint32_t>(sets.size()),
                                                   sets.data(), static_cast<std::uint32_t>(smartSets.size()),
                                                   smartSets.data(), ids.Get()),
                  0u);
        const std::vector<std::int64_t> numbers = Numbers(ids.Get());
        return std::set<std::int64_t>(numbers.begin(), numbers.end());
    }

    std::string Tree(std::int32_t list)
    {
        GCFHolder<CFMutableStringRef> tree(CFStringCreateMutable(nullptr, 0));
        EXPECT_EQ(mLibrary->GetPanelSmartListTree(Facade(), list, tree.Get()), 0u);
        return typehold::StringValue(tree.Get());
    }

    void RestartCore()
    {
        mCore->Stop();
        ASSERT_TRUE(mCore->Start());
        ASSERT_EQ(mLibrary->ResetPluginFacadeInstance(), 0u);
    }
};

// A font is in a smart list when it is in one of its workgroups, sets or smart sets; the lists,
// their queries and their fonts survive a restart of the core; every change is notified.
TEST_F(TypeholdPanelServicesTest, SmartListsSelectTheUnionOfTheirQueryAndPersist)
{
    StartAndConnect();
    auto& recorder = GNotificationRecorder::Shared();
    const std::uint32_t carlito[2] = {FontID("Carlito-Bold"), FontID("Carlito-Italic")};
    std::int32_t set = 0;
    ASSERT_EQ(mLibrary->CreateTopLevelSet(Facade(), &set, 1, "Poster fonts", 0, 0, 2, carlito), 0u);
    std::string output;
    ASSERT_EQ(RunCtl(L"smartset Caladeas Caladea-*", &output), 0);
    const std::int32_t caladeas = std::stoi(output);
    ASSERT_EQ(RunCtl(L"smartset \"Google bold\" --workgroup 8 *-Bold", &output), 0);
    const std::int32_t googleBold = std::stoi(output);
    EXPECT_EQ(RunCtl(L"smartset Nowhere --workgroup 77 A*"), 1) << "an unknown workgroup is refused";
    recorder.Clear();

    std::int32_t list = 0;
    ASSERT_EQ(mLibrary->CreateSmartList(Facade(), "Posters", 0, nullptr, 1, &set, 1, &caladeas, &list), 0u);
    GCFHolder<CFMutableArrayRef> fonts = SmartListFonts(list);
    std::set<std::string> names;
    std::vector<std::string> order;
    for (CFDictionaryRef font : Records(fonts.Get()))
    {
        names.insert(MessageString(font, "postscriptName"));
        order.push_back(Lower(MessageString(font, "displayName")));
        EXPECT_EQ(MessageInt(font, "fontID"), FontID(MessageString(font, "postscriptName").c_str()));
        EXPECT_EQ(MessageInt(font, "fontLocation", -1), 1);
        EXPECT_EQ(MessageInt(font, "fontIsLocal", -1), 1);
        EXPECT_EQ(MessageInt(font, "activated", -1), 0);
    }
    EXPECT_EQ(names, (std::set<std::string>{"Carlito-Bold", "Carlito-Italic", "Caladea-Regular",
                                            "Caladea-Bold", "Caladea-Italic", "Caladea-BoldItalic"}));
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << "in the order of their display names";

    // The union of what each kind selects; a kind left empty, or unknown IDs, select nothing.
    const std::set<std::int64_t> system = Query({2}, {}, {});
    const std::set<std::int64_t> bold = Query({}, {}, {googleBold});
    ASSERT_FALSE(system.empty());
    ASSERT_FALSE(bold.empty());
    std::set<std::int64_t> both = system;
    both.insert(bold.begin(), bold.end());
    EXPECT_EQ(Query({2}, {}, {googleBold}), both);
    EXPECT_TRUE(Query({}, {}, {}).empty());
    EXPECT_TRUE(Query({}, {999}, {999}).empty());
    EXPECT_EQ(Query({0}, {}, {}).size(), Query({-2}, {set}, {}).size())
        << "0 and -2 stand for every workgroup";

    const std::int32_t systemWorkgroup = 2;
    ASSERT_EQ(mLibrary->SetSmartListQuery(Facade(), list, 1, &systemWorkgroup, 0, nullptr, 1, &googleBold),
              0u);
    fonts = SmartListFonts(list);
    std::set<std::int64_t> listed;
    for (CFDictionaryRef font : Records(fonts.Get()))
    {
        const std::string name = MessageString(font, "postscriptName");
        const bool google = bold.count(MessageInt(font, "fontID")) != 0;
        EXPECT_EQ(MessageInt(font, "fontLocation"), google ? 10 : 4) << name;
        EXPECT_TRUE(!google || name.rfind("OpenSans", 0) == 0) << name << ": the smart set's workgroup only";
        EXPECT_EQ(MessageInt(font, "activated"), google ? 0 : 1) << name << ": system fonts are active";
        listed.insert(MessageInt(font, "fontID"));
    }
    EXPECT_EQ(listed, both);
    ASSERT_EQ(mLibrary->RenameSmartList(Facade(), list, "Posters 2"), 0u);
    const std::string tree = "smart list " + std::to_string(list) +
                             " \"Posters 2\": any of\n"
                             "  workgroup 2 \"System Fonts\"\n"
                             "  smart set " +
                             std::to_string(googleBold) +
                             " \"Google bold\" (PostScript name *-Bold, in workgroup \"Google Fonts\")\n";
    EXPECT_EQ(Tree(list), tree);
    std::int32_t empty = 0;
    ASSERT_EQ(mLibrary->CreateSmartList(Facade(), "Empty", 0, nullptr, 0, nullptr, 0, nullptr, &empty), 0u);
    EXPECT_EQ(CFArrayGetCount(SmartListFonts(empty).Get()), 0);
    EXPECT_EQ(Tree(empty), "smart list " + std::to_string(empty) + " \"Empty\": nothing\n");
    EXPECT_TRUE(WaitForType(kLPINotifySmartListsChanged, 4)) << "create, query, rename, create";

    // After a restart: the same lists, queries and fonts.
    const std::vector<std::int64_t> before = [&]
    {
        std::vector<std::int64_t> ids;
        for (CFDictionaryRef font : Records(fonts.Get()))
        {
            ids.push_back(MessageInt(font, "fontID"));
        }
        return ids;
    }();
    RestartCore();
    GCFHolder<CFMutableArrayRef> lists(typehold::CreateMutableArray());
    ASSERT_EQ(mLibrary->GetAllSmartLists(Facade(), lists.Get()), 0u);
    ASSERT_EQ(CFArrayGetCount(lists.Get()), 2);
    EXPECT_EQ(MessageInt(Records(lists.Get())[0], "smartListID"), list);
    EXPECT_EQ(MessageString(Records(lists.Get())[0], "smartListName"), "Posters 2");
    GCFHolder<CFMutableDictionaryRef> definition(typehold::CreateMutableDictionary());
    ASSERT_EQ(mLibrary->GetSmartList(Facade(), list, definition.Get()), 0u);
    EXPECT_EQ(MessageString(definition.Get(), "smartListName"), "Posters 2");
    EXPECT_EQ(Numbers(typehold::MessageArray(definition.Get(), "workgroupIDs")),
              (std::vector<std::int64_t>{2}));
    EXPECT_EQ(Numbers(typehold::MessageArray(definition.Get(), "setIDs")), (std::vector<std::int64_t>{}));
    EXPECT_EQ(Numbers(typehold::MessageArray(definition.Get(), "smartSetIDs")),
              (std::vector<std::int64_t>{googleBold}));
    fonts = SmartListFonts(list);
    std::vector<std::int64_t> after;
    for (CFDictionaryRef font : Records(fonts.Get()))
    {
        after.push_back(MessageInt(font, "fontID"));
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(Tree(list), tree);

    recorder.Clear();
    ASSERT_EQ(mLibrary->DeleteSmartList(Facade(), empty), 0u);
    EXPECT_TRUE(WaitForType(kLPINotifySmartListsChanged));
    EXPECT_NE(mLibrary->DeleteSmartList(Facade(), empty), 0u);
    ASSERT_EQ(RunCtl(L"smartlists", &output), 0);
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end()); // a console's line ends
    std::string expected = std::to_string(list) + "\tPosters 2\t";
    for (std::size_t i = 0; i < after.size(); ++i)
    {
        expected += (i == 0 ? "" : ",") + std::to_string(after[i]);
    }
    EXPECT_EQ(output, expected + "\n");
}

// Previews: real PNG images of each font's name, the double-resolution one twice the size with
// text twice as large, the high-priority fonts notified first, unknown fonts skipped.
TEST_F(TypeholdPanelServicesTest, PreviewsAreImagesOfEachFontsName)
{
    StartAndConnect();
    const std::uint32_t caladea = FontID("Caladea-Bold");
    const std::uint32_t carlito = FontID("Carlito-Bold");
    const std::uint32_t others[3] = {carlito, 999999, caladea};
    ASSERT_EQ(mLibrary->RenderFontNamePreviewPNGs(Facade(), 1, &caladea, 3, others, 0, 14, 400, 30, 1), 0u);
    ASSERT_TRUE(WaitForType(kLPINotifyPreviewPNGsRendered, 2, 60000));
    const auto batches = GNotificationRecorder::Shared().CopyDictionaries(kLPINotifyPreviewPNGsRendered);
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(Keys(batches[0].Get()), (std::set<std::int64_t>{caladea})) << "the high-priority font first";
    EXPECT_EQ(Keys(batches[1].Get()), (std::set<std::int64_t>{carlito}));
    EXPECT_NE(CoreLog().find("Preview of font 999999 skipped"), std::string::npos);

    char folder[MAX_PATH] = {};
    ASSERT_EQ(mLibrary->GetRenderedPNGsDirectory(Facade(), folder, sizeof(folder)), 0u);
    std::vector<GDecodedPNG> images;
    for (const auto& [batch, id] :
         {std::pair{batches[0].Get(), caladea}, std::pair{batches[1].Get(), carlito}})
    {
        GCFHolder<CFNumberRef> key(typehold::CreateNumber(id));
        auto* files = static_cast<CFDictionaryRef>(CFDictionaryGetValue(batch, key.Get()));
        ASSERT_NE(files, nullptr);
        const std::string single = MessageString(files, "pngFilename");
        const std::string twice = MessageString(files, "2xPNGFilename");
        EXPECT_EQ(single.rfind(std::string(folder) + "\\", 0), 0u) << single;
        const GDecodedPNG image = DecodePNG(single);
        const GDecodedPNG image2x = DecodePNG(twice);
        ASSERT_TRUE(image.ok) << single;
        ASSERT_TRUE(image2x.ok) << twice;
        EXPECT_EQ(image.width, 400u);
        EXPECT_EQ(image.height, 30u);
        EXPECT_EQ(image2x.width, 800u);
        EXPECT_EQ(image2x.height, 60u);
        ASSERT_GT(image.Ink(), 100u) << "the name is drawn";
        const double ratio = static_cast<double>(image2x.Ink()) / static_cast<double>(image.Ink());
        EXPECT_GT(ratio, 2.5) << "the double-resolution text is larger";
        EXPECT_LT(ratio, 6.0);
        images.push_back(image);
    }
    EXPECT_NE(images[0].bgra, images[1].bgra);
}

// A panel click on a family: its fonts by the PostScript name's family, a design activation that
// refuses the non-compliant face, the conflicts of a font in two workgroups, the click recorded.
TEST_F(TypeholdPanelServicesTest, FamilyDesignActivationConflictsAndClicks)
{
    std::string copy = ReadWholeFile(TestFontsFolder() + "\\fonts-crosextra-carlito\\Carlito-Bold.ttf");
    ReplaceNameText(copy, "Version 1.103", "Version 1.104");
    mConfig->MakeFolder("studio");
    mConfig->WriteFile("studio/Carlito-Bold.ttf", copy);
    StartAndConnect(ConfigJSON("\"designNonCompliant\": [\"Carlito-Ital*\"]", {},
                               "    {\"id\": 5, \"name\": \"Studio\", \"type\": 3, \"folders\": [" +
                                   JSONString(WindowsPath(mConfig->Child("studio"))) + "]},\n"));
    const std::uint32_t bold = FontID("Carlito-Bold", 1);
    const std::uint32_t studioBold = FontID("Carlito-Bold", 5);
    const std::uint32_t italic = FontID("Carlito-Italic");

    GCFHolder<CFMutableDictionaryRef> reference = FontInfo(italic);
    const std::int32_t library = 1;
    GCFHolder<CFMutableArrayRef> family(typehold::CreateMutableArray());
    ASSERT_EQ(mLibrary->FindFontsInSameFamilyForActivation(reference.Get(), &library, 1, family.Get()), 0u);
    std::set<std::string> names;
    std::vector<std::uint32_t> ids;
    for (CFDictionaryRef font : Records(family.Get()))
    {
        names.insert(MessageString(font, "PostScriptName"));
        ids.push_back(static_cast<std::uint32_t>(MessageInt(font, "DatabaseID")));
    }
    EXPECT_EQ(names,
              (std::set<std::string>{"Carlito", "Carlito-Bold", "Carlito-Italic", "Carlito-BoldItalic"}));
    const std::int32_t all = 0;
    GCFHolder<CFMutableArrayRef> everywhere(typehold::CreateMutableArray());
    ASSERT_EQ(mLibrary->FindFontsInSameFamilyForActivation(reference.Get(), &all, 1, everywhere.Get()), 0u);
    EXPECT_EQ(CFArrayGetCount(everywhere.Get()), 5) << "with the studio's copy";

    std::uint32_t notActivated[4] = {};
    LPIFontActivationResult results[4] = {};
    std::uint32_t notActivatedCount = 0;
    std::uint32_t resultCount = 0;
    ASSERT_EQ(mLibrary->ActivateFonts(Facade(), 4, ids.data(), 0, 3, 1, 1, 4, 4, notActivated, results,
                                      &notActivatedCount, &resultCount),
              0u);
    ASSERT_EQ(notActivatedCount, 1u);
    EXPECT_EQ(notActivated[0], italic);
    ASSERT_EQ(resultCount, 1u);
    EXPECT_EQ(results[0].fontID, italic);
    EXPECT_NE(results[0].code, 0u);
    for (const std::uint32_t id : ids)
    {
        EXPECT_EQ(MessageInt(FontInfo(id).Get(), "ActivationStatus"), id == italic ? 0 : 10) << id;
    }
    EXPECT_TRUE(WaitForType(kLPINotifyDesignActivationNonCompliant));
    EXPECT_EQ(GNotificationRecorder::Shared().ValuesOf(kLPINotifyDesignActivationNonCompliant),
              (std::vector<std::int64_t>{italic}));

    const std::uint32_t asked[3] = {bold, studioBold, italic};
    std::int32_t conflicts[3] = {-1, -1, -1};
    ASSERT_EQ(mLibrary->GetFontConflicts(Facade(), 3, asked, conflicts), 0u);
    EXPECT_EQ(conflicts[0], static_cast<std::int32_t>(std::min(bold, studioBold)));
    EXPECT_EQ(conflicts[1], conflicts[0]);
    EXPECT_EQ(conflicts[2], 0);

    ASSERT_EQ(mLibrary->TrackFontPanelClick(Facade(), studioBold, "1.104"), 0u);
    EXPECT_NE(mLibrary->TrackFontPanelClick(Facade(), 424242, "1.0"), 0u);
    std::string clicks;
    ASSERT_EQ(RunCtl(L"clicks", &clicks), 0);
    const std::string line = "\t" + std::to_string(studioBold) + "\tCarlito-Bold\t1.104\t";
    EXPECT_NE(clicks.find(line), std::string::npos) << clicks;
    EXPECT_EQ(std::count(clicks.begin(), clicks.end(), '\n'), 1) << clicks;
    EXPECT_NE(ReadWholeFile(mConfig->Child("typehold-state.plist")).find("<string>1.104</string>"),
              std::string::npos);
}

// Enabling Google web fonts copies the web fonts folder into the Google Fonts workgroup's library,
// a progress notification per file in order, then "stopped" once the fonts are in the catalog.
TEST_F(TypeholdPanelServicesTest, WebFontsReplicateStepByStepIntoTheGoogleWorkgroup)
{
    const std::string source = TestFontsFolder() + "\\fonts-open-sans";
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PathFromUTF8(source)))
    {
        files += entry.path().extension() == ".ttf" ? 1 : 0;
    }
    ASSERT_GT(files, 2u);
    StartAndConnect(ConfigJSON("\"googleWebFonts\": {\"enabled\": false, \"folder\": " + JSONString(source) +
                                   ", \"stepDelayMs\": 20}",
                               {TestFontsFolder() + "\\fonts-crosextra-carlito"}));
    auto& recorder = GNotificationRecorder::Shared();
    GCFHolder<CFMutableArrayRef> google(typehold::CreateMutableArray());
    ASSERT_EQ(mLibrary->GetGoogleFonts(Facade(), google.Get()), 0u);
    EXPECT_EQ(CFArrayGetCount(google.Get()), 0);
    EXPECT_EQ(mLibrary->CanAccessGoogleFonts(Facade()), 1u);

    recorder.Clear();
    ASSERT_EQ(mLibrary->SetGoogleWebFontsEnabled(Facade(), 1), 0u);
    ASSERT_TRUE(WaitForType(kLPINotifyGoogleReplicationStopped, 1, 60000));
    std::vector<std::uint32_t> order;
    for (const std::uint32_t type : recorder.Types())
    {
        if (type != kLPINotifyGoogleReplicationProgress || order.empty() || order.back() != type)
        {
            order.push_back(type);
        }
    }
    EXPECT_EQ(order, (std::vector<std::uint32_t>{
                         kLPINotifyGoogleWebFontsEnabled, kLPINotifyGoogleReplicationProgress,
                         kLPINotifyPanelDataChanged, kLPINotifyGoogleReplicationStopped}));
    EXPECT_EQ(recorder.ValuesOf(kLPINotifyGoogleWebFontsEnabled), (std::vector<std::int64_t>{1}));
    const auto progress = recorder.CopyDictionaries(kLPINotifyGoogleReplicationProgress);
    ASSERT_EQ(progress.size(), files);
    for (std::size_t i = 0; i < progress.size(); ++i)
    {
        EXPECT_EQ(MessageInt(progress[i].Get(), "stepIndex"), static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(MessageInt(progress[i].Get(), "numSteps"), static_cast<std::int64_t>(files));
        EXPECT_NE(MessageString(progress[i].Get(), "text").find(".ttf"), std::string::npos);
    }

    google.Reset(typehold::CreateMutableArray());
    ASSERT_EQ(mLibrary->GetGoogleFonts(Facade(), google.Get()), 0u);
    EXPECT_EQ(static_cast<std::size_t>(CFArrayGetCount(google.Get())), files);
    for (CFDictionaryRef font : Records(google.Get()))
    {
        EXPECT_EQ(MessageInt(font, "WorkgroupID"), 8);
        EXPECT_EQ(MessageString(font, "PostScriptName").rfind("OpenSans", 0), 0u);
    }
    EXPECT_TRUE(std::filesystem::exists(PathFromUTF8(mConfig->Child("GoogleFonts/OpenSans-Bold.ttf"))));
    std::uint32_t yes = 0;
    ASSERT_EQ(mLibrary->GetIsGoogleWebFontsEnabled(Facade(), &yes), 0u);
    EXPECT_EQ(yes, 1u);

    recorder.Clear();
    ASSERT_EQ(RunCtl(L"google off"), 0);
    EXPECT_TRUE(WaitForType(kLPINotifyGoogleWebFontsEnabled));
    EXPECT_EQ(recorder.ValuesOf(kLPINotifyGoogleWebFontsEnabled), (std::vector<std::int64_t>{0}));
    ASSERT_EQ(mLibrary->GetIsGoogleWebFontsEnabled(Facade(), &yes), 0u);
    EXPECT_EQ(yes, 0u);
}

// typehold-ctl changes the session as the user would: each change is notified as a configuration
// change is, kept across a restart, and given back to config.json when the file changes it.
TEST_F(TypeholdPanelServicesTest, SessionChangesFromTypeholdCtlAreNotifiedAndKept)
{
    StartAndConnect();
    auto& recorder = GNotificationRecorder::Shared();
    recorder.Clear();
    ASSERT_EQ(RunCtl(L"online off"), 0);
    ASSERT_EQ(RunCtl(L"online off"), 0);
    ASSERT_EQ(RunCtl(L"login off"), 0);
    ASSERT_EQ(RunCtl(L"standalone on"), 0);
    EXPECT_EQ(RunCtl(L"online maybe"), 2);
    ASSERT_TRUE(WaitForType(kLPINotifyWorkgroupsChanged));
    EXPECT_EQ(recorder.Types(),
              (std::vector<std::uint32_t>{kLPINotifyOnlineStateChanged, kLPINotifyLoggedInStateChanged,
                                          kLPINotifyWorkgroupsChanged}));
    EXPECT_EQ(recorder.ValuesOf(kLPINotifyOnlineStateChanged), (std::vector<std::int64_t>{0}));
    GCFHolder<CFDictionaryRef> login(recorder.CopyFirstDictionary(kLPINotifyLoggedInStateChanged));
    EXPECT_FALSE(typehold::MessageBool(login.Get(), "isLoggedIn", true));
    EXPECT_EQ(MessageInt(login.Get(), "serverType"), 1);

    RestartCore();
    std::uint32_t yes = 1;
    ASSERT_EQ(mLibrary->GetIsLoggedIn(Facade(), &yes), 0u);
    EXPECT_EQ(yes, 0u);
    ASSERT_EQ(mLibrary->GetRunningStandalone(Facade(), &yes), 0u);
    EXPECT_EQ(yes, 1u);

    // The file says offline too: nothing changes; then online: the file decides again.
    recorder.Clear();
    WriteConfig(ConfigJSON("\"online\": false"));
    ASSERT_EQ(RunCtl(L"reload"), 0);
    WriteConfig(ConfigJSON("\"online\": true"));
    ASSERT_EQ(RunCtl(L"reload"), 0);
    ASSERT_TRUE(WaitForType(kLPINotifyOnlineStateChanged));
    EXPECT_EQ(recorder.ValuesOf(kLPINotifyOnlineStateChanged), (std::vector<std::int64_t>{1}));
    ASSERT_EQ(mLibrary->GetRunningStandalone(Facade(), &yes), 0u);
    EXPECT_EQ(yes, 1u) << "a setting the file did not change stays as typehold-ctl set it";
}
