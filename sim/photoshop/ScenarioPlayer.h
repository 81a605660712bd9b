#pragma once
// Plays a scenario file, one step per tick of the host's message loop.
//
// A scenario is a JSON object {"steps": [ ... ]}; each step is an object whose "do" names a
// registered step handler, with the handler's parameters beside it, an optional "expect" object
// and an optional "stopOnFailure" (true: a failed expectation of this step ends the run). New
// kinds of steps are added with AddStep, without touching the player.
//
// Exit codes: 0 when every step ran and every expectation held, 1 when an expectation failed (or
// the failure source reported failures), 2 for scenario-file errors (unreadable file, bad JSON, an
// unknown step, a bad parameter; a parameter error found while playing stops the run).

#include "Json.h"
#include "Transcript.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ScenarioPlayer
{
public:
    enum class StepStatus
    {
        kDone,  // go on with the next step at the next tick
        kAgain, // run this step's handler again at the next tick (waiting)
    };

    // What a handler sees of its step.
    class Step
    {
    public:
        const JsonNode& Node() const { return mNode; }
        std::size_t Number() const { return mNumber; }
        const std::string& Do() const { return mDo; }
        // 0 the first time the handler runs for this step, then 1, 2, ... (kAgain).
        int Pass() const { return mPass; }
        // Milliseconds since the step's first pass.
        long long ElapsedMs() const;

        // The step's parameter, or of its "expect" object; false when absent.
        bool Parameter(const std::string& name, JsonNode& value) const;
        bool Expectation(const std::string& name, JsonNode& value) const;
        bool HasExpectations() const;

        // An expectation that did not hold: "EXPECTATION FAILED step N (<do>): <what>".
        void Fail(const std::string& what);
        // A bad parameter: the run stops with exit code 2.
        void Error(const std::string& what);
        // A check's outcome as the step's: an error when the check could not be made (made false),
        // else a failure when it found a problem; the step is done either way.
        StepStatus Conclude(bool made, const std::string& problem, const std::string& error);
        bool Failed() const { return mFailed; }

    private:
        friend class ScenarioPlayer;
        Step(ScenarioPlayer& player, const JsonNode& node, std::size_t number, std::string what);

        ScenarioPlayer& mPlayer;
        JsonNode mNode;
        std::size_t mNumber;
        std::string mDo;
        int mPass = 0;
        std::chrono::steady_clock::time_point mStarted;
        bool mFailed = false;
    };

    using Handler = std::function<StepStatus(Step& step)>;

    enum StepFlags : unsigned
    {
        kNoFlags = 0,
        kCallsPlugins = 1, // calls into plug-ins: not allowed after a "quit" step
        kEndsPlugins = 2,  // the "quit" step itself
    };

    explicit ScenarioPlayer(Transcript& transcript);

    void AddStep(const std::string& name, Handler handler, unsigned flags = kNoFlags);
    // Runs once when the scenario ends (after the last step, a stop or an error).
    void AddFinisher(std::function<void()> finisher);
    // Runs at every tick outside the steps: before the step's handler and again after it (so
    // that what a step's plug-in calls started is seen before the message loop goes on).
    void AddTickHook(std::function<void()> hook);
    // Failures found outside the steps (the host's leak checks) count towards exit code 1.
    void SetFailureSource(std::function<int()> source) { mFailureSource = std::move(source); }

    // Reads and checks the whole scenario before anything runs. False (with the error in the
    // transcript and on standard error) for a scenario-file error.
    bool Load(const std::string& path);
    bool LoadText(const std::string& text);

    // Runs or continues the current step; false once the scenario has ended. A tick that arrives
    // while a step runs (a modal loop inside a plug-in call) does nothing.
    bool Tick();
    bool Finished() const { return mFinished; }
    // Ends the scenario early (the main window went away): counts as a failure.
    void Abort(const std::string& why);
    int ExitCode() const;
    std::size_t StepCount() const { return mSteps.size(); }

    // A result as a scenario writes it: an integer, or a four-character code ("Parm").
    static bool ParseResult(const JsonNode& value, std::int32_t& result);

private:
    struct Registration
    {
        Handler mHandler;
        unsigned mFlags = kNoFlags;
    };

    bool ScenarioError(const std::string& what);
    void RecordFailure(const std::string& line);
    void Finish();

    Transcript& mTranscript;
    std::map<std::string, Registration> mHandlers;
    std::vector<std::function<void()>> mFinishers;
    std::vector<std::function<void()>> mTickHooks;
    std::function<int()> mFailureSource;

    JsonParser mParser;
    std::vector<JsonNode> mSteps;
    std::size_t mCurrent = 0;
    std::unique_ptr<Step> mActive; // the current step, from its first pass to its end
    bool mInStep = false;
    bool mFinished = false;
    bool mScenarioError = false;
    int mFailures = 0;
};
