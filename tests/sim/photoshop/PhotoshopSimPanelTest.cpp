// photoshop-sim's panel steps under Wine, with the extension event library stand-in beside it and
// panel-echo.8li, a plug-in that answers the panel: the round trip, the checks that fail, and
// the steps without any plug-in.

#include "SimProgramTest.h"

namespace
{
using PhotoshopSimPanelTest = SimProgramTest;
} // namespace

TEST_F(PhotoshopSimPanelTest, ThePanelAndThePluginTalkThroughTheEventLibrary)
{
    AddPlugin("panel-echo.8li");
    const int exitCode = Run(R"({"steps": [
        {"do": "set-env", "name": "PLUGPLUG_TRANSCRIPT", "value": "${PSIM_TEST_FOLDER}\\plugplug.txt"},
        {"do": "set-env", "name": "PLUGPLUG_BRIDGE_FILE", "value": "${PSIM_TEST_FOLDER}\\bridge.txt"},
        {"do": "expect-panel-launched", "launched": false},
        {"do": "start", "expect": {"result": 0}},
        {"do": "wait-until", "condition": {"do": "expect-panel-launched"}, "timeoutMs": 5000},
        {"do": "wait-until", "condition": {"do": "expect-panel-listeners",
            "type": "com.lumorand.PanelToPlugin", "count": 1}, "timeoutMs": 5000},
        {"do": "panel-send", "message": {"messageID": "ping"}, "count": 2},
        {"do": "panel-send", "message": "raw (text"},
        {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": "echo", "count": 3}},
        {"do": "expect-panel-messages", "exact": true, "messages": [
            {"messageID": "hello", "version": "string", "fontIDs": "absent"},
            {"messageID": "echo", "count": 1, "data": "{\"messageID\":\"ping\"}",
             "extensionId": "com.lumorand.panel", "onUIThread": true},
            {"messageID": "echo", "count": 2},
            {"messageID": "echo", "data": "raw (text"}]},
        {"do": "expect-panel-messages", "exact": true, "messages": []},
        {"do": "panel-send", "message": "please-press-keys"},
        {"do": "wait", "ms": 300},
        {"do": "expect-key-messages", "keys": [{"down": "K"}, {"up": 75}], "focus": true},
        {"do": "quit", "expect": {"result": 0}},
        {"do": "expect-panel-listeners", "type": "com.lumorand.PanelToPlugin", "count": 0},
        {"do": "expect-panel-listeners", "type": "com.lumorand.PluginToPanel", "count": 1},
        {"do": "expect-file", "path": "${PSIM_TEST_FOLDER}\\plugplug.txt",
         "contains": "extension started: com.lumorand.startpanel", "count": 1},
        {"do": "expect-file", "path": "${PSIM_TEST_FOLDER}\\bridge.txt", "matches": "^http://127\\.0\\.0\\.1:[0-9]+/$"}
    ]})");
    EXPECT_EQ(0, exitCode) << mTranscript;
    EXPECT_TRUE(
        Has("event library PlugPlugOwl.dll is in the process: listening for com.lumorand.PluginToPanel"));
    EXPECT_TRUE(Has("panel launch event com.lumorand.startpanel appId test"));
    EXPECT_TRUE(Has("panel message 1: ({\"messageID\":\"hello\",\"version\":\"1.0\"})"));
    EXPECT_EQ(2u, Count("panel-send {\"messageID\":\"ping\"} -> 0"));
    EXPECT_TRUE(Has("key message: down K"));
    EXPECT_TRUE(Has("key message: up K"));
    const std::string library = ReadWholeFile(mScratch.Child("plugplug.txt"));
    EXPECT_NE(std::string::npos, library.find("bridge listening on http://127.0.0.1:")) << library;
    EXPECT_NE(std::string::npos,
              library.find("dispatch \"com.lumorand.PanelToPlugin\" scope 1 appId \"PHXS\" "
                           "extensionId \"com.lumorand.panel\" data \"please-press-keys\" -> 0"));
}

TEST_F(PhotoshopSimPanelTest, MessagesThatDoNotMatchFailTheirStep)
{
    AddPlugin("panel-echo.8li");
    const int exitCode = Run(R"({"steps": [
        {"do": "start"},
        {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": "hello"}},
        {"do": "expect-panel-messages", "messages": [{"messageID": "hello", "version": "number"}]},
        {"do": "panel-send", "message": "one"},
        {"do": "panel-send", "message": "two"},
        {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": "echo", "count": 2}},
        {"do": "expect-panel-messages", "messages": [{"data": "two"}, {"data": "one"}]},
        {"do": "panel-send", "message": "please-send-garbage"},
        {"do": "panel-send", "message": "three"},
        {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": "echo", "count": 3}},
        {"do": "expect-panel-messages", "messages": [{"data": "three"}]},
        {"do": "expect-key-messages", "keys": [{"down": "Escape"}]},
        {"do": "wait-until", "condition": {"do": "expect-panel-listeners",
            "type": "com.lumorand.PanelToPlugin", "count": 2}, "timeoutMs": 200},
        {"do": "quit"}
    ]})");
    EXPECT_EQ(1, exitCode) << mTranscript;
    EXPECT_EQ(5u, Count("EXPECTATION FAILED")) << mTranscript;
    EXPECT_TRUE(
        Has("EXPECTATION FAILED step 3 (expect-panel-messages): no message matches expected message 1 "
            "{\"messageID\":\"hello\",\"version\":\"number\"} (last tried: message.version: expected "
            "number, found \"1.0\")"));
    EXPECT_TRUE(
        Has("EXPECTATION FAILED step 7 (expect-panel-messages): no message matches expected message 2"));
    EXPECT_TRUE(
        Has("EXPECTATION FAILED step 11 (expect-panel-messages): message 1 garbage is not \"(\" JSON \")\""));
    EXPECT_TRUE(Has("panel message 4: garbage (not \"(\" JSON \")\")"));
    EXPECT_TRUE(
        Has("EXPECTATION FAILED step 12 (expect-key-messages): key message 1 (down Escape) not received"));
    EXPECT_TRUE(Has("EXPECTATION FAILED step 13 (wait-until): still not after 200 ms: 1 listener(s) for "
                    "com.lumorand.PanelToPlugin, expected 2"));
}

TEST_F(PhotoshopSimPanelTest, WithoutTheLibraryNothingIsSentAndNothingArrives)
{
    AddPlugin("well-behaved.8li");
    const int exitCode = Run(R"({"steps": [
        {"do": "start"},
        {"do": "panel-send", "message": {"messageID": "ping"}},
        {"do": "expect-panel-messages", "exact": true, "messages": []},
        {"do": "expect-panel-launched", "launched": false},
        {"do": "expect-key-messages", "keys": []},
        {"do": "expect-panel-messages", "messages": "not a list"}
    ]})");
    EXPECT_EQ(2, exitCode) << mTranscript;
    EXPECT_EQ(1u, Count("EXPECTATION FAILED")) << mTranscript;
    EXPECT_TRUE(Has("EXPECTATION FAILED step 2 (panel-send): the event library is not loaded"));
    EXPECT_TRUE(
        Has("SCENARIO ERROR step 6 (expect-panel-messages): \"messages\" is not an array of objects"));
}

TEST_F(PhotoshopSimPanelTest, AFailingDispatchIsTheStepsResult)
{
    AddPlugin("panel-echo.8li");
    const int exitCode = Run(R"({"steps": [
        {"do": "start"},
        {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": "hello"}},
        {"do": "set-env", "name": "PLUGPLUG_FAULT", "value": "dispatch-fails"},
        {"do": "panel-send", "message": "lost", "expect": {"result": 1}},
        {"do": "panel-send", "message": "lost too"},
        {"do": "set-env", "name": "PLUGPLUG_FAULT", "value": null},
        {"do": "panel-send", "message": "found"},
        {"do": "wait-until", "condition": {"do": "expect-panel-received", "messageID": "echo"}},
        {"do": "expect-panel-messages", "exact": true, "messages": [
            {"messageID": "hello"}, {"messageID": "echo", "count": 1, "data": "found"}]}
    ]})");
    EXPECT_EQ(1, exitCode) << mTranscript;
    EXPECT_EQ(1u, Count("EXPECTATION FAILED")) << mTranscript;
    EXPECT_TRUE(Has("EXPECTATION FAILED step 5 (panel-send): PlugPlugDispatchEvent returned 1, expected 0"));
}
