#include "GFrameworkSession.h"

#include "GFrameworkPlatform.h"
#include "GPreferenceStore.h"
#include "GStringEncodings.h"
#include "GStringTable.h"
#include "GUIScript.h"
#include "GUITranscript.h"
#include "XCFUtils.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace
{
constexpr const char* kDefaultHost = "Default";

struct GProcessState
{
    std::mutex mMutex;
    TUTF8String mCurrentHost = kDefaultHost;
    const GFrameworkSession* mNewestSession = nullptr;
    GPreferenceStore mPreferences;
    GUIScript mScript;
    // Whether each host had preferences when its newest framework object was made.
    std::map<TUTF8String, bool> mExistedAtConstruction;
};

// Never destroyed: the library may be asked for preferences while the process ends.
GProcessState& Process()
{
    static GProcessState* state = new GProcessState;
    return *state;
}

TUTF8String HostOf(CFDictionaryRef details)
{
    CFStringRef host = XCFDictionaryGetString(details, CFSTR("HostApp"));
    return host != nullptr && CFStringGetLength(host) > 0 ? UTF8StringFromCFString(host) : TUTF8String();
}

// A numbered string for a transcript: the number and the quoted text (null when unknown).
TUTF8String NumberedText(TSInt32 number)
{
    const char* text = GStringTable::Find(number);
    return std::to_string(number) + " " +
           (text != nullptr ? GUITranscript::Quote(text) : TUTF8String("null"));
}

// A text the plug-in passed, with the number of the string table entry it equals, if any.
TUTF8String RecognisedText(CFStringRef text)
{
    if (text == nullptr || CFGetTypeID(text) != CFStringGetTypeID())
    {
        return "null";
    }
    const TUTF8String utf8 = UTF8StringFromCFString(text);
    const TSInt32 number = GStringTable::FindNumber(utf8);
    return number != 0 ? std::to_string(number) + " " + GUITranscript::Quote(utf8)
                       : GUITranscript::Quote(utf8);
}

TUTF8String LineNote(const GScriptAnswer& answer)
{
    return " (ui script line " + std::to_string(answer.mLineNumber) + ")";
}

TUTF8String NumberOrNone(CFDictionaryRef dictionary, CFStringRef key)
{
    TSInt32 value = 0;
    return dictionary != nullptr && XCFDictionaryGetNumber(dictionary, key, &value) ? std::to_string(value)
                                                                                    : TUTF8String("none");
}

TUTF8String BooleanOrNone(CFDictionaryRef dictionary, CFStringRef key)
{
    bool value = false;
    if (dictionary == nullptr || !XCFDictionaryGetBoolean(dictionary, key, value))
    {
        return "none";
    }
    return value ? "true" : "false";
}

bool IsDictionary(CFTypeRef value)
{
    return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID();
}

bool IsArray(CFTypeRef value)
{
    return value != nullptr && CFGetTypeID(value) == CFArrayGetTypeID();
}

// "NAME id=ID" of a possible replacement.
TUTF8String DescribeReplacement(CFTypeRef replacement)
{
    if (!IsDictionary(replacement))
    {
        return "? (not a dictionary)";
    }
    const CFDictionaryRef record = static_cast<CFDictionaryRef>(replacement);
    CFTypeRef id = CFDictionaryGetValue(record, CFSTR("DatabaseID"));
    return GUITranscript::Word(XCFDictionaryGetString(record, CFSTR("PostScriptName"))) +
           " id=" + (id != nullptr ? GUITranscript::Value(id) : TUTF8String("none"));
}

TUTF8String DescribeReplacements(CFArrayRef replacements)
{
    if (replacements == nullptr)
    {
        return "none";
    }
    TUTF8String text = "[";
    const CFIndex count = CFArrayGetCount(replacements);
    for (CFIndex i = 0; i < count; ++i)
    {
        text += (i > 0 ? ", " : "") + std::to_string(i + 1) + " " +
                DescribeReplacement(CFArrayGetValueAtIndex(replacements, i));
    }
    return text + "]";
}

TUTF8String DescribeWorkgroups(CFDictionaryRef input)
{
    CFTypeRef value = input != nullptr ? CFDictionaryGetValue(input, CFSTR("Workgroups")) : nullptr;
    if (!IsArray(value))
    {
        return "none";
    }
    const CFArrayRef workgroups = static_cast<CFArrayRef>(value);
    TUTF8String text = "[";
    const CFIndex count = CFArrayGetCount(workgroups);
    for (CFIndex i = 0; i < count; ++i)
    {
        CFTypeRef entry = CFArrayGetValueAtIndex(workgroups, i);
        text += i > 0 ? ", " : "";
        if (!IsDictionary(entry))
        {
            text += "?";
            continue;
        }
        const CFDictionaryRef workgroup = static_cast<CFDictionaryRef>(entry);
        text += NumberOrNone(workgroup, CFSTR("WorkgroupID")) + " " +
                GUITranscript::Quote(XCFDictionaryGetString(workgroup, CFSTR("WorkgroupName")));
    }
    return text + "]";
}

std::vector<CFStringRef> SortedKeys(CFDictionaryRef dictionary)
{
    std::vector<const void*> keys(static_cast<std::size_t>(CFDictionaryGetCount(dictionary)));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), nullptr);
    std::vector<CFStringRef> strings;
    for (const void* key : keys)
    {
        if (CFGetTypeID(key) == CFStringGetTypeID())
        {
            strings.push_back(static_cast<CFStringRef>(key));
        }
    }
    std::sort(strings.begin(), strings.end(),
              [](CFStringRef a, CFStringRef b) { return CFStringCompare(a, b, 0) == kCFCompareLessThan; });
    return strings;
}

// A new Core Foundation value for a scripted preference value.
CFTypeRef CreatePreferenceValue(const GScriptValue& value)
{
    switch (value.mType)
    {
    case GScriptValue::EType::kBoolean:
        return CFRetain(value.mBoolean ? kCFBooleanTrue : kCFBooleanFalse);
    case GScriptValue::EType::kNumber:
        return CFNumberCreate(nullptr, kCFNumberSInt32Type, &value.mNumber);
    case GScriptValue::EType::kText:
        return CreateCFStringFromUTF8String(value.mText);
    }
    return nullptr;
}
} // namespace

GFrameworkSession::GFrameworkSession(CFDictionaryRef details)
{
    mDetails = IsDictionary(details) ? CFDictionaryCreateMutableCopy(nullptr, 0, details)
                                     : CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                 &kCFTypeDictionaryValueCallBacks);
    const TUTF8String host = HostOf(mDetails);
    const TUTF8String current = host.empty() ? TUTF8String(kDefaultHost) : host;
    // Whether the host has preferences, as this object finds them: what it stores itself later does
    // not turn a first run into a later one.
    const bool exists = Preferences().Exists(current);
    GProcessState& process = Process();
    const std::lock_guard<std::mutex> lock(process.mMutex);
    process.mCurrentHost = current;
    process.mNewestSession = this;
    process.mExistedAtConstruction[current] = exists;
}

GFrameworkSession::~GFrameworkSession()
{
    GProcessState& process = Process();
    {
        const std::lock_guard<std::mutex> lock(process.mMutex);
        if (process.mNewestSession == this)
        {
            // The host stays the current one; only this object is gone.
            process.mNewestSession = nullptr;
        }
    }
    if (mDetails != nullptr)
    {
        CFRelease(mDetails);
    }
}

TUTF8String GFrameworkSession::CurrentHost()
{
    GProcessState& process = Process();
    const std::lock_guard<std::mutex> lock(process.mMutex);
    return process.mCurrentHost;
}

GPreferenceStore& GFrameworkSession::Preferences()
{
    return Process().mPreferences;
}

bool GFrameworkSession::GetBooleanPreference(CFStringRef key)
{
    CFTypeRef value = Preferences().CopyValue(CurrentHost(), key);
    const bool result = value != nullptr && CFGetTypeID(value) == CFBooleanGetTypeID() &&
                        CFBooleanGetValue(static_cast<CFBooleanRef>(value));
    if (value != nullptr)
    {
        CFRelease(value);
    }
    return result;
}

void GFrameworkSession::SetBooleanPreference(CFStringRef key, bool value)
{
    Preferences().SetValue(CurrentHost(), key, value ? kCFBooleanTrue : kCFBooleanFalse);
}

TSInt32 GFrameworkSession::GetNumberPreference(CFStringRef key)
{
    CFTypeRef value = Preferences().CopyValue(CurrentHost(), key);
    TSInt32 result = 0;
    if (value != nullptr && CFGetTypeID(value) == CFNumberGetTypeID() &&
        !CFNumberIsFloatType(static_cast<CFNumberRef>(value)))
    {
        SInt32 number = 0;
        if (CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &number))
        {
            result = number;
        }
    }
    if (value != nullptr)
    {
        CFRelease(value);
    }
    return result;
}

void GFrameworkSession::SetNumberPreference(CFStringRef key, TSInt32 value)
{
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
    Preferences().SetValue(CurrentHost(), key, number);
    if (number != nullptr)
    {
        CFRelease(number);
    }
}

CFStringRef GFrameworkSession::CopyStringPreference(CFStringRef key)
{
    CFTypeRef value = Preferences().CopyValue(CurrentHost(), key);
    if (value != nullptr && CFGetTypeID(value) != CFStringGetTypeID())
    {
        CFRelease(value);
        return nullptr;
    }
    return static_cast<CFStringRef>(value);
}

void GFrameworkSession::SetStringPreference(CFStringRef key, CFStringRef value)
{
    if (value != nullptr && CFGetTypeID(value) != CFStringGetTypeID())
    {
        return;
    }
    Preferences().SetValue(CurrentHost(), key, value);
}

bool GFrameworkSession::PreferencesExist()
{
    const TUTF8String host = CurrentHost();
    GProcessState& process = Process();
    {
        const std::lock_guard<std::mutex> lock(process.mMutex);
        const auto known = process.mExistedAtConstruction.find(host);
        if (known != process.mExistedAtConstruction.end())
        {
            return known->second;
        }
    }
    return Preferences().Exists(host);
}

CFStringRef GFrameworkSession::CopyLocalizedString(TSInt32 number)
{
    const char* text = GStringTable::Find(number);
    return text != nullptr ? CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8) : nullptr;
}

CFStringRef GFrameworkSession::CopyHostAppDisplayName() const
{
    const TUTF8String host = HostOf(mDetails);
    return host.empty() ? nullptr : CreateCFStringFromUTF8String(GStringTable::HostAppDisplayName(host));
}

void GFrameworkSession::UpdateDetails(CFDictionaryRef details)
{
    if (!IsDictionary(details))
    {
        return;
    }
    const CFIndex count = CFDictionaryGetCount(details);
    std::vector<const void*> keys(static_cast<std::size_t>(count));
    std::vector<const void*> values(static_cast<std::size_t>(count));
    CFDictionaryGetKeysAndValues(details, keys.data(), values.data());
    for (CFIndex i = 0; i < count; ++i)
    {
        CFDictionarySetValue(mDetails, keys[static_cast<std::size_t>(i)],
                             values[static_cast<std::size_t>(i)]);
    }
    const TUTF8String host = HostOf(details);
    GProcessState& process = Process();
    const std::lock_guard<std::mutex> lock(process.mMutex);
    if (!host.empty() && process.mNewestSession == this)
    {
        process.mCurrentHost = host;
    }
}

TUTF8String GFrameworkSession::ParentPart() const
{
    if (mParentWindow == nullptr)
    {
        return TUTF8String();
    }
    const TUTF8String className = GFrameworkPlatform::GetWindowClassName(mParentWindow);
    return " parent=" + (className.empty() ? TUTF8String("?") : GUITranscript::Word(className));
}

TUTF8String GFrameworkSession::DetailWord(CFStringRef key) const
{
    return GUITranscript::Word(XCFDictionaryGetString(mDetails, key));
}

TSInt32 GFrameworkSession::AnswerMessageBox(TSInt32 type, TUTF8String& buttonsPart,
                                            std::vector<TUTF8String>& notes)
{
    TSInt32 buttons = 1;
    if (type == 2)
    {
        buttons = 2;
    }
    else if (type != 0)
    {
        notes.push_back("# messagebox type " + std::to_string(type) + " is not known; shown with one button");
    }
    buttonsPart = " buttons=" + std::to_string(buttons);
    const std::optional<GScriptAnswer> answer = Process().mScript.NextAnswer(EDialogKind::kMessageBox);
    if (!answer)
    {
        return 1;
    }
    if (answer->mDelayMs > 0)
    {
        notes.push_back("# messagebox open " + std::to_string(answer->mDelayMs) + " ms" + LineNote(*answer));
        GFrameworkPlatform::RunModalLoop(answer->mDelayMs);
    }
    if (answer->mNumber > buttons)
    {
        notes.push_back("# messagebox has no button " + std::to_string(answer->mNumber) + LineNote(*answer) +
                        "; pressing button 1");
        return 1;
    }
    return answer->mNumber;
}

TSInt32 GFrameworkSession::ShowMessageBox(TSInt32 titleNumber, TSInt32 textNumber, TSInt32 type)
{
    TUTF8String buttonsPart;
    std::vector<TUTF8String> lines(1);
    const TSInt32 pressed = AnswerMessageBox(type, buttonsPart, lines);
    lines[0] = "messagebox title=" + NumberedText(titleNumber) + " text=" + NumberedText(textNumber) +
               buttonsPart + ParentPart() + " -> " + std::to_string(pressed);
    GUITranscript::Write(lines);
    return pressed;
}

TSInt32 GFrameworkSession::ShowMessageBox(CFStringRef title, CFStringRef text, TSInt32 type)
{
    TUTF8String buttonsPart;
    std::vector<TUTF8String> lines(1);
    const TSInt32 pressed = AnswerMessageBox(type, buttonsPart, lines);
    lines[0] = "messagebox title=" + GUITranscript::Quote(title) + " text=" + GUITranscript::Quote(text) +
               buttonsPart + ParentPart() + " -> " + std::to_string(pressed);
    GUITranscript::Write(lines);
    return pressed;
}

void GFrameworkSession::ShowAboutBox()
{
    GUITranscript::Write("about plugin=" + DetailWord(CFSTR("PluginVersion")) +
                         " interface=" + DetailWord(CFSTR("LumorandPluginInterfaceVersion")) +
                         " fontmanager=" + DetailWord(CFSTR("FontManager")) +
                         " host=" + DetailWord(CFSTR("HostApp")) + ParentPart());
}

void GFrameworkSession::ShowPreferences()
{
    const TUTF8String host = CurrentHost();
    CFDictionaryRef current = Preferences().CopyAll(host);
    TUTF8String line = "preferences";
    for (CFStringRef key : SortedKeys(current))
    {
        line +=
            " " + GUITranscript::Word(key) + "=" + GUITranscript::Value(CFDictionaryGetValue(current, key));
    }
    CFRelease(current);
    line += ParentPart() + " -> ";

    const std::optional<GScriptAnswer> answer = Process().mScript.NextAnswer(EDialogKind::kPreferences);
    if (!answer || answer->mSettings.empty())
    {
        GUITranscript::Write(line + "unchanged");
        return;
    }
    std::vector<std::pair<CFStringRef, CFTypeRef>> values;
    line += "set";
    for (const auto& [name, setting] : answer->mSettings)
    {
        CFStringRef key = CreateCFStringFromUTF8String(name);
        CFTypeRef value = CreatePreferenceValue(setting);
        if (key == nullptr || value == nullptr)
        {
            GUITranscript::Note("preferences: " + GUITranscript::Quote(name) + " is not valid UTF-8" +
                                LineNote(*answer) + "; not set");
        }
        else
        {
            line += " " + GUITranscript::Word(key) + "=" + GUITranscript::Value(value);
            values.emplace_back(key, value);
            continue;
        }
        if (key != nullptr)
        {
            CFRelease(key);
        }
        if (value != nullptr)
        {
            CFRelease(value);
        }
    }
    GUITranscript::Write(line);
    Preferences().SetValues(host, values);
    for (const auto& [key, value] : values)
    {
        CFRelease(key);
        CFRelease(value);
    }
}

TSInt32 GFrameworkSession::ShowResolveFonts(CFArrayRef problemFonts)
{
    const std::optional<GScriptAnswer> answer = Process().mScript.NextAnswer(EDialogKind::kResolveFonts);
    const bool confirmed = answer && !answer->mCancel;
    std::vector<TUTF8String> lines(1);
    std::vector<TUTF8String> notes;
    if (!IsArray(problemFonts))
    {
        notes.push_back("resolvefonts was given no array of problem fonts");
    }
    const CFIndex count = IsArray(problemFonts) ? CFArrayGetCount(problemFonts) : 0;
    std::set<TUTF8String> listedNames;
    for (CFIndex i = 0; i < count; ++i)
    {
        CFTypeRef entry = CFArrayGetValueAtIndex(problemFonts, i);
        if (!IsDictionary(entry))
        {
            lines.push_back("  record " + std::to_string(i + 1) + " -> skipped (not a dictionary)");
            continue;
        }
        const CFDictionaryRef record = static_cast<CFDictionaryRef>(entry);
        CFStringRef name = XCFDictionaryGetString(record, CFSTR("PostScriptName"));
        const TUTF8String nameText = UTF8StringFromCFString(name);
        if (name != nullptr)
        {
            listedNames.insert(nameText);
        }
        CFTypeRef replacementsValue = CFDictionaryGetValue(record, CFSTR("PossibleReplacements"));
        const CFArrayRef replacements =
            IsArray(replacementsValue) ? static_cast<CFArrayRef>(replacementsValue) : nullptr;
        TUTF8String line = "  " + (name != nullptr ? GUITranscript::Word(nameText) : TUTF8String("?")) +
                           " replacements=" + DescribeReplacements(replacements) + " -> ";

        TSInt32 pick = 0;
        if (confirmed)
        {
            pick = answer->mNumber;
            for (const auto& [pickName, pickNumber] : answer->mPicks)
            {
                if (name != nullptr && pickName == nameText)
                {
                    pick = pickNumber;
                }
            }
        }
        if (pick == 0)
        {
            lines.push_back(line + "none");
            continue;
        }
        if (replacements == nullptr || pick > CFArrayGetCount(replacements))
        {
            lines.push_back(line + "none (there is no replacement " + std::to_string(pick) + ")");
            continue;
        }
        CFTypeRef choice = CFArrayGetValueAtIndex(replacements, pick - 1);
        CFDictionarySetValue(const_cast<CFMutableDictionaryRef>(record), CFSTR("MatchedFont"), choice);
        // An immutable dictionary keeps its values: the choice cannot be handed back in it.
        if (CFDictionaryGetValue(record, CFSTR("MatchedFont")) != choice)
        {
            lines.push_back(line + "not set (the record is not a mutable dictionary)");
            continue;
        }
        lines.push_back(line + std::to_string(pick) + " " + DescribeReplacement(choice));
    }
    if (confirmed)
    {
        for (const auto& [pickName, pickNumber] : answer->mPicks)
        {
            if (listedNames.count(pickName) == 0)
            {
                notes.push_back("resolvefonts lists no font " + GUITranscript::Quote(pickName) +
                                LineNote(*answer));
            }
        }
    }
    lines[0] = "resolvefonts fonts=" + std::to_string(count) + ParentPart() + " -> " +
               (confirmed ? "confirmed" : "cancelled");
    for (const TUTF8String& note : notes)
    {
        lines.push_back("# " + note);
    }
    GUITranscript::Write(lines);
    return confirmed ? 1 : 0;
}

TSInt32 GFrameworkSession::ShowCommandBox(CFDictionaryRef input, TSInt32* selectedWorkgroup)
{
    const CFDictionaryRef dictionary = IsDictionary(input) ? input : nullptr;
    TUTF8String line = "commandbox workgroups=" + DescribeWorkgroups(dictionary) +
                       " current=" + NumberOrNone(dictionary, CFSTR("CurrentWorkgroupID")) +
                       " buttons=" + BooleanOrNone(dictionary, CFSTR("ButtonsEnabled")) +
                       " online=" + BooleanOrNone(dictionary, CFSTR("IsOnline")) + ParentPart();

    TSInt32 command = -1;
    TUTF8String note;
    const std::optional<GScriptAnswer> answer = Process().mScript.NextAnswer(EDialogKind::kCommandBox);
    if (answer && !answer->mCancel)
    {
        bool buttonsEnabled = true;
        if (dictionary != nullptr)
        {
            XCFDictionaryGetBoolean(dictionary, CFSTR("ButtonsEnabled"), buttonsEnabled);
        }
        // The document commands' buttons are disabled when the plug-in says so; about and
        // preferences can always be chosen.
        if (!buttonsEnabled && answer->mNumber >= 4)
        {
            note = "# commandbox command " + std::to_string(answer->mNumber) +
                   " cannot be chosen: its button is disabled" + LineNote(*answer) + "; cancelled";
        }
        else
        {
            command = answer->mNumber;
            if (answer->mWorkgroup && selectedWorkgroup != nullptr)
            {
                *selectedWorkgroup = *answer->mWorkgroup;
            }
        }
    }
    line += " -> " + std::to_string(command) + " workgroup=" +
            (selectedWorkgroup != nullptr ? std::to_string(*selectedWorkgroup) : TUTF8String("none"));
    GUITranscript::Write(note.empty() ? std::vector<TUTF8String>{line}
                                      : std::vector<TUTF8String>{line, note});
    return command;
}

TSInt32 GFrameworkSession::AskForOneString(CFStringRef title, CFStringRef prompt, CFStringRef initialText,
                                           CFStringRef* answer)
{
    TUTF8String line = "askstring title=" + RecognisedText(title) + " prompt=" + RecognisedText(prompt) +
                       " initial=" + GUITranscript::Quote(initialText) + ParentPart() + " -> ";
    const std::optional<GScriptAnswer> scripted = Process().mScript.NextAnswer(EDialogKind::kAskString);
    if (!scripted || scripted->mCancel)
    {
        GUITranscript::Write(line + "cancelled");
        return 0;
    }
    const TUTF8String text = scripted->mText ? *scripted->mText : UTF8StringFromCFString(initialText);
    CFStringRef result = CreateCFStringFromUTF8String(text);
    if (result == nullptr || answer == nullptr)
    {
        GUITranscript::Write(
            {line + "cancelled", "# askstring " +
                                     TUTF8String(answer == nullptr ? "has nowhere to put the answer"
                                                                   : "answer is not valid UTF-8") +
                                     LineNote(*scripted)});
        if (result != nullptr)
        {
            CFRelease(result);
        }
        return 0;
    }
    *answer = result;
    GUITranscript::Write(line + GUITranscript::Quote(text));
    return 1;
}
