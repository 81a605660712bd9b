#include "UIResponsiveness.h"

#include <algorithm>

namespace
{
long long Milliseconds(UIResponsiveness::Clock::duration duration)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// "step N (do)" of the last step line before line `end`, or empty.
std::string StepBefore(const std::vector<std::string>& transcript, std::size_t end)
{
    for (std::size_t i = std::min(end, transcript.size()); i-- > 0;)
    {
        const std::string& line = transcript[i];
        const std::size_t colon = line.find(": ");
        if (!StartsWith(line, "step ") || colon == std::string::npos || colon <= 5 ||
            line.find_first_not_of("0123456789", 5) != colon)
        {
            continue;
        }
        std::string text = line.substr(0, colon);
        const std::size_t doAt = line.find("\"do\":\"", colon);
        if (doAt != std::string::npos)
        {
            const std::size_t start = doAt + 6;
            const std::size_t stop = line.find('"', start);
            if (stop != std::string::npos)
            {
                text += " (" + line.substr(start, stop - start) + ")";
            }
        }
        return text;
    }
    return {};
}

// The plug-in call a host line starts, as the host describes calls ("Startup (Portolan.8li)",
// "notification 'Cls ' (Portolan.8li)"); empty for other lines.
std::string CallOfLine(const std::string& line)
{
    if (StartsWith(line, "call "))
    {
        // call <plug-in> "<caller>"/"<selector>"
        const std::size_t quote = line.find(" \"", 5);
        const std::size_t last = line.rfind('"');
        const std::size_t open = last != std::string::npos && last > 0 ? line.rfind('"', last - 1) : last;
        if (quote == std::string::npos || open == std::string::npos || open <= quote)
        {
            return line.substr(5);
        }
        return line.substr(open + 1, last - open - 1) + " (" + line.substr(5, quote - 5) + ")";
    }
    if (StartsWith(line, "notify ") && line.size() > 14)
    {
        // notify '<code>' <plug-in> {<descriptor>}
        const std::string code = line.substr(7, 6);
        const std::size_t nameEnd = line.find(" {", 14);
        return "notification " + code + " (" +
               line.substr(14, nameEnd == std::string::npos ? std::string::npos : nameEnd - 14) + ")";
    }
    return {};
}
} // namespace

void UIResponsiveness::Start(Clock::time_point now, std::size_t lineCount)
{
    mStarted = true;
    mLastTimer = now;
    mLastTimerLine = lineCount;
    mStepSinceLastTimer = false;
}

void UIResponsiveness::TimerMessage(Clock::time_point now, std::size_t lineCount,
                                    const std::string& nestedCall)
{
    if (!mStarted)
    {
        Start(now, lineCount);
        return;
    }
    if (mInStep)
    {
        Record(now, lineCount, nestedCall.empty() ? EWhere::kInStep : EWhere::kInCall, nestedCall);
    }
    else if (mStepSinceLastTimer)
    {
        // The step ran from the later of its start and the last timer message to its end; the
        // rest of the gap went to the message hooks.
        const Clock::time_point stepStart = std::max(mStepStart, mLastTimer);
        const Clock::duration inStep = mStepEnd - stepStart;
        const Clock::duration outside = (now - mLastTimer) - inStep;
        Record(now, lineCount, inStep >= outside ? EWhere::kInStep : EWhere::kInHooks, {});
    }
    else
    {
        Record(now, lineCount, EWhere::kInHooks, {});
    }
    mLastTimer = now;
    mLastTimerLine = lineCount;
    mStepSinceLastTimer = false;
}

void UIResponsiveness::StepStarted(Clock::time_point now, std::size_t lineCount)
{
    if (mStepDepth++ > 0)
    {
        return; // a timer message inside a step: the step goes on
    }
    mInStep = true;
    mStepStart = now;
    mStepFirstLine = lineCount;
}

void UIResponsiveness::StepEnded(Clock::time_point now, std::size_t lineCount)
{
    if (mStepDepth == 0 || --mStepDepth > 0)
    {
        return;
    }
    mInStep = false;
    mStepEnd = now;
    mStepLastLine = lineCount;
    mStepSinceLastTimer = true;
}

void UIResponsiveness::Finish(Clock::time_point now, std::size_t lineCount)
{
    if (mStarted)
    {
        TimerMessage(now, lineCount, {});
    }
}

void UIResponsiveness::Record(Clock::time_point now, std::size_t lineCount, EWhere where,
                              const std::string& call)
{
    const long long ms = Milliseconds(now - mLastTimer);
    if (ms >= kStallMs)
    {
        mTotalStallMs += ms;
        ++mStallCount;
    }
    if (ms <= mLongest.ms && mLongest.where != EWhere::kNowhere)
    {
        return;
    }
    mLongest.ms = ms;
    mLongest.where = where;
    mLongest.call = call;
    if (where == EWhere::kInStep && !mInStep)
    {
        mLongest.firstLine = mStepFirstLine;
        mLongest.lastLine = mStepLastLine;
    }
    else
    {
        mLongest.firstLine = mLastTimerLine;
        mLongest.lastLine = lineCount;
    }
}

std::string UIResponsiveness::Describe(const Gap& gap, const std::vector<std::string>& transcript)
{
    const std::string step = StepBefore(transcript, gap.lastLine);
    const std::string atStep = step.empty() ? std::string() : ", " + step;
    std::string where;
    switch (gap.where)
    {
    case EWhere::kNowhere:
        return "0 ms (no timer message was measured)";
    case EWhere::kInCall:
        where = gap.call + atStep;
        break;
    case EWhere::kInStep:
    {
        std::string call;
        for (std::size_t i = gap.firstLine; i < gap.lastLine && i < transcript.size(); ++i)
        {
            const std::string found = CallOfLine(transcript[i]);
            call = found.empty() ? call : found;
        }
        where = call.empty() ? (step.empty() ? std::string("a scenario step") : step) : call + atStep;
        break;
    }
    case EWhere::kInHooks:
        where = "the plug-ins' message hooks (between timer messages)" + atStep;
        break;
    }
    return std::to_string(gap.ms) + " ms in " + where;
}

std::string UIResponsiveness::Summary(const std::vector<std::string>& transcript) const
{
    return "longest UI-thread stall: " + Describe(mLongest, transcript) + "; stalls of " +
           std::to_string(kStallMs) + " ms or more: " + std::to_string(mStallCount) + ", " +
           std::to_string(mTotalStallMs) + " ms in total";
}
