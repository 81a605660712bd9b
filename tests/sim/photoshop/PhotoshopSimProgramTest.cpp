// photoshop-sim.exe itself, under Wine, with the test plug-ins built beside it: exit codes and
// transcript lines of whole scenarios.

#include "SimProgramTest.h"

#include <regex>
#include <thread>

namespace
{
using PhotoshopSimProgramTest = SimProgramTest;
} // namespace

TEST_F(PhotoshopSimProgramTest, HostsAWellBehavedPluginThroughItsLifecycle)
{
    AddPlugin("well-behaved.8li");
    AddPlugin("corrupt.8li");
    mScratch.WriteFile("plugins\\notes.txt", "not a plug-in");
    const int exitCode = Run(R"({"steps": [
        {"do": "set-env", "name": "TEST_PLUGIN_LOG", "value": "${PSIM_TEST_FOLDER}\\plugin.log"},
        {"do": "start", "expect": {"result": 0}},
        {"do": "expect-notifications", "registered": ["Mk  ", "Cls "]},
        {"do": "startup-again", "expect": {"result": 0}},
        {"do": "about"},
        {"do": "wait", "ms": 100},
        {"do": "do-it", "oper": 3, "expect": {"result": 0, "descriptor":
            {"SPor": 30, "HVer": "21.2.1.265", "Glob": true, "Timr": true, "Oper": null}}},
        {"do": "do-it", "oper": 2, "plugin": "well-behaved.8li", "expect": {"descriptor": {"Play": 0}}},
        {"do": "do-it", "noParameters": true, "expect": {"result": "Parm"}},
        {"do": "call", "caller": "PS Photoshop", "selector": "Undo It", "expect": {"result": 0}},
        {"do": "quit", "expect": {"result": 0}},
        {"do": "expect-notifications", "registered": [], "removed": ["Opn ", "Mk  ", "Cls "]},
        {"do": "expect-file", "path": "${TEST_PLUGIN_LOG}", "contains": "Startup", "count": 2},
        {"do": "expect-file", "path": "${TEST_PLUGIN_LOG}", "matches": "^Do It oper=[23]$", "count": 2},
        {"do": "expect-file", "path": "${TEST_PLUGIN_LOG}", "contains": "Crash", "absent": true}
    ]})");
    EXPECT_EQ(0, exitCode) << mTranscript;
    EXPECT_TRUE(Has("skip notes.txt: not a module (LoadLibraryExW error 193)"));
    EXPECT_TRUE(Has("skip corrupt.8li: PIPL 16000: property count 5 beyond the data"));
    EXPECT_TRUE(
        Has("plugin well-behaved.8li: PIPL 16000: kind '8LIZ' name \"Well Behaved\" catg \"Tests\" vers "
            "0x00010000 entry \"AutoPluginMain\" prst 1 (6 properties)"));
    EXPECT_TRUE(Has("loaded well-behaved.8li: entry \"AutoPluginMain\""));
    EXPECT_TRUE(Has("return well-behaved.8li \"SP Interface\"/\"Startup\" -> 0"));
    EXPECT_TRUE(Has("AddNotify 'Cls ' well-behaved.8li"));
    EXPECT_TRUE(Has("RemoveNotify 'Opn ' well-behaved.8li (not registered)"));
    EXPECT_TRUE(Has("Play updateLayouts options=2 -> 0"));
    EXPECT_TRUE(Has("AllocateBlock 16 \"globals\" -> 0"));
    EXPECT_TRUE(Has("FreeBlock 16 \"globals\" -> 0"));
    EXPECT_TRUE(Has("descriptor after Do It (well-behaved.8li): {'SPor': long 30, "));
    EXPECT_FALSE(Has("LEAK"));
    EXPECT_FALSE(Has("outstanding suite"));
    EXPECT_FALSE(Has("action objects not freed"));
}

TEST_F(PhotoshopSimProgramTest, EveryFailedExpectationIsReportedAndTheRunGoesOn)
{
    AddPlugin("well-behaved.8li");
    const std::string steps = R"(
        {"do": "start", "expect": {"result": "Parm"}},
        {"do": "do-it", "oper": 1, "expect": {"descriptor": {"SPor": 11, "HVer": {"type": "long"}, "Gone": "x"}}},
        {"do": "expect-notifications", "registered": ["save"]},
        {"do": "expect-file", "path": "${PSIM_TEST_FOLDER}\\transcript.txt", "contains": "AddNotify", "absent": true},
        {"do": "expect-file", "path": "${PSIM_TEST_FOLDER}\\missing.log", "matches": "x"})";
    EXPECT_EQ(1, Run(R"({"steps": [)" + steps + R"(, {"do": "about"}, {"do": "quit"}]})"));
    EXPECT_EQ(7u, Count("EXPECTATION FAILED step "));
    EXPECT_TRUE(Has("EXPECTATION FAILED step 1 (start): \"SP Interface\"/\"Startup\" of well-behaved.8li "
                    "returned 0, expected 'Parm'"));
    EXPECT_TRUE(
        Has("EXPECTATION FAILED step 2 (do-it): well-behaved.8li: descriptor key 'SPor': expected long 11, "
            "found long 10"));
    EXPECT_TRUE(Has("EXPECTATION FAILED step 3 (expect-notifications): registered notifications: expected "
                    "['save'], found ['Mk  ', 'Cls ']"));
    EXPECT_TRUE(Has("step 6: {\"do\":\"about\"}"));

    // The same with a stop at the first failure.
    EXPECT_EQ(1, Run(R"({"steps": [{"do": "start", "expect": {"result": 5}, "stopOnFailure": true},
                                   {"do": "about"}]})"));
    EXPECT_EQ(1u, Count("EXPECTATION FAILED"));
    EXPECT_FALSE(Has("step 2:"));
    EXPECT_TRUE(Has("call well-behaved.8li \"SP Interface\"/\"Shutdown\"")); // still shut down at the end
}

TEST_F(PhotoshopSimProgramTest, WaitsForAFileThatAnotherProgramWrites)
{
    AddPlugin("well-behaved.8li");
    // The file appears while the host waits; a file that never appears fails when the time is up.
    std::thread writer(
        [this]
        {
            const std::string transcript = UTF8FromPath(mScratch.Path() / "transcript.txt");
            for (int waited = 0;
                 waited < 3000 && ReadWholeFile(transcript).find("step 2:") == std::string::npos; ++waited)
            {
                Sleep(10);
            }
            Sleep(800);
            mScratch.WriteFile("released.txt", "done\n");
        });
    const int exitCode = Run(R"({"steps": [
        {"do": "start", "expect": {"result": 0}},
        {"do": "wait-until", "condition": {"do": "expect-file", "path": "${PSIM_TEST_FOLDER}\\released.txt",
                                           "contains": "done"}, "timeoutMs": 30000},
        {"do": "wait-until", "condition": {"do": "expect-file", "path": "${PSIM_TEST_FOLDER}\\never.txt",
                                           "contains": "done"}, "timeoutMs": 200},
        {"do": "quit"}
    ]})");
    writer.join();
    EXPECT_EQ(1, exitCode) << mTranscript;
    std::smatch held;
    ASSERT_TRUE(
        std::regex_search(mTranscript, held, std::regex("wait-until: expect-file held after ([0-9]+) ms")))
        << mTranscript;
    EXPECT_GE(std::stoll(held[1].str()), 700) << "held before the file was written";
    EXPECT_TRUE(Has("EXPECTATION FAILED step 3 (wait-until): still not after 200 ms: cannot read"));
    EXPECT_EQ(1u, Count("EXPECTATION FAILED"));
}

TEST_F(PhotoshopSimProgramTest, ASuiteLeakedDuringACallFailsTheRun)
{
    AddPlugin("leaky.8li");
    EXPECT_EQ(1, Run(R"({"steps": [{"do": "start", "expect": {"result": 0}}, {"do": "quit"}]})"));
    EXPECT_TRUE(
        Has("AcquireSuite \"No Such Suite\" v1 -> 'S!Fd' (no such suite) during Startup (leaky.8li)"));
    EXPECT_TRUE(Has("LEAK suite \"SP Blocks Suite\" v2: acquired 2, released 1 during Startup (leaky.8li)"));
    EXPECT_EQ(0u, Count("EXPECTATION FAILED"));
}

TEST_F(PhotoshopSimProgramTest, ACrashInsideAPluginEndsTheRunWithThree)
{
    AddPlugin("well-behaved.8li");
    EXPECT_EQ(3, Run(R"({"steps": [{"do": "start"}, {"do": "do-it", "oper": 66}, {"do": "quit"}]})"));
    EXPECT_TRUE(
        std::regex_search(mTranscript, std::regex("\\nCRASH exception 0xc0000005 at [0-9A-Fa-fx]+ during "
                                                  "Do It \\(well-behaved\\.8li\\)\\r?\\n$")))
        << mTranscript;
}

TEST_F(PhotoshopSimProgramTest, UsageAndScenarioErrorsExitWithTwo)
{
    AddPlugin("well-behaved.8li");
    const char* scenarios[] = {
        R"({"steps": [{"do": "start"})",
        R"({"steps": [{"do": "launch"}]})",
        R"({"steps": [{"do": "quit"}, {"do": "do-it", "oper": 1}]})",
        R"({"steps": [{"do": "start"}, {"do": "do-it", "oper": "four"}, {"do": "about"}]})",
        R"({"steps": [{"do": "about"}]})",
        R"({"steps": [{"do": "expect-file", "path": "${PSIM_NOT_SET}", "contains": "x"}]})",
        R"({"steps": [{"do": "open", "path": "${PSIM_TEST_FOLDER}\\nothing.psd"}, {"do": "about"}]})",
        R"({"steps": [{"do": "save", "path": "${PSIM_TEST_FOLDER}\\x.psd"}, {"do": "about"}]})",
        R"({"steps": [{"do": "new"}, {"do": "save"}, {"do": "about"}]})",
        R"({"steps": [{"do": "wait-until", "condition": {"do": "wait", "ms": 1}}]})",
        R"({"steps": [{"do": "expect-fonts", "missing": []}]})",
    };
    for (const char* scenario : scenarios)
    {
        EXPECT_EQ(2, Run(scenario)) << scenario;
        EXPECT_TRUE(Has("SCENARIO ERROR")) << scenario;
        EXPECT_FALSE(Has("step 3:")) << scenario;
    }
    EXPECT_EQ(2, Run(R"({"steps": []})", L"--timer-ms 0"));
    EXPECT_EQ(2, Run(R"({"steps": []})", L"--host-version 20.x"));
}

TEST_F(PhotoshopSimProgramTest, AnotherHostVersionRunsACopyThatCarriesIt)
{
    AddPlugin("well-behaved.8li");
    const std::string scenario = R"({"steps": [{"do": "start"}, {"do": "do-it", "oper": 1,
        "expect": {"descriptor": {"HVer": "20.0.0.9"}}}, {"do": "quit"}]})";
    EXPECT_EQ(0, Run(scenario, L"--host-version 20.0.0.9 --timer-ms 5")) << mTranscript;
    EXPECT_TRUE(Has("photoshop-sim 20.0.0.9 ("));
    EXPECT_EQ(1, Run(scenario)); // the program's own version is 21.2.1.265
    EXPECT_TRUE(Has("expected TEXT \"20.0.0.9\", found TEXT \"21.2.1.265\""));
}
