#pragma once
// How responsive the user-interface thread stayed: the gaps between two processed timer messages
// of the main window. A gap is spent in one of three places, which the main window tells apart:
// inside a plug-in call that processes messages itself (a timer message arrives while the call
// runs: the host knows the call), inside a scenario step (the step's own work and the plug-in
// calls it makes), or between two steps, where only the plug-ins' message hooks run (they see
// every timer message before the window does).
//
// The record keeps the longest gap, the sum of the gaps of at least kStallMs (the stalls), and
// for the longest gap the range of transcript lines written meanwhile, from which Describe names
// the step and the plug-in call.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

class UIResponsiveness
{
public:
    using Clock = std::chrono::steady_clock;

    // A gap counts as a stall from this length on.
    static constexpr long long kStallMs = 250;

    enum class EWhere
    {
        kNowhere, // no gap measured yet
        kInCall,  // inside a plug-in call that processes messages
        kInStep,  // inside a scenario step
        kInHooks, // between steps: the plug-ins' message hooks
    };

    struct Gap
    {
        long long ms = 0;
        EWhere where = EWhere::kNowhere;
        std::string call;          // the host's description of the plug-in call (kInCall)
        std::size_t firstLine = 0; // transcript lines [firstLine, lastLine) were written meanwhile
        std::size_t lastLine = 0;
    };

    // The first timer message of the run.
    void Start(Clock::time_point now, std::size_t lineCount);
    // A timer message is being processed; nestedCall is the plug-in call it arrives in (empty
    // outside any call).
    void TimerMessage(Clock::time_point now, std::size_t lineCount, const std::string& nestedCall);
    // A scenario step runs between these two (from the timer message just processed); calls made
    // for timer messages that arrive inside a step nest and do not end it.
    void StepStarted(Clock::time_point now, std::size_t lineCount);
    void StepEnded(Clock::time_point now, std::size_t lineCount);
    // The run ended: the time since the last timer message is the last gap.
    void Finish(Clock::time_point now, std::size_t lineCount);

    const Gap& Longest() const { return mLongest; }
    long long TotalStallMs() const { return mTotalStallMs; }
    int StallCount() const { return mStallCount; }

    // "N ms in <where>" for a gap, naming the step and the plug-in call from the transcript's lines.
    static std::string Describe(const Gap& gap, const std::vector<std::string>& transcript);
    // The transcript's closing line: "longest UI-thread stall: N ms in <where>; ...".
    std::string Summary(const std::vector<std::string>& transcript) const;

private:
    void Record(Clock::time_point now, std::size_t lineCount, EWhere where, const std::string& call);

    bool mStarted = false;
    Clock::time_point mLastTimer;
    std::size_t mLastTimerLine = 0;
    bool mInStep = false;
    int mStepDepth = 0; // timer messages processed inside a step nest
    Clock::time_point mStepStart;
    Clock::time_point mStepEnd;
    std::size_t mStepFirstLine = 0;
    std::size_t mStepLastLine = 0;
    bool mStepSinceLastTimer = false;

    Gap mLongest;
    long long mTotalStallMs = 0;
    int mStallCount = 0;
};
