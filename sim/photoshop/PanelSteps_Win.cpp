#include "PanelSteps.h"

#include "MainWindow.h"
#include "PanelMessages.h"

#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace
{
using Step = ScenarioPlayer::Step;
using StepStatus = ScenarioPlayer::StepStatus;

constexpr const char* kToPluginType = "com.lumorand.PanelToPlugin";
constexpr const char* kToPanelType = "com.lumorand.PluginToPanel";
constexpr const char* kLaunchType = "com.lumorand.startpanel";
constexpr const char* kPanelAppId = "PHXS";
constexpr const char* kPanelExtensionId = "com.lumorand.panel";
constexpr std::int32_t kApplicationScope = 1;
const wchar_t* const kLibraryNames[] = {L"PlugPlugOwl.dll", L"PlugPlug.dll"};

// The event library's interface, as the host sees it.
struct LibraryEvent
{
    const char* type;
    std::int32_t scope;
    const char* appId;
    const char* extensionId;
    const char* data;
};
static_assert(sizeof(LibraryEvent) == 40, "the library's events are 40 bytes");
using EventListenerFn = void (*)(const LibraryEvent* event, void* context);
using ListenerCall = std::int32_t (*)(const char* type, EventListenerFn listener, void* context);
using DispatchCall = std::int32_t (*)(const LibraryEvent* event);
using CountCall = std::int32_t (*)(const char* type);

template <typename Function>
Function Export(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

struct KeyName
{
    unsigned key;
    const char* name;
};
const KeyName kKeyNames[] = {
    {VK_BACK, "Backspace"},  {VK_TAB, "Tab"},   {VK_RETURN, "Return"}, {VK_SHIFT, "Shift"},
    {VK_CONTROL, "Control"}, {VK_MENU, "Alt"},  {VK_ESCAPE, "Escape"}, {VK_SPACE, "Space"},
    {VK_LEFT, "Left"},       {VK_UP, "Up"},     {VK_RIGHT, "Right"},   {VK_DOWN, "Down"},
    {VK_DELETE, "Delete"},   {VK_HOME, "Home"}, {VK_END, "End"},       {VK_F1, "F1"},
};

std::string KeyText(unsigned key)
{
    for (const KeyName& name : kKeyNames)
    {
        if (name.key == key)
        {
            return name.name;
        }
    }
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
    {
        return std::string(1, static_cast<char>(key));
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", key);
    return text;
}

// A key as a scenario writes it: a virtual-key number, a letter or digit, or a name above.
bool ParseKey(const JsonNode& node, unsigned& key)
{
    if (node.is_int())
    {
        key = static_cast<unsigned>(node.to_int64());
        return node.to_int64() > 0 && node.to_int64() < 256;
    }
    if (!node.is_string())
    {
        return false;
    }
    const std::string text = node.to_string();
    if (text.size() == 1 && std::isalnum(static_cast<unsigned char>(text[0])))
    {
        key = static_cast<unsigned>(std::toupper(static_cast<unsigned char>(text[0])));
        return true;
    }
    for (const KeyName& name : kKeyNames)
    {
        if (text == name.name)
        {
            key = name.key;
            return true;
        }
    }
    return false;
}

struct KeyMessage
{
    bool down = true;
    unsigned key = 0;
    bool focused = false;

    std::string Describe() const { return (down ? "down " : "up ") + KeyText(key); }
};

bool ReadFlag(const JsonNode& node, const char* name, bool& value, std::string& error)
{
    JsonNode member;
    if (!node.find(name, member) || member.is_null())
    {
        return true;
    }
    if (!member.is_bool())
    {
        error = std::string("\"") + name + "\" is not a boolean";
        return false;
    }
    value = member.to_bool();
    return true;
}

bool ReadNumber(const JsonNode& node, const char* name, long long& value, std::string& error)
{
    JsonNode member;
    if (!node.find(name, member) || member.is_null())
    {
        return true;
    }
    if (!member.is_int() || member.to_int64() < 0)
    {
        error = std::string("\"") + name + "\" is not a non-negative integer";
        return false;
    }
    value = member.to_int64();
    return true;
}

class PanelStage
{
public:
    explicit PanelStage(PhotoshopHost& host) : mHost(host), mTranscript(host.GetTranscript()) {}
    PanelStage(const PanelStage&) = delete;
    PanelStage& operator=(const PanelStage&) = delete;

    void Register(ScenarioPlayer& player, SimSession& session, const std::shared_ptr<PanelStage>& self);

private:
    using Check = bool (PanelStage::*)(const JsonNode& node, std::string& problem, std::string& error);

    // Listens as soon as the library is in the process.
    void LookForLibrary();
    void Detach();
    static void OnEvent(const LibraryEvent* event, void* context);
    void OnKeyMessage(unsigned message, unsigned key, bool focused);

    StepStatus Send(Step& step);
    StepStatus ExpectMessages(Step& step);
    StepStatus ExpectKeys(Step& step);
    StepStatus Expect(Step& step, Check check);

    bool CheckReceived(const JsonNode& node, std::string& problem, std::string& error);
    bool CheckListeners(const JsonNode& node, std::string& problem, std::string& error);
    bool CheckLaunched(const JsonNode& node, std::string& problem, std::string& error);

    PhotoshopHost& mHost;
    Transcript& mTranscript;
    HMODULE mLibrary = nullptr;
    std::string mLibraryName;
    ListenerCall mRemoveListener = nullptr;
    DispatchCall mDispatch = nullptr;
    CountCall mCount = nullptr;
    // The plug-in's messages to the panel, and how many of them expect-panel-messages has seen.
    std::vector<std::string> mMessages;
    std::size_t mMessagesChecked = 0;
    int mLaunches = 0;
    std::vector<KeyMessage> mKeys;
    std::size_t mKeysChecked = 0;
};

void PanelStage::LookForLibrary()
{
    if (mLibrary != nullptr)
    {
        return;
    }
    HMODULE library = nullptr;
    const wchar_t* found = nullptr;
    for (const wchar_t* name : kLibraryNames)
    {
        // A reference of the host's own: the library stays while the host listens.
        if (GetModuleHandleExW(0, name, &library))
        {
            found = name;
            break;
        }
    }
    if (found == nullptr)
    {
        return;
    }
    mLibrary = library;
    mLibraryName = found == kLibraryNames[0] ? "PlugPlugOwl.dll" : "PlugPlug.dll";
    auto add = Export<ListenerCall>(library, "PlugPlugAddEventListener");
    mRemoveListener = Export<ListenerCall>(library, "PlugPlugRemoveEventListener");
    mDispatch = Export<DispatchCall>(library, "PlugPlugDispatchEvent");
    mCount = Export<CountCall>(library, "PlugPlugStandInListenerCount");
    if (add == nullptr || mRemoveListener == nullptr)
    {
        mTranscript.Line("event library " + mLibraryName + " is in the process but has no listener exports");
        return;
    }
    const std::int32_t toPanel = add(kToPanelType, &PanelStage::OnEvent, this);
    const std::int32_t launch = add(kLaunchType, &PanelStage::OnEvent, this);
    mTranscript.Line("event library " + mLibraryName + " is in the process: listening for " + kToPanelType +
                     " (" + std::to_string(toPanel) + ") and " + kLaunchType + " (" + std::to_string(launch) +
                     ")" + (mDispatch == nullptr ? "; it has no PlugPlugDispatchEvent" : ""));
}

void PanelStage::Detach()
{
    SetKeyMessageHandler(nullptr);
    if (mLibrary == nullptr)
    {
        return;
    }
    if (mRemoveListener != nullptr)
    {
        mRemoveListener(kToPanelType, &PanelStage::OnEvent, this);
        mRemoveListener(kLaunchType, &PanelStage::OnEvent, this);
    }
    FreeLibrary(mLibrary);
    mLibrary = nullptr;
    mTranscript.Line("event library " + mLibraryName + ": the host stopped listening");
}

void PanelStage::OnEvent(const LibraryEvent* event, void* context)
{
    auto* self = static_cast<PanelStage*>(context);
    if (event == nullptr || event->type == nullptr)
    {
        self->mTranscript.Line("panel event without a type");
        return;
    }
    const std::string type = event->type;
    const std::string data = event->data != nullptr ? event->data : "";
    if (type == kLaunchType)
    {
        ++self->mLaunches;
        self->mTranscript.Line(std::string("panel launch event ") + kLaunchType + " appId " +
                               (event->appId != nullptr ? event->appId : "(null)"));
        return;
    }
    self->mMessages.push_back(data);
    JsonParser parser;
    std::string why;
    const bool wellFormed = ParsePanelMessage(data, parser, why);
    self->mTranscript.Line("panel message " + std::to_string(self->mMessages.size()) + ": " + data +
                           (wellFormed ? "" : " (" + why + ")"));
}

void PanelStage::OnKeyMessage(unsigned message, unsigned key, bool focused)
{
    KeyMessage received;
    received.down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    received.key = key;
    received.focused = focused;
    mKeys.push_back(received);
    mTranscript.Line("key message: " + received.Describe() +
                     (focused ? "" : " (the main window has no focus)"));
}

StepStatus PanelStage::Send(Step& step)
{
    JsonNode message;
    if (!step.Parameter("message", message))
    {
        step.Error("needs \"message\", a JSON value or a text sent as it is");
        return StepStatus::kDone;
    }
    std::string data = message.is_string() ? message.to_string() : JsonGenerator::serialize(message);
    std::string expansionError;
    if (message.is_string() && !ExpandPanelValues(data, mMessages, expansionError))
    {
        step.Fail(expansionError);
        return StepStatus::kDone;
    }
    long long count = 1;
    std::string error;
    if (!ReadNumber(step.Node(), "count", count, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    std::int32_t wanted = 0;
    JsonNode expected;
    if (step.Expectation("result", expected) && !ScenarioPlayer::ParseResult(expected, wanted))
    {
        step.Error("\"expect\": \"result\" is not an integer");
        return StepStatus::kDone;
    }
    LookForLibrary();
    if (mLibrary == nullptr || mDispatch == nullptr)
    {
        step.Fail(mLibrary == nullptr
                      ? "the event library is not loaded"
                      : "the event library " + mLibraryName + " has no PlugPlugDispatchEvent");
        return StepStatus::kDone;
    }
    const LibraryEvent event{kToPluginType, kApplicationScope, kPanelAppId, kPanelExtensionId, data.c_str()};
    for (long long i = 0; i < count; ++i)
    {
        const std::int32_t result = mDispatch(&event);
        mTranscript.Line("panel-send " + data + " -> " + std::to_string(result));
        if (result != wanted)
        {
            step.Fail("PlugPlugDispatchEvent returned " + std::to_string(result) + ", expected " +
                      std::to_string(wanted));
            break;
        }
    }
    return StepStatus::kDone;
}

StepStatus PanelStage::ExpectMessages(Step& step)
{
    JsonNode expected;
    if (!step.Parameter("messages", expected))
    {
        step.Error("needs \"messages\", a list of expected messages");
        return StepStatus::kDone;
    }
    bool exact = false;
    std::string error;
    std::string problem;
    if (!ReadFlag(step.Node(), "exact", exact, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    const std::vector<std::string> messages(mMessages.begin() + static_cast<std::ptrdiff_t>(mMessagesChecked),
                                            mMessages.end());
    mMessagesChecked = mMessages.size();
    const bool made = CheckPanelMessages(messages, expected, exact, problem, error);
    return step.Conclude(made, problem, error);
}

StepStatus PanelStage::ExpectKeys(Step& step)
{
    JsonNode keys;
    if (!step.Parameter("keys", keys) || !keys.is_array())
    {
        step.Error("needs \"keys\", a list of {\"down\": KEY} and {\"up\": KEY}");
        return StepStatus::kDone;
    }
    std::vector<KeyMessage> expected;
    for (const JsonNode& element : keys.to_array())
    {
        JsonNode key;
        KeyMessage message;
        message.down = element.is_map() && element.find("down", key);
        if (!(message.down || (element.is_map() && element.find("up", key))) || !ParseKey(key, message.key))
        {
            step.Error(
                "\"keys\": each is {\"down\": KEY} or {\"up\": KEY}, KEY a virtual-key number, a letter, a "
                "digit or a key name");
            return StepStatus::kDone;
        }
        expected.push_back(message);
    }
    bool exact = true;
    bool focus = false;
    std::string error;
    if (!ReadFlag(step.Node(), "exact", exact, error) || !ReadFlag(step.Node(), "focus", focus, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    const std::vector<KeyMessage> received(mKeys.begin() + static_cast<std::ptrdiff_t>(mKeysChecked),
                                           mKeys.end());
    mKeysChecked = mKeys.size();
    std::string receivedText;
    for (const KeyMessage& message : received)
    {
        receivedText += (receivedText.empty() ? "" : ", ") + message.Describe();
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        while (next < received.size() && !exact &&
               (received[next].down != expected[i].down || received[next].key != expected[i].key))
        {
            ++next;
        }
        if (next >= received.size() || received[next].down != expected[i].down ||
            received[next].key != expected[i].key)
        {
            step.Fail("key message " + std::to_string(i + 1) + " (" + expected[i].Describe() +
                      ") not received in order; received: [" + receivedText + "]");
            return StepStatus::kDone;
        }
        if (focus && !received[next].focused)
        {
            step.Fail("key message " + std::to_string(i + 1) + " (" + expected[i].Describe() +
                      ") arrived while the main window had no keyboard focus");
        }
        ++next;
    }
    if (exact && next != received.size())
    {
        step.Fail(std::to_string(received.size()) + " key message(s), expected " +
                  std::to_string(expected.size()) + "; received: [" + receivedText + "]");
    }
    if (focus && !MainWindowHasFocus())
    {
        step.Fail("the main window does not have the keyboard focus");
    }
    return StepStatus::kDone;
}

StepStatus PanelStage::Expect(Step& step, Check check)
{
    std::string problem;
    std::string error;
    const bool made = (this->*check)(step.Node(), problem, error);
    return step.Conclude(made, problem, error);
}

bool PanelStage::CheckReceived(const JsonNode& node, std::string& problem, std::string& error)
{
    JsonNode id;
    long long count = 1;
    if (!node.find("messageID", id) || !(id.is_string() || id.is_int()))
    {
        error = "needs \"messageID\", a string or an integer";
        return false;
    }
    if (!ReadNumber(node, "count", count, error))
    {
        return false;
    }
    const std::string wanted = id.is_string() ? id.to_string() : std::to_string(id.to_int64());
    long long found = 0;
    for (const std::string& message : mMessages)
    {
        found += PanelMessageID(message) == wanted ? 1 : 0;
    }
    if (found < count)
    {
        problem = std::to_string(found) + " message(s) with messageID " + "\"" + wanted + "\"" +
                  " received, " + "expected at least " + std::to_string(count) + " (" +
                  std::to_string(mMessages.size()) + " message(s) in all)";
    }
    return true;
}

bool PanelStage::CheckListeners(const JsonNode& node, std::string& problem, std::string& error)
{
    JsonNode type;
    long long count = -1;
    if (!node.find("type", type) || !type.is_string())
    {
        error = "needs \"type\", an event type";
        return false;
    }
    if (!ReadNumber(node, "count", count, error))
    {
        return false;
    }
    if (count < 0)
    {
        error = "needs \"count\", the number of listeners";
        return false;
    }
    LookForLibrary();
    if (mLibrary == nullptr || mCount == nullptr)
    {
        problem = mLibrary == nullptr ? "the event library is not loaded"
                                      : "the event library " + mLibraryName + " cannot count its listeners";
        return true;
    }
    const std::int32_t listeners = mCount(type.to_string().c_str());
    if (listeners != count)
    {
        problem = std::to_string(listeners) + " listener(s) for " + type.to_string() + ", expected " +
                  std::to_string(count);
    }
    return true;
}

bool PanelStage::CheckLaunched(const JsonNode& node, std::string& problem, std::string& error)
{
    bool launched = true;
    if (!ReadFlag(node, "launched", launched, error))
    {
        return false;
    }
    if ((mLaunches > 0) != launched)
    {
        problem = mLaunches > 0 ? std::string("the panel's launch event was dispatched")
                                : std::string("the panel's launch event was not dispatched");
    }
    return true;
}

void PanelStage::Register(ScenarioPlayer& player, SimSession& session,
                          const std::shared_ptr<PanelStage>& self)
{
    player.AddStep(
        "panel-send", [self](Step& step) { return self->Send(step); }, ScenarioPlayer::kCallsPlugins);
    player.AddStep("expect-panel-messages", [self](Step& step) { return self->ExpectMessages(step); });
    player.AddStep("expect-key-messages", [self](Step& step) { return self->ExpectKeys(step); });
    const std::pair<const char*, Check> checks[] = {
        {"expect-panel-received", &PanelStage::CheckReceived},
        {"expect-panel-listeners", &PanelStage::CheckListeners},
        {"expect-panel-launched", &PanelStage::CheckLaunched},
    };
    for (const auto& [name, check] : checks)
    {
        player.AddStep(name, [self, check = check](Step& step) { return self->Expect(step, check); });
        session.mConditions[name] =
            [self, check = check](const JsonNode& node, std::string& problem, std::string& error)
        { return ((*self).*check)(node, problem, error); };
    }
    player.AddTickHook([self] { self->LookForLibrary(); });
    player.AddFinisher([self] { self->Detach(); });
    SetKeyMessageHandler([self](unsigned message, unsigned key, bool focused)
                         { self->OnKeyMessage(message, key, focused); });
}
} // namespace

void RegisterPanelSteps(ScenarioPlayer& player, SimSession& session)
{
    auto stage = std::make_shared<PanelStage>(session.mHost);
    stage->Register(player, session, stage);
}
