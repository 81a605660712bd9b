#include "ScenarioPlayer.h"

#include "ActionModel.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

ScenarioPlayer::Step::Step(ScenarioPlayer& player, const JsonNode& node, std::size_t number, std::string what)
    : mPlayer(player), mNode(node), mNumber(number), mDo(std::move(what)),
      mStarted(std::chrono::steady_clock::now())
{
}

long long ScenarioPlayer::Step::ElapsedMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - mStarted)
        .count();
}

bool ScenarioPlayer::Step::Parameter(const std::string& name, JsonNode& value) const
{
    return mNode.find(name, value) && !value.is_null();
}

bool ScenarioPlayer::Step::Expectation(const std::string& name, JsonNode& value) const
{
    JsonNode expect;
    return mNode.find("expect", expect) && expect.find(name, value);
}

bool ScenarioPlayer::Step::HasExpectations() const
{
    JsonNode expect;
    return mNode.find("expect", expect) && !expect.members().empty();
}

void ScenarioPlayer::Step::Fail(const std::string& what)
{
    mFailed = true;
    mPlayer.RecordFailure("EXPECTATION FAILED step " + std::to_string(mNumber) + " (" + mDo + "): " + what);
}

void ScenarioPlayer::Step::Error(const std::string& what)
{
    mPlayer.ScenarioError("step " + std::to_string(mNumber) + " (" + mDo + "): " + what);
}

ScenarioPlayer::StepStatus ScenarioPlayer::Step::Conclude(bool made, const std::string& problem,
                                                          const std::string& error)
{
    if (!made)
    {
        Error(error);
    }
    else if (!problem.empty())
    {
        Fail(problem);
    }
    return StepStatus::kDone;
}

ScenarioPlayer::ScenarioPlayer(Transcript& transcript) : mTranscript(transcript)
{
}

void ScenarioPlayer::AddStep(const std::string& name, Handler handler, unsigned flags)
{
    mHandlers[name] = Registration{std::move(handler), flags};
}

void ScenarioPlayer::AddFinisher(std::function<void()> finisher)
{
    mFinishers.push_back(std::move(finisher));
}

void ScenarioPlayer::AddTickHook(std::function<void()> hook)
{
    mTickHooks.push_back(std::move(hook));
}

bool ScenarioPlayer::ScenarioError(const std::string& what)
{
    mScenarioError = true;
    const std::string line = "SCENARIO ERROR " + what;
    mTranscript.Line(line);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    return false;
}

void ScenarioPlayer::RecordFailure(const std::string& line)
{
    ++mFailures;
    mTranscript.Line(line);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

bool ScenarioPlayer::Load(const std::string& path)
{
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!in)
    {
        return ScenarioError("cannot read the scenario file '" + path + "'");
    }
    std::ostringstream text;
    text << in.rdbuf();
    mTranscript.Line("scenario " + path);
    return LoadText(text.str());
}

bool ScenarioPlayer::LoadText(const std::string& text)
{
    mSteps.clear();
    JsonNode steps;
    try
    {
        mParser.parse(text);
        if (!mParser.root().find("steps", steps) || !steps.is_array())
        {
            return ScenarioError("the scenario is not an object with a \"steps\" array");
        }
    }
    catch (const std::exception& error)
    {
        return ScenarioError(std::string("the scenario is not valid JSON: ") + error.what());
    }
    bool quitSeen = false;
    std::size_t number = 0;
    for (const JsonNode& step : steps.to_array())
    {
        ++number;
        const std::string where = "step " + std::to_string(number);
        JsonNode what;
        if (!step.is_map() || !step.find("do", what) || !what.is_string())
        {
            return ScenarioError(where + ": not an object with a \"do\" string");
        }
        std::string name;
        try
        {
            name = what.to_string();
        }
        catch (const std::exception& error)
        {
            return ScenarioError(where + ": " + error.what());
        }
        const auto handler = mHandlers.find(name);
        if (handler == mHandlers.end())
        {
            return ScenarioError(where + ": unknown step \"" + name + "\"");
        }
        JsonNode flag;
        if (step.find("stopOnFailure", flag) && !flag.is_bool())
        {
            return ScenarioError(where + " (" + name + "): \"stopOnFailure\" is not a boolean");
        }
        if (step.find("expect", flag) && !flag.is_map())
        {
            return ScenarioError(where + " (" + name + "): \"expect\" is not an object");
        }
        if (quitSeen && (handler->second.mFlags & (kCallsPlugins | kEndsPlugins)) != 0)
        {
            return ScenarioError(where + " (" + name + "): calls plug-ins after \"quit\"");
        }
        quitSeen = quitSeen || (handler->second.mFlags & kEndsPlugins) != 0;
        mSteps.push_back(step);
    }
    mTranscript.Line("scenario has " + std::to_string(mSteps.size()) + " step(s)");
    return true;
}

bool ScenarioPlayer::Tick()
{
    if (mFinished)
    {
        return false;
    }
    if (mInStep)
    {
        return true;
    }
    for (const auto& hook : mTickHooks)
    {
        hook();
    }
    if (mCurrent >= mSteps.size())
    {
        Finish();
        return false;
    }
    if (!mActive)
    {
        const JsonNode& node = mSteps[mCurrent];
        std::string text;
        std::string name;
        try
        {
            name = node.get("do").to_string();
            text = JsonGenerator::serialize(node);
        }
        catch (const std::exception&)
        {
            text = "{...}";
        }
        mActive.reset(new Step(*this, node, mCurrent + 1, name));
        mTranscript.Line("step " + std::to_string(mCurrent + 1) + ": " + text);
    }
    Step& step = *mActive;
    StepStatus status = StepStatus::kDone;
    mInStep = true;
    try
    {
        status = mHandlers[step.Do()].mHandler(step);
    }
    catch (const std::exception& error)
    {
        step.Error(error.what());
    }
    mInStep = false;
    for (const auto& hook : mTickHooks)
    {
        hook();
    }
    if (mScenarioError)
    {
        Finish();
        return false;
    }
    if (status == StepStatus::kAgain)
    {
        ++step.mPass;
        return true;
    }
    JsonNode stopFlag;
    const bool stop = step.Failed() && step.Node().find("stopOnFailure", stopFlag) && stopFlag.to_bool();
    mActive.reset();
    ++mCurrent;
    if (stop)
    {
        mTranscript.Line("stopping: the step failed and says stopOnFailure");
        Finish();
        return false;
    }
    return true;
}

void ScenarioPlayer::Abort(const std::string& why)
{
    if (!mFinished)
    {
        RecordFailure("ABORTED at step " + std::to_string(mCurrent + 1) + ": " + why);
        Finish();
    }
}

void ScenarioPlayer::Finish()
{
    if (mFinished)
    {
        return;
    }
    mFinished = true;
    for (const auto& finisher : mFinishers)
    {
        finisher();
    }
    mTranscript.Line("scenario ended, exit code " + std::to_string(ExitCode()));
}

int ScenarioPlayer::ExitCode() const
{
    if (mScenarioError)
    {
        return 2;
    }
    const int outside = mFailureSource ? mFailureSource() : 0;
    return mFailures + outside > 0 ? 1 : 0;
}

bool ScenarioPlayer::ParseResult(const JsonNode& value, std::int32_t& result)
{
    if (value.is_int())
    {
        const long long number = value.to_int64();
        if (number < INT32_MIN || number > static_cast<long long>(UINT32_MAX))
        {
            return false;
        }
        result = static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
        return true;
    }
    std::uint32_t code = 0;
    if (value.is_string() && ParseCode(value.to_string(), code))
    {
        result = static_cast<std::int32_t>(code);
        return true;
    }
    return false;
}
