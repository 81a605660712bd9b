// The scenario player with steps registered here, and the values scenarios write.

#include "ScenarioPlayer.h"
#include "ScenarioValues.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
using Step = ScenarioPlayer::Step;
using StepStatus = ScenarioPlayer::StepStatus;

class ScenarioPlayerTest : public ::testing::Test
{
protected:
    ScenarioPlayerTest()
    {
        mTranscript.Open(mScratch.Child("transcript.txt"));
        mPlayer.AddStep("note",
                        [this](Step& step)
                        {
                            mRan.push_back(step.Number());
                            JsonNode fail;
                            if (step.Parameter("fail", fail))
                            {
                                step.Fail(fail.to_string());
                            }
                            return StepStatus::kDone;
                        });
        mPlayer.AddStep("twice",
                        [this](Step& step)
                        {
                            mRan.push_back(step.Number());
                            return step.Pass() == 0 ? StepStatus::kAgain : StepStatus::kDone;
                        });
        mPlayer.AddStep(
            "plugin-call",
            [this](Step& step)
            {
                mRan.push_back(step.Number());
                return StepStatus::kDone;
            },
            ScenarioPlayer::kCallsPlugins);
        mPlayer.AddStep(
            "quit", [](Step&) { return StepStatus::kDone; }, ScenarioPlayer::kEndsPlugins);
        mPlayer.AddFinisher([this] { ++mFinished; });
    }
    void Play()
    {
        for (int ticks = 0; ticks < 100 && mPlayer.Tick(); ++ticks)
        {
        }
        EXPECT_TRUE(mPlayer.Finished());
    }
    std::string Transcript() const { return ReadWholeFile(mScratch.Child("transcript.txt")); }

    ScratchFolder mScratch{"scenario-player"};
    ::Transcript mTranscript;
    ScenarioPlayer mPlayer{mTranscript};
    std::vector<std::size_t> mRan;
    int mFinished = 0;
};
} // namespace

TEST_F(ScenarioPlayerTest, RunsEveryStepAndReportsEveryFailure)
{
    ASSERT_TRUE(mPlayer.LoadText(R"({"steps": [{"do": "note", "fail": "first"}, {"do": "twice"},
                                              {"do": "note", "fail": "second"}, {"do": "plugin-call"}]})"));
    Play();
    EXPECT_EQ((std::vector<std::size_t>{1, 2, 2, 3, 4}), mRan);
    EXPECT_EQ(1, mPlayer.ExitCode());
    EXPECT_EQ(1, mFinished);
    EXPECT_NE(std::string::npos, Transcript().find("EXPECTATION FAILED step 1 (note): first\n"));
    EXPECT_NE(std::string::npos, Transcript().find("EXPECTATION FAILED step 3 (note): second\n"));
}

TEST_F(ScenarioPlayerTest, StopOnFailureEndsTheRunAtThatStep)
{
    ASSERT_TRUE(
        mPlayer.LoadText(R"({"steps": [{"do": "note"}, {"do": "note", "fail": "x", "stopOnFailure": true},
                                              {"do": "note"}]})"));
    Play();
    EXPECT_EQ((std::vector<std::size_t>{1, 2}), mRan);
    EXPECT_EQ(1, mPlayer.ExitCode());
    EXPECT_EQ(1, mFinished);
}

TEST_F(ScenarioPlayerTest, FailuresFromOutsideTheStepsFailTheRun)
{
    int outside = 0;
    mPlayer.SetFailureSource([&outside] { return outside; });
    ASSERT_TRUE(mPlayer.LoadText(R"({"steps": [{"do": "note"}]})"));
    Play();
    EXPECT_EQ(0, mPlayer.ExitCode());
    outside = 1;
    EXPECT_EQ(1, mPlayer.ExitCode());
}

TEST_F(ScenarioPlayerTest, ScenarioFileErrorsAreRefusedBeforeAnythingRuns)
{
    const char* bad[] = {
        R"({"steps": [{"do": "note"})",                           // not JSON
        R"([{"do": "note"}])",                                    // no "steps"
        R"({"steps": [{"do": "nothing"}]})",                      // unknown step
        R"({"steps": [{"do": "note"}, 3]})",                      // not an object
        R"({"steps": [{"do": "note", "stopOnFailure": "yes"}]})", // not a boolean
        R"({"steps": [{"do": "quit"}, {"do": "plugin-call"}]})",  // plug-ins are gone
        R"({"steps": [{"do": "note", "expect": 0}]})",            // "expect" not an object
    };
    for (const char* text : bad)
    {
        EXPECT_FALSE(mPlayer.LoadText(text)) << text;
        EXPECT_EQ(2, mPlayer.ExitCode()) << text;
    }
    EXPECT_TRUE(mRan.empty());
    ScenarioPlayer player(mTranscript);
    EXPECT_FALSE(player.Load(mScratch.Child("missing.json")));
}

TEST_F(ScenarioPlayerTest, AParameterErrorWhilePlayingStopsWithExitCodeTwo)
{
    mPlayer.AddStep("bad",
                    [](Step& step)
                    {
                        step.Error("\"ms\" is not a number");
                        return StepStatus::kDone;
                    });
    ASSERT_TRUE(mPlayer.LoadText(R"({"steps": [{"do": "bad"}, {"do": "note"}]})"));
    Play();
    EXPECT_TRUE(mRan.empty());
    EXPECT_EQ(2, mPlayer.ExitCode());
    EXPECT_NE(std::string::npos, Transcript().find("SCENARIO ERROR step 1 (bad): \"ms\" is not a number"));
}

TEST(ScenarioValuesTest, DescriptorsAndTheirExpectations)
{
    JsonParser parser;
    StringIDTable ids;
    parser.parse(R"({"Oper": 4, "Nm  ": "name", "flag": true, "Scl ": 1.5})");
    ActionDescriptorData data;
    std::string error;
    ASSERT_TRUE(DescriptorFromJson(parser.root(), ids, data, error)) << error;
    EXPECT_EQ("{'Oper': long 4, 'Nm  ': TEXT \"name\", " + FormatCode(ids.ToTypeID("flag")) +
                  ": bool true, 'Scl ': doub 1.5}",
              DescribeDescriptor(data));

    parser.parse(
        R"({"Oper": 4, "Nm  ": {"type": "TEXT"}, "Scl ": {"type": "doub", "value": 1.5}, "Gone": null})");
    std::vector<std::string> problems;
    ASSERT_TRUE(CheckDescriptor(data, parser.root(), ids, problems, error)) << error;
    EXPECT_TRUE(problems.empty());

    parser.parse(R"({"Oper": 5, "Nm  ": {"type": "long"}, "flag": null, "Miss": "x"})");
    ASSERT_TRUE(CheckDescriptor(data, parser.root(), ids, problems, error)) << error;
    ASSERT_EQ(4u, problems.size());
    EXPECT_EQ("descriptor key 'Oper': expected long 5, found long 4", problems[0]);
    EXPECT_EQ("descriptor key 'Nm  ': expected 'long' (any value), found TEXT \"name\"", problems[1]);
    EXPECT_EQ("descriptor key 'Miss': expected TEXT \"x\", found no such key", problems[3]);

    parser.parse(R"({"Oper": [1]})");
    EXPECT_FALSE(DescriptorFromJson(parser.root(), ids, data, error));
    parser.parse(R"({"Oper": {"type": "nope"}})");
    EXPECT_FALSE(CheckDescriptor(data, parser.root(), ids, problems, error));
}

TEST(ScenarioValuesTest, ExpandsEnvironmentVariables)
{
#ifdef _WIN32
    _putenv_s("PSIM_VALUES_TEST", "C:\\logs");
#else
    setenv("PSIM_VALUES_TEST", "C:\\logs", 1);
#endif
    std::string expanded;
    std::string error;
    EXPECT_TRUE(ExpandEnvironment("${PSIM_VALUES_TEST}\\plugin.log ${", expanded, error));
    EXPECT_EQ("C:\\logs\\plugin.log ${", expanded);
    EXPECT_FALSE(ExpandEnvironment("${PSIM_VALUES_TEST_UNSET}", expanded, error));
    EXPECT_NE(std::string::npos, error.find("PSIM_VALUES_TEST_UNSET"));
}
