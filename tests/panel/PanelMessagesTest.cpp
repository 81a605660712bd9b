// The panel's requests and the plug-in's answers, as the panel sees them.

#include "PanelTestSupport.h"

#include "LogCapture.h"
#include "ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace
{
std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
} // namespace

TEST_F(PanelTest, MessagesThatCannotBeReadAreReportedAndAnswerNothing)
{
    LogCapture log;
    EXPECT_THAT(Send("not json"), IsEmpty());
    EXPECT_EQ(log.Count("GetJSONValueFromMessage(message, root, jsonObject)"), 1u);
    EXPECT_THAT(Send(""), IsEmpty()) << "an event without data still reaches the panel";
    EXPECT_EQ(log.Count("GetJSONValueFromMessage(message, root, jsonObject)"), 2u);
    EXPECT_EQ(panel.HandleMessage("[16]"), CoreErrorCodes::kError);
    EXPECT_EQ(log.Count("!jsonValue.is_map()"), 1u);
    EXPECT_NE(panel.HandleMessage(R"({"messageID":"16"})"), 0u);
    EXPECT_NE(panel.HandleMessage(R"({"messageid":16})"), 0u);
    EXPECT_THAT(Send(R"({"messageID":99})"), IsEmpty()) << "an unknown ID is noted at level 0, never written";
    log.Clear();
    EXPECT_THAT(Send(R"({"messageID":48})"), IsEmpty());
    EXPECT_THAT(Send(R"({"messageID":59})"), IsEmpty());
    EXPECT_EQ(log.Count("Unknown operator"), 0u);
    // Exceptions of the JSON layer end the message inside the listener.
    EXPECT_THAT(Send("{\"messageID\":33,\"smartListID\":1,\"smartListName\":\"\xed\xa0\x80\"}"), IsEmpty());
    EXPECT_THAT(Send(R"({"messageID":32,"highPriorityFontIDs":[1,"x"],"fontIDs":[],"smartListID":0})"),
                IsEmpty());
    EXPECT_EQ(log.Count("A panel message was dropped"), 2u);
    EXPECT_THAT(Send(R"({"messageID":16})"), ElementsAre(R"({"messageID":16,"isWindows":true})"))
        << "and the panel still works";

    host.enabled = false;
    log.Clear();
    EXPECT_THAT(Send(R"({"messageID":16})"), IsEmpty());
    EXPECT_THAT(Send("not json"), IsEmpty());
    EXPECT_TRUE(log.Lines().empty()) << "a disabled plug-in drops messages unread";
}

TEST_F(PanelTest, RepliesHaveTheirExactShapes)
{
    EXPECT_THAT(Send(R"({"messageID":58})"), ElementsAre(R"({"messageID":58,"canAccessGoogleFonts":1})"));
    host.standalone = true;
    host.workgroupTypes = {3, 9};
    EXPECT_THAT(Send(R"({"messageID":66})"), ElementsAre(R"({"messageID":20,"isStandalone":1})"));
    EXPECT_THAT(panel.GetPendingNotifications(), ElementsAre(64)) << "66 queues the workgroup state";
    EXPECT_THAT(Send(R"({"messageID":9})"), ElementsAre(R"({"messageID":9,"returnCode":0})"));
    EXPECT_EQ(host.calls.back(), "SetGoogleWebFontsEnabled 1");

    // The stored size, the default without the framework; nothing while disconnected.
    host.longPreferences = {{"CS5PanelWidth", 300}, {"CS5PanelHeight", 500}};
    EXPECT_THAT(Send(R"({"messageID":11})"), ElementsAre(R"({"messageID":11,"height":500,"width":300})"));
    EXPECT_THAT(Send(R"({"messageID":12,"windowWidth":320,"windowHeight":640})"), IsEmpty());
    EXPECT_EQ(host.longPreferences["CS5PanelWidth"], 320);
    EXPECT_EQ(host.longPreferences["CS5PanelHeight"], 640);
    host.framework = false;
    EXPECT_THAT(Send(R"({"messageID":11})"), ElementsAre(R"({"messageID":11,"height":350,"width":260})"));
    EXPECT_THAT(Send(R"({"messageID":18})"), IsEmpty());
    host.framework = true;
    EXPECT_THAT(Send(R"({"messageID":17,"selection":3,"savesSmartList":true})"), IsEmpty());
    EXPECT_THAT(Send(R"({"messageID":18})"),
                ElementsAre(R"({"messageID":18,"selection":3,"savesSmartList":true})"));
    EXPECT_THAT(Send(R"({"messageID":17,"selection":3,"savesSmartList":1})"), IsEmpty()) << "a wrong type";
    host.connected = false;
    EXPECT_THAT(Send(R"({"messageID":11})"), IsEmpty());
    EXPECT_THAT(Send(R"({"messageID":9})"), ElementsAre(R"({"messageID":9,"returnCode":0})"))
        << "9 always replies";
    EXPECT_EQ(host.calls.back(), "SetGoogleWebFontsEnabled 1") << "but asks nothing of a disconnected core";
    EXPECT_EQ(host.calls.size(), 2u);
}

TEST_F(PanelTest, WebFontsSeenEnabledTheFirstTimeWidenTheWorkgroupOnce)
{
    EXPECT_THAT(
        Send(R"({"messageID":10})"),
        ElementsAre(
            R"({"messageID":10,"isEnabled":0,"isReplicating":0,"replicationMode":1,"returnCode":0})"));
    EXPECT_EQ(host.currentWorkgroup, 0);
    host.googleEnabled = true;
    EXPECT_THAT(
        Send(R"({"messageID":10})"),
        ElementsAre(
            R"({"messageID":10,"isEnabled":1,"isReplicating":0,"replicationMode":1,"returnCode":0})"));
    EXPECT_EQ(host.currentWorkgroup, -2);
    EXPECT_TRUE(host.boolPreferences["GWFHaveEverBeenEnabled"]);
    host.currentWorkgroup = 4;
    Send(R"({"messageID":10})");
    EXPECT_EQ(host.currentWorkgroup, 4) << "only the first time";
}

TEST_F(PanelTest, KeyStrokesReachTheMainWindowInOrder)
{
    EXPECT_THAT(
        Send(
            R"({"messageID":67,"isCtrlPressed":true,"isShiftPressed":true,"isAltPressed":true,"keyCode":65})"),
        IsEmpty());
    EXPECT_TRUE(host.focused);
    using Key = std::pair<TUInt32, TUInt32>;
    EXPECT_THAT(host.keyMessages,
                ElementsAre(Key{0x100, 0x11}, Key{0x100, 0x10}, Key{0x100, 0x12}, Key{0x100, 65},
                            Key{0x101, 65}, Key{0x101, 0x11}, Key{0x101, 0x10}, Key{0x101, 0x12}));
    host.keyMessages.clear();
    Send(R"({"messageID":67,"isCtrlPressed":false,"isShiftPressed":true,"isAltPressed":false,"keyCode":9})");
    EXPECT_THAT(host.keyMessages,
                ElementsAre(Key{0x100, 0x10}, Key{0x100, 9}, Key{0x101, 9}, Key{0x101, 0x10}));
    host.keyMessages.clear();
    Send(R"({"messageID":67,"isCtrlPressed":false,"isShiftPressed":true,"keyCode":9})");
    EXPECT_THAT(host.keyMessages, IsEmpty()) << "a key stroke with a key missing is not half sent";
}

TEST_F(PanelTest, PreviewsAndClicksGoToTheFontManager)
{
    EXPECT_THAT(Send(R"({"messageID":32,"highPriorityFontIDs":[],"fontIDs":[1001,1002],"smartListID":4})"),
                IsEmpty());
    EXPECT_EQ(host.calls.back(), "RenderFontNamePreviewPNGs none 1001,1002 4 14 400 30 1");
    Send(R"({"messageID":47,"fontID":1001,"version":"2.1"})");
    EXPECT_EQ(host.calls.back(), "TrackFontPanelClick 1001 2.1");
}

TEST_F(PanelTest, ActivatingAFamilyActivatesEachFaceOnceAndReportsRefusals)
{
    host.fonts = {{1001, "Carlito-Regular", "Carlito Regular", "Carlito"},
                  {1002, "Carlito-Bold", "Carlito Bold", "Carlito"},
                  {1003, "Carlito-Bold", "Carlito Bold Copy", "Carlito"},
                  {1004, "Carlito-Italic", "", "Carlito"},
                  {1005, "Carlito-BoldItalic", "Carlito Bold Italic", "Carlito", 1, 0, true},
                  {2001, "Caladea-Regular", "Caladea Regular", "Caladea", 1, 7}};
    const std::string click =
        R"({"messageID":8,"fontID":1001,"postscriptName":"Carlito-Regular","displayName":"Carlito Regular"})";
    EXPECT_THAT(Send(click), ElementsAre(R"({"messageID":8,"returnCode":0})"));
    EXPECT_EQ(host.calls.back(), "ActivateFonts 1001,1002,1005 args 0,3,1,1,0,3,none");
    EXPECT_THAT(panel.GetPendingNotifications(), ElementsAre(24, 60));
    EXPECT_THAT(Send("{}"), IsEmpty());
    panel.PopNotifications();
    EXPECT_THAT(events.Messages(), ElementsAre(R"({"messageID":24,"fontIDs":[1001,1002]})",
                                               R"({"messageID":60,"fontIDs":[1005]})"));

    // A conflicting font is refused with the reason; an unknown one is only answered.
    host.calls.clear();
    EXPECT_THAT(Send(R"({"messageID":8,"fontID":2001,"postscriptName":"Caladea-Regular","displayName":"x"})"),
                ElementsAre(R"({"messageID":46,"fontID":2001,"conflictID":7,"isConflictError":true})",
                            R"({"messageID":8,"returnCode":0})"));
    EXPECT_THAT(Send(R"({"messageID":8,"fontID":9,"postscriptName":"X","displayName":"X"})"),
                ElementsAre(R"({"messageID":8,"returnCode":0})"));
    EXPECT_THAT(host.calls, IsEmpty());
    EXPECT_THAT(Send(R"({"messageID":8,"fontID":1001})"), IsEmpty()) << "names missing: no reply";
}

TEST_F(PanelTest, SmartListsAreKeptByTheFontManager)
{
    EXPECT_THAT(Send(R"({"messageID":39,"smartListName":"Headlines"})"),
                ElementsAre(R"({"smartList":{"smartListID":1,"smartListName":"Headlines"},"messageID":39})"));
    EXPECT_EQ(host.calls.back(), "CreateSmartList Headlines none none none");
    Send(R"({"messageID":42,"smartListID":1,"workgroupIDs":[],"setIDs":[5],"smartSetIDs":[]})");
    EXPECT_EQ(host.calls[1], "SetSmartListQuery 1 none [5] none");
    EXPECT_THAT(
        Send(R"({"messageID":36,"smartListID":1})"),
        ElementsAre(R"({"messageID":36,"smartListID":1,"smartListName":"Headlines","workgroupIDs":[],)"
                    R"("setIDs":[5],"smartSetIDs":[]})"));
    Send(R"({"messageID":44,"smartListName":"Titles","smartListID":1})");
    Send(R"({"messageID":39,"smartListName":"Body"})");
    EXPECT_THAT(Send(R"({"messageID":38})"),
                ElementsAre(R"({"smartLists":[{"smartListID":1,"smartListName":"Titles"},)"
                            R"({"smartListID":2,"smartListName":"Body"}],"messageID":38,"returnCode":0})"));
    Send(R"({"messageID":34,"smartListID":2})");
    EXPECT_EQ(host.smartLists.count(2), 0u);
    EXPECT_THAT(Send(R"({"messageID":36,"smartListID":2})"), IsEmpty()) << "a list that is gone";

    host.tree = "a\nb";
    EXPECT_THAT(Send(R"({"messageID":37,"smartListID":1})"),
                ElementsAre(R"({"messageID":37,"smartListID":1,"listDefinition":"YWI="})"));
    host.tree = "Workgroups: 1, 2\nSets: 5\n";
    EXPECT_THAT(
        Send(R"({"messageID":37,"smartListID":1})"),
        ElementsAre(
            R"({"messageID":37,"smartListID":1,"listDefinition":"V29ya2dyb3VwczogMSwgMlNldHM6IDU="})"));

    host.fonts = {{1001, "A-Regular", "A Regular", "A"}, {2001, "B-Regular", "B Regular", "B"}};
    EXPECT_THAT(Send(R"({"messageID":35,"smartListID":1,"workgroupIDs":[2],"setIDs":[],"smartSetIDs":[]})"),
                ElementsAre(R"({"messageID":41,"smartListID":1,"fontIDs":[2001]})"));
    EXPECT_EQ(host.calls.back(), "QueryForSmartListFonts [2] none none");

    host.connected = false;
    host.calls.clear();
    EXPECT_THAT(Send(R"({"messageID":38})"), ElementsAre(R"({"messageID":38,"returnCode":0})"));
    EXPECT_THAT(Send(R"({"messageID":39,"smartListName":"x"})"), IsEmpty());
    EXPECT_THAT(host.calls, IsEmpty());

    host.connected = true;
    host.failingCall = "CreateSmartList";
    LogCapture log;
    EXPECT_THAT(Send(R"({"messageID":39,"smartListName":"x"})"), IsEmpty()) << "a refused list has no reply";
    EXPECT_EQ(log.Count("pfCreateSmartList"), 1u);
}

TEST_F(PanelTest, FontListFilesAreWrittenSentAndDeletedOnRequest)
{
    host.fonts = {{1001, "Carlito-Regular", "Carlito Regular", "Carlito", 2},
                  {1002, "N\xC3\xBCn-Bold", "N\xC3\xBCn Bold", "Nun", 9},
                  {1003, "Sys-Regular", "Sys", "Sys", 5},
                  {1004, "G-Regular", "G", "G", 10}};
    host.smartLists[3] = FakeSmartList{"All", {1}, {}, {}};
    const std::vector<std::string> sent = Send(R"({"messageID":40,"smartListID":3})");
    ASSERT_EQ(sent.size(), 1u);
    const std::string prefix = R"({"messageID":41,"filename":"file:///)";
    ASSERT_EQ(sent[0].rfind(prefix, 0), 0u) << sent[0];
    const std::string url =
        sent[0].substr(std::string(R"({"messageID":41,"filename":")").size(),
                       sent[0].size() - std::string(R"({"messageID":41,"filename":")").size() - 2);
    EXPECT_EQ(url.find('\\'), std::string::npos);
    ASSERT_EQ(panel.GetTemporaryFiles().count(url), 1u);
    const std::string path = panel.GetTemporaryFiles().at(url);
    EXPECT_EQ(FileText(path), "1001\tCarlito Regular\tCarlito-Regular\t1\tdesktop\t1\n"
                              "1002\tN\xC3\xBCn Bold\tN?n-Bold\t1\t\t1\n"
                              "1003\tSys\tSys-Regular\t1\tsystem\t1\n"
                              "1004\tG\tG-Regular\t1\tgoogle\t1\n");

    EXPECT_THAT(Send(R"({"messageID":13,"filename":"file:///elsewhere.txt"})"), IsEmpty());
    EXPECT_TRUE(std::filesystem::exists(path)) << "a URL that was never sent does nothing";
    Send("{\"messageID\":13,\"filename\":\"" + url + "\"}");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(panel.GetTemporaryFiles().empty());

    // No temporary name, or a file that cannot be created: 19, and nothing is written.
    host.temporaryFolder.clear();
    EXPECT_THAT(Send(R"({"messageID":40,"smartListID":3})"), ElementsAre(R"({"messageID":19})"));
    host.temporaryFolder = "/nonexistent-folder/inner";
    EXPECT_THAT(Send(R"({"messageID":40,"smartListID":3})"), ElementsAre(R"({"messageID":19})"));
}
