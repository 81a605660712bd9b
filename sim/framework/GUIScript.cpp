#include "GUIScript.h"

#include "GFrameworkPlatform.h"
#include "GUITranscript.h"

#include <climits>

namespace
{
constexpr const char* kKindNames[kDialogKindCount] = {"messagebox", "resolvefonts", "commandbox", "askstring",
                                                      "preferences"};

// A word of a script line. A word may be KEY=VALUE (the first "=" outside quotes splits it);
// either part may be quoted.
struct GToken
{
    bool mHasKey = false;
    TUTF8String mKey;
    TUTF8String mValue;
    bool mValueQuoted = false;

    bool IsBare(const char* word) const { return !mHasKey && !mValueQuoted && mValue == word; }
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

bool Tokenize(const TUTF8String& line, std::vector<GToken>& tokens, TUTF8String& reason)
{
    std::size_t i = 0;
    const std::size_t n = line.size();
    for (;;)
    {
        while (i < n && IsBlank(line[i]))
        {
            ++i;
        }
        if (i >= n)
        {
            return true;
        }
        GToken token;
        TUTF8String current;
        bool quoted = false;
        while (i < n && !IsBlank(line[i]))
        {
            const char c = line[i];
            if (c == '"')
            {
                quoted = true;
                ++i;
                bool closed = false;
                while (i < n)
                {
                    if (line[i] == '\\' && i + 1 < n && (line[i + 1] == '"' || line[i + 1] == '\\'))
                    {
                        current += line[i + 1];
                        i += 2;
                        continue;
                    }
                    if (line[i] == '"')
                    {
                        closed = true;
                        ++i;
                        break;
                    }
                    current += line[i++];
                }
                if (!closed)
                {
                    reason = "a quoted text is not closed";
                    return false;
                }
            }
            else if (c == '=' && !token.mHasKey)
            {
                token.mHasKey = true;
                token.mKey = current;
                current.clear();
                quoted = false;
                ++i;
            }
            else
            {
                current += c;
                ++i;
            }
        }
        token.mValue = current;
        token.mValueQuoted = quoted;
        tokens.push_back(token);
    }
}

// A decimal integer with an optional sign, within the 32-bit range.
bool ParseInteger(const GToken& token, TSInt32& value)
{
    if (token.mHasKey || token.mValueQuoted)
    {
        return false;
    }
    const TUTF8String& text = token.mValue;
    std::size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (i >= text.size() || text.size() - i > 10)
    {
        return false;
    }
    long long number = 0;
    for (; i < text.size(); ++i)
    {
        if (text[i] < '0' || text[i] > '9')
        {
            return false;
        }
        number = number * 10 + (text[i] - '0');
    }
    if (text[0] == '-')
    {
        number = -number;
    }
    if (number < INT_MIN || number > INT_MAX)
    {
        return false;
    }
    value = static_cast<TSInt32>(number);
    return true;
}

bool ParsePositive(const TUTF8String& text, TSInt32& value)
{
    GToken token;
    token.mValue = text;
    return ParseInteger(token, value) && value >= 1 && text[0] != '+' && text[0] != '-';
}

bool ParseMessageBox(const std::vector<GToken>& words, GScriptAnswer& answer, TUTF8String& reason)
{
    const auto plainNumber = [](const GToken& word, TSInt32& value)
    { return !word.mHasKey && !word.mValueQuoted && ParsePositive(word.mValue, value); };
    if (words.size() == 1 && plainNumber(words[0], answer.mNumber))
    {
        return true;
    }
    TSInt32 delay = 0;
    if (words.size() == 3 && plainNumber(words[0], answer.mNumber) && words[1].IsBare("after") &&
        plainNumber(words[2], delay))
    {
        answer.mDelayMs = delay;
        return true;
    }
    reason = "messagebox takes one button number (1 for the first button), optionally \"after MS\"";
    return false;
}

bool ParseResolveFonts(const std::vector<GToken>& words, GScriptAnswer& answer, TUTF8String& reason)
{
    if (words.size() == 1 && words[0].IsBare("cancel"))
    {
        answer.mCancel = true;
        return true;
    }
    if (words.size() == 1 && words[0].IsBare("confirm"))
    {
        return true;
    }
    if (words.size() >= 2 && words[0].IsBare("pick"))
    {
        if (words.size() == 2 && !words[1].mHasKey)
        {
            if (!words[1].mValueQuoted && ParsePositive(words[1].mValue, answer.mNumber))
            {
                return true;
            }
            reason = "resolvefonts pick takes a replacement number (1 for the first) or NAME=NUMBER pairs";
            return false;
        }
        for (std::size_t i = 1; i < words.size(); ++i)
        {
            TSInt32 pick = 0;
            if (!words[i].mHasKey || words[i].mKey.empty() || words[i].mValueQuoted ||
                !ParsePositive(words[i].mValue, pick))
            {
                reason =
                    "resolvefonts pick takes a replacement number (1 for the first) or NAME=NUMBER pairs";
                return false;
            }
            answer.mPicks.emplace_back(words[i].mKey, pick);
        }
        return true;
    }
    reason = "resolvefonts takes cancel, confirm, pick NUMBER or pick NAME=NUMBER ...";
    return false;
}

bool ParseCommandBox(const std::vector<GToken>& words, GScriptAnswer& answer, TUTF8String& reason)
{
    if (words.size() == 1 && words[0].IsBare("cancel"))
    {
        answer.mCancel = true;
        answer.mNumber = -1;
        return true;
    }
    TSInt32 command = 0;
    if ((words.size() == 1 || words.size() == 3) && ParseInteger(words[0], command) && command >= 2 &&
        command <= 6)
    {
        answer.mNumber = command;
        if (words.size() == 1)
        {
            return true;
        }
        TSInt32 workgroup = 0;
        if (words[1].IsBare("workgroup") && ParseInteger(words[2], workgroup))
        {
            answer.mWorkgroup = workgroup;
            return true;
        }
    }
    reason = "commandbox takes cancel, or a command from 2 to 6 optionally followed by workgroup ID";
    return false;
}

bool ParseAskString(const std::vector<GToken>& words, GScriptAnswer& answer, TUTF8String& reason)
{
    if (words.size() == 1 && !words[0].mHasKey)
    {
        if (words[0].IsBare("cancel"))
        {
            answer.mCancel = true;
        }
        else if (!words[0].IsBare("confirm"))
        {
            answer.mText = words[0].mValue;
        }
        return true;
    }
    reason = "askstring takes cancel, confirm or one text (in quotes when it has blanks or \"=\")";
    return false;
}

bool ParsePreferences(const std::vector<GToken>& words, GScriptAnswer& answer, TUTF8String& reason)
{
    if (words.size() == 1 && words[0].IsBare("close"))
    {
        return true;
    }
    if (words.size() >= 2 && words[0].IsBare("set"))
    {
        for (std::size_t i = 1; i < words.size(); ++i)
        {
            const GToken& word = words[i];
            if (!word.mHasKey || word.mKey.empty())
            {
                reason = "preferences set takes KEY=VALUE pairs";
                return false;
            }
            GScriptValue value;
            GToken bareValue;
            bareValue.mValue = word.mValue;
            bareValue.mValueQuoted = word.mValueQuoted;
            if (!word.mValueQuoted && (word.mValue == "true" || word.mValue == "false"))
            {
                value.mType = GScriptValue::EType::kBoolean;
                value.mBoolean = word.mValue == "true";
            }
            else if (ParseInteger(bareValue, value.mNumber))
            {
                value.mType = GScriptValue::EType::kNumber;
            }
            else
            {
                value.mType = GScriptValue::EType::kText;
                value.mText = word.mValue;
            }
            answer.mSettings.emplace_back(word.mKey, value);
        }
        return true;
    }
    reason = "preferences takes close or set KEY=VALUE ...";
    return false;
}
} // namespace

const char* GUIScript::KindName(EDialogKind kind)
{
    return kKindNames[static_cast<std::size_t>(kind)];
}

bool GUIScript::ParseLine(const TUTF8String& line, GScriptAnswer& answer, bool& ignored, TUTF8String& reason)
{
    answer = GScriptAnswer();
    ignored = false;
    std::size_t first = 0;
    while (first < line.size() && (IsBlank(line[first]) || line[first] == '\n'))
    {
        ++first;
    }
    if (first == line.size() || line[first] == '#')
    {
        ignored = true;
        return true;
    }
    std::vector<GToken> tokens;
    if (!Tokenize(line, tokens, reason))
    {
        return false;
    }
    const GToken& kindWord = tokens.front();
    std::size_t kindIndex = kDialogKindCount;
    for (std::size_t i = 0; i < kDialogKindCount; ++i)
    {
        if (kindWord.IsBare(kKindNames[i]))
        {
            kindIndex = i;
        }
    }
    if (kindIndex == kDialogKindCount)
    {
        reason =
            "unknown dialog kind " + GUITranscript::Quote(kindWord.mHasKey ? kindWord.mKey : kindWord.mValue);
        return false;
    }
    answer.mKind = static_cast<EDialogKind>(kindIndex);
    const std::vector<GToken> words(tokens.begin() + 1, tokens.end());
    switch (answer.mKind)
    {
    case EDialogKind::kMessageBox:
        return ParseMessageBox(words, answer, reason);
    case EDialogKind::kResolveFonts:
        return ParseResolveFonts(words, answer, reason);
    case EDialogKind::kCommandBox:
        return ParseCommandBox(words, answer, reason);
    case EDialogKind::kAskString:
        return ParseAskString(words, answer, reason);
    case EDialogKind::kPreferences:
        return ParsePreferences(words, answer, reason);
    }
    return false;
}

GParsedScript GUIScript::Parse(const std::string& text)
{
    GParsedScript parsed;
    std::size_t start = 0;
    // A byte-order mark is not part of the first line.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    {
        start = 3;
    }
    TSInt32 lineNumber = 0;
    while (start <= text.size())
    {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
        {
            end = text.size();
        }
        TUTF8String line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
        {
            line.pop_back();
        }
        ++lineNumber;
        GScriptAnswer answer;
        bool ignored = false;
        TUTF8String reason;
        if (!ParseLine(line, answer, ignored, reason))
        {
            parsed.mProblems.push_back(GScriptProblem{lineNumber, reason, line});
        }
        else if (!ignored)
        {
            answer.mLineNumber = lineNumber;
            parsed.mAnswers[static_cast<std::size_t>(answer.mKind)].push_back(answer);
        }
        start = end + 1;
    }
    return parsed;
}

std::optional<GScriptAnswer> GUIScript::NextAnswer(EDialogKind kind)
{
    TUTF8String path;
    if (!GFrameworkPlatform::GetEnvironment(kScriptVariable, path))
    {
        return std::nullopt;
    }
    const std::lock_guard<std::mutex> lock(mMutex);
    GScriptFile& file = mFiles[path];
    std::string content;
    TUTF8String reason;
    if (!GFrameworkPlatform::ReadFile(path, content, reason))
    {
        if (!file.mRead || file.mReadable)
        {
            GUITranscript::Note("ui script " + GUITranscript::Quote(path) + " cannot be read (" + reason +
                                "); dialogs take their default answers");
        }
        file.mRead = true;
        file.mReadable = false;
        file.mContent.clear();
        file.mParsed = GParsedScript();
        return std::nullopt;
    }
    if (!file.mRead || !file.mReadable || content != file.mContent)
    {
        file.mParsed = Parse(content);
        file.mContent = content;
        file.mRead = true;
        file.mReadable = true;
        for (const GScriptProblem& problem : file.mParsed.mProblems)
        {
            GUITranscript::Note("ui script " + GUITranscript::Quote(path) + " line " +
                                std::to_string(problem.mLineNumber) + " skipped: " + problem.mReason + ": " +
                                GUITranscript::Quote(problem.mLine));
        }
    }
    const std::size_t index = static_cast<std::size_t>(kind);
    const std::vector<GScriptAnswer>& answers = file.mParsed.mAnswers[index];
    std::size_t& used = file.mUsed[index];
    if (used >= answers.size())
    {
        return std::nullopt;
    }
    return answers[used++];
}
