#pragma once
// The UI script: the answers of the dialogs, one per line, in a text file named by
// LUMORAND_UI_SCRIPT. Each kind of dialog takes its answers in order from its own queue. Blank
// lines and lines whose first non-blank character is "#" are ignored; a malformed line is noted
// in the transcript and skipped.
//
//   messagebox N                     press button N (1 is the first)
//   messagebox N after MS            the box stays open MS milliseconds, its message loop running,
//                                    then button N is pressed
//   resolvefonts cancel              cancel the dialog
//   resolvefonts confirm             confirm without choosing a replacement
//   resolvefonts pick N              choose the N-th possible replacement of every font that has one
//   resolvefonts pick NAME=N ...     choose per PostScript name ("NAME"=N when it needs quotes)
//   commandbox cancel
//   commandbox C [workgroup ID]      command C (2 about, 3 preferences, 4 collect, 5 set, 6 check)
//   askstring cancel
//   askstring confirm                confirm the proposed text
//   askstring "TEXT"                 confirm this text (a single plain word needs no quotes)
//   preferences close                close without changes
//   preferences set KEY=VALUE ...    true/false are yes/no values, whole numbers are numbers,
//                                    anything else (or anything quoted) is text
//
// Quoted texts take \" for a quote and \\ for a backslash; other backslashes are kept as they
// are. The script is read when a dialog asks for an answer, and read again when it changed; the
// number of answers each kind has used is kept per script file for the life of the process.

#include "GTypes.h"

#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

constexpr const char* kScriptVariable = "LUMORAND_UI_SCRIPT";

enum class EDialogKind
{
    kMessageBox,
    kResolveFonts,
    kCommandBox,
    kAskString,
    kPreferences,
};
constexpr std::size_t kDialogKindCount = 5;

// A typed value of "preferences set".
struct GScriptValue
{
    enum class EType
    {
        kBoolean,
        kNumber,
        kText,
    };
    EType mType = EType::kText;
    bool mBoolean = false;
    TSInt32 mNumber = 0;
    TUTF8String mText;
};

struct GScriptAnswer
{
    EDialogKind mKind = EDialogKind::kMessageBox;
    TSInt32 mLineNumber = 0;
    // resolvefonts, commandbox, askstring: the dialog was cancelled.
    bool mCancel = false;
    // messagebox: the button; commandbox: the command; resolvefonts: the replacement picked for
    // every font (0 when picks are by name or there are none).
    TSInt32 mNumber = 0;
    // commandbox: the workgroup chosen.
    std::optional<TSInt32> mWorkgroup;
    // messagebox: how long the box stays open before the answer.
    TSInt32 mDelayMs = 0;
    // resolvefonts: the replacement picked per PostScript name, in script order.
    std::vector<std::pair<TUTF8String, TSInt32>> mPicks;
    // askstring: the text confirmed (none: the proposed text).
    std::optional<TUTF8String> mText;
    // preferences: the values set, in script order.
    std::vector<std::pair<TUTF8String, GScriptValue>> mSettings;
};

struct GScriptProblem
{
    TSInt32 mLineNumber = 0;
    TUTF8String mReason;
    TUTF8String mLine;
};

struct GParsedScript
{
    std::array<std::vector<GScriptAnswer>, kDialogKindCount> mAnswers;
    std::vector<GScriptProblem> mProblems;
};

class GUIScript
{
public:
    // The name of a kind as scripts and transcripts write it ("messagebox", ...).
    static const char* KindName(EDialogKind kind);

    // Parses one line (without its line end). False with a reason for a malformed line; a blank
    // or comment line is true with ignored set.
    static bool ParseLine(const TUTF8String& line, GScriptAnswer& answer, bool& ignored, TUTF8String& reason);
    static GParsedScript Parse(const std::string& text);

    // The next unused answer of a kind from the script named by LUMORAND_UI_SCRIPT; none when
    // the variable is unset, the file cannot be read or the kind's answers are used up.
    // Malformed lines and an unreadable script are noted in the transcript once per content.
    std::optional<GScriptAnswer> NextAnswer(EDialogKind kind);

private:
    struct GScriptFile
    {
        bool mRead = false;
        bool mReadable = false;
        std::string mContent;
        GParsedScript mParsed;
        std::array<std::size_t, kDialogKindCount> mUsed{};
    };

    std::mutex mMutex;
    std::map<TUTF8String, GScriptFile> mFiles;
};
