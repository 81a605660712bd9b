// The UI script reader on arbitrary text: it never crashes, and every answer it keeps is a
// well-formed answer of the queue it is in, from a line of the text.
#include "GUIScript.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const GParsedScript parsed = GUIScript::Parse(text);
    const auto lineCount = static_cast<TSInt32>(std::count(text.begin(), text.end(), '\n') + 1);
    for (std::size_t kind = 0; kind < kDialogKindCount; ++kind)
    {
        TSInt32 previousLine = 0;
        for (const GScriptAnswer& answer : parsed.mAnswers[kind])
        {
            const bool inOrder = answer.mLineNumber > previousLine && answer.mLineNumber <= lineCount;
            bool wellFormed = static_cast<std::size_t>(answer.mKind) == kind;
            switch (answer.mKind)
            {
            case EDialogKind::kMessageBox:
                wellFormed = wellFormed && answer.mNumber >= 1;
                break;
            case EDialogKind::kCommandBox:
                wellFormed = wellFormed && (answer.mCancel ? answer.mNumber == -1 && !answer.mWorkgroup
                                                           : answer.mNumber >= 2 && answer.mNumber <= 6);
                break;
            case EDialogKind::kResolveFonts:
                wellFormed =
                    wellFormed && answer.mNumber >= 0 &&
                    std::all_of(answer.mPicks.begin(), answer.mPicks.end(),
                                [](const auto& pick) { return !pick.first.empty() && pick.second >= 1; });
                break;
            case EDialogKind::kAskString:
                wellFormed = wellFormed && !(answer.mCancel && answer.mText);
                break;
            case EDialogKind::kPreferences:
                wellFormed =
                    wellFormed && std::all_of(answer.mSettings.begin(), answer.mSettings.end(),
                                              [](const auto& setting) { return !setting.first.empty(); });
                break;
            }
            if (!inOrder || !wellFormed)
            {
                std::abort();
            }
            previousLine = answer.mLineNumber;
        }
    }
    for (const GScriptProblem& problem : parsed.mProblems)
    {
        if (problem.mLineNumber < 1 || problem.mLineNumber > lineCount || problem.mReason.empty())
        {
            std::abort();
        }
    }
    return 0;
}
