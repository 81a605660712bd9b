// A test plug-in that follows Photoshop's documents the way an auto-activation plug-in does: it
// registers the 'Mk  ', 'Cls ' and 'save' notifications and asks Photoshop about its documents
// through Get. What it sees goes, one line per observation, into the file named by
// TEST_PLUGIN_LOG. "Do It" does what 'Oper' says:
//   1  list the documents: the count ('NmbD' of the application), then by index each one's
//      'DocI', 'Ttl ' and 'FilR', then the active document's 'DocI'
//   3  run the script 'Scrp' through the JavaScript scripting suite
//   4  play "updateLayouts" and "replaceSubstitutes" silently (results in 'UpdL' and 'RplS')
//   5  close this process's missing-fonts windows with posted key presses (Escape to the
//      "Missing Fonts" dialog and its "Cancel" button, Return to the message box and its button)
//   6  write 'Text' into the file 'Path' and broadcast WM_FONTCHANGE (what the font manager's
//      core does after activating fonts)

#include "HostInterface.h"

#include <windows.h>
#undef GetObject // the descriptor suite member, not the GDI macro

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
constexpr DescriptorKeyID kKeyOper = FourCharCode("Oper");
constexpr DescriptorClassID kClassDocument = FourCharCode("Dcmn");
constexpr DescriptorClassID kClassApplication = FourCharCode("capp");
constexpr DescriptorKeyID kKeyDocumentID = FourCharCode("DocI");
constexpr DescriptorKeyID kKeyTitle = FourCharCode("Ttl ");
constexpr DescriptorKeyID kKeyFile = FourCharCode("FilR");
constexpr DescriptorKeyID kKeyCount = FourCharCode("NmbD");

SPBasicSuite* sBasic = nullptr;

void Log(const std::string& line)
{
    const char* path = std::getenv("TEST_PLUGIN_LOG");
    if (path == nullptr || *path == '\0')
    {
        return;
    }
    if (std::FILE* file = std::fopen(path, "ab"))
    {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

std::string UTF8(const std::wstring& wide)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr,
                        nullptr);
    return text;
}

std::wstring Wide(const std::string& text, UINT codePage)
{
    const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// The suites of one call, released when it ends.
class Suites
{
public:
    explicit Suites(SPBasicSuite* basic) : mBasic(basic)
    {
        mControl = Acquire<ActionControlTable>(kActionControlSuiteName, 2);
        mDescriptor = Acquire<ActionDescriptorTable>(kActionDescriptorSuiteName, 2);
        mReference = Acquire<ActionReferenceTable>(kActionReferenceSuiteName, 2);
        mHandle = Acquire<HandleTable2>(kHandleSuiteName, 2);
    }
    ~Suites()
    {
        for (const auto& [name, version] : mAcquired)
        {
            mBasic->ReleaseSuite(name, version);
        }
    }
    Suites(const Suites&) = delete;
    Suites& operator=(const Suites&) = delete;

    bool Ready() const { return mControl && mDescriptor && mReference && mHandle; }

    // Get of a property (0: the whole object) of the target object (index 0) or of a document by
    // index. The result descriptor is the caller's.
    OSErr Get(DescriptorClassID objectClass, std::uint32_t index, DescriptorKeyID key,
              PIActionDescriptor* result)
    {
        PIActionReference reference = nullptr;
        mReference->Make(&reference);
        if (key != 0)
        {
            mReference->PutProperty(reference, FourCharCode("Prpr"), key);
        }
        if (index == 0)
        {
            mReference->PutEnumerated(reference, objectClass, FourCharCode("Ordn"), FourCharCode("Trgt"));
        }
        else
        {
            mReference->PutIndex(reference, objectClass, index);
        }
        *result = nullptr;
        const OSErr error = mControl->Get(result, reference);
        mReference->Free(reference);
        return error;
    }

    OSErr GetInteger(DescriptorClassID objectClass, std::uint32_t index, DescriptorKeyID key,
                     std::int32_t& value)
    {
        PIActionDescriptor result = nullptr;
        OSErr error = Get(objectClass, index, key, &result);
        if (error == 0)
        {
            error = mDescriptor->GetInteger(result, key, &value);
        }
        Free(result);
        return error;
    }

    OSErr GetText(DescriptorClassID objectClass, std::uint32_t index, DescriptorKeyID key, std::string& value)
    {
        PIActionDescriptor result = nullptr;
        OSErr error = Get(objectClass, index, key, &result);
        if (error == 0)
        {
            error = Text(result, key, value);
        }
        Free(result);
        return error;
    }

    OSErr Text(PIActionDescriptor descriptor, DescriptorKeyID key, std::string& value)
    {
        std::uint32_t length = 0;
        OSErr error = mDescriptor->GetStringLength(descriptor, key, &length);
        std::vector<char> buffer(length + 1, '\0');
        if (error == 0)
        {
            error = mDescriptor->GetString(descriptor, key, buffer.data(), length + 1);
        }
        value = buffer.data();
        return error;
    }

    // The path of an alias key, read as the plug-in reads it: the narrow copy when it names a
    // file, else the UTF-16 copy. How says which one it was.
    OSErr AliasPath(PIActionDescriptor descriptor, DescriptorKeyID key, std::string& path, std::string& how)
    {
        Handle alias = nullptr;
        const OSErr error = mDescriptor->GetAlias(descriptor, key, &alias);
        if (error != 0)
        {
            return error;
        }
        char* data = nullptr;
        mHandle->SetLock(alias, 1, &data, nullptr);
        const std::size_t size = static_cast<std::size_t>(mHandle->GetSize(alias));
        const std::string bytes(data, size);
        mHandle->SetLock(alias, 0, &data, nullptr);
        mHandle->Dispose(alias);

        const std::string narrow = bytes.substr(0, bytes.find('\0'));
        std::wstring wide;
        for (std::size_t at = (narrow.size() + 2) & ~std::size_t(1); at + 1 < size; at += 2)
        {
            const wchar_t unit = static_cast<wchar_t>(static_cast<unsigned char>(bytes[at]) |
                                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
            if (unit == 0)
            {
                break;
            }
            wide += unit;
        }
        if (GetFileAttributesA(narrow.c_str()) != INVALID_FILE_ATTRIBUTES)
        {
            path = UTF8(Wide(narrow, CP_ACP));
            how = "narrow copy names it";
        }
        else
        {
            path = UTF8(wide);
            how = "narrow copy \"" + UTF8(Wide(narrow, CP_ACP)) + "\" names no file";
        }
        return 0;
    }

    void Free(PIActionDescriptor descriptor)
    {
        if (descriptor != nullptr)
        {
            mDescriptor->Free(descriptor);
        }
    }

    ActionControlTable* mControl = nullptr;
    ActionDescriptorTable* mDescriptor = nullptr;
    ActionReferenceTable* mReference = nullptr;
    HandleTable2* mHandle = nullptr;

private:
    template <typename Suite>
    Suite* Acquire(const char* name, std::int32_t version)
    {
        const void* suite = nullptr;
        if (mBasic->AcquireSuite(name, version, &suite) != kHostNoError)
        {
            return nullptr;
        }
        mAcquired.emplace_back(name, version);
        return static_cast<Suite*>(const_cast<void*>(suite));
    }

    SPBasicSuite* mBasic;
    std::vector<std::pair<const char*, std::int32_t>> mAcquired;
};

void Notified(DescriptorEventID event, PIActionDescriptor descriptor, std::int32_t, void*)
{
    Suites suites(sBasic);
    if (!suites.Ready())
    {
        Log("notify: suites missing");
        return;
    }
    std::int32_t id = 0;
    if (event == FourCharCode("Mk  "))
    {
        DescriptorClassID made = 0;
        PIActionDescriptor object = nullptr;
        const OSErr error = suites.mDescriptor->GetObject(descriptor, FourCharCode("Nw  "), &made, &object);
        suites.Free(object);
        const OSErr activeError = suites.GetInteger(kClassDocument, 0, kKeyDocumentID, id);
        Log("notify Mk: new object " + std::string(error == 0 && made == kClassDocument ? "Dcmn" : "?") +
            ", active DocI " +
            (activeError == 0 ? std::to_string(id) : "error " + std::to_string(activeError)));
    }
    else if (event == FourCharCode("Cls "))
    {
        std::int32_t count = -1;
        suites.mDescriptor->GetInteger(descriptor, kKeyDocumentID, &id);
        suites.GetInteger(kClassApplication, 0, kKeyCount, count);
        Log("notify Cls: DocI " + std::to_string(id) + ", " + std::to_string(count) + " document(s) left");
    }
    else if (event == FourCharCode("save"))
    {
        std::string path;
        std::string how;
        suites.mDescriptor->GetInteger(descriptor, kKeyDocumentID, &id);
        const OSErr error = suites.AliasPath(descriptor, FourCharCode("In  "), path, how);
        Log("notify save: DocI " + std::to_string(id) + ", In " +
            (error == 0 ? "\"" + path + "\"" : "error " + std::to_string(error)));
    }
}

SPErr Startup(SPMessageData* message)
{
    sBasic = message->basic;
    Suites suites(message->basic);
    if (!suites.Ready())
    {
        return kHostBadParameter;
    }
    OSErr error = 0;
    for (const char* event : {"Mk  ", "Cls ", "save"})
    {
        DescriptorEventID code = 0;
        suites.mControl->StringIDToTypeID(event, &code);
        error = error != 0 ? error : suites.mControl->AddNotify(message->self, code, Notified, nullptr);
    }
    return error;
}

SPErr Shutdown(SPMessageData* message)
{
    Suites suites(message->basic);
    if (!suites.Ready())
    {
        return kHostBadParameter;
    }
    for (const char* event : {"Mk  ", "Cls ", "save"})
    {
        DescriptorEventID code = 0;
        suites.mControl->StringIDToTypeID(event, &code);
        suites.mControl->RemoveNotify(message->self, code);
    }
    return kHostNoError;
}

void ListDocuments(Suites& suites, PIActionDescriptor answer)
{
    std::int32_t count = 0;
    OSErr error = suites.GetInteger(kClassApplication, 0, kKeyCount, count);
    Log(error == 0 ? "documents " + std::to_string(count) : "documents: error " + std::to_string(error));
    for (std::int32_t index = 1; index <= count; ++index)
    {
        const std::uint32_t at = static_cast<std::uint32_t>(index);
        std::int32_t id = 0;
        std::string title;
        std::string line = "document " + std::to_string(index) + ":";
        error = suites.GetInteger(kClassDocument, at, kKeyDocumentID, id);
        line += error == 0 ? " DocI " + std::to_string(id) : " DocI error " + std::to_string(error);
        error = suites.GetText(kClassDocument, at, kKeyTitle, title);
        line += error == 0 ? " Ttl \"" + title + "\"" : " Ttl error " + std::to_string(error);
        PIActionDescriptor result = nullptr;
        error = suites.Get(kClassDocument, at, kKeyFile, &result);
        std::string path;
        std::string how;
        if (error == 0)
        {
            error = suites.AliasPath(result, kKeyFile, path, how);
        }
        suites.Free(result);
        line += error == 0 ? " FilR \"" + path + "\" (" + how + ")" : " FilR error " + std::to_string(error);
        Log(line);
    }
    std::int32_t active = 0;
    error = suites.GetInteger(kClassDocument, 0, kKeyDocumentID, active);
    Log(error == 0 ? "active DocI " + std::to_string(active) : "active: error " + std::to_string(error));
    suites.mDescriptor->PutInteger(answer, kKeyCount, count);
    suites.mDescriptor->PutInteger(answer, FourCharCode("ActI"), error == 0 ? active : error);
}

void RunScript(Suites& suites, PIActionDescriptor answer)
{
    std::string script = "app.activeDocument.name";
    suites.Text(answer, FourCharCode("Scrp"), script);
    const std::wstring wide = Wide(script, CP_UTF8);
    const void* table = nullptr;
    SPErr error = sBasic->AcquireSuite(kScriptingSuiteName, 3, &table);
    if (error == kHostNoError)
    {
        const auto* scripting = static_cast<const ScriptingTable*>(table);
        JSEngineRef engine = nullptr;
        error = scripting->CreateEngine(&engine);
        const ASUnicode* result = nullptr;
        if (error == kHostNoError)
        {
            error = scripting->ExecuteScript(engine, reinterpret_cast<const ASUnicode*>(wide.c_str()), 1,
                                             &result);
            scripting->DeleteEngine(engine);
        }
        sBasic->ReleaseSuite(kScriptingSuiteName, 3);
    }
    suites.mDescriptor->PutInteger(answer, FourCharCode("Rslt"), error);
}

void PlayReplacement(Suites& suites, PIActionDescriptor answer)
{
    const std::pair<const char*, DescriptorKeyID> events[] = {{"updateLayouts", FourCharCode("UpdL")},
                                                              {"replaceSubstitutes", FourCharCode("RplS")}};
    for (const auto& [event, key] : events)
    {
        DescriptorEventID id = 0;
        suites.mControl->StringIDToTypeID(event, &id);
        PIActionDescriptor result = nullptr;
        const OSErr error = suites.mControl->Play(&result, id, nullptr, kDialogSilent);
        suites.Free(result);
        suites.mDescriptor->PutInteger(answer, key, error);
    }
}

std::wstring WindowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

struct Search
{
    std::wstring mText;
    bool mButtonsOnly = false;
    HWND mFound = nullptr;
};

BOOL CALLBACK FindOwnWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && WindowText(window).find(search->mText) != std::wstring::npos)
    {
        search->mFound = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindChild(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    wchar_t windowClass[64] = {};
    GetClassNameW(window, windowClass, 64);
    if ((!search->mButtonsOnly || std::wstring(windowClass).find(L"Button") != std::wstring::npos) &&
        WindowText(window).find(search->mText) != std::wstring::npos)
    {
        search->mFound = window;
        return FALSE;
    }
    return TRUE;
}

void PostKey(HWND window, WPARAM key)
{
    PostMessageW(window, WM_KEYDOWN, key, 0);
    PostMessageW(window, WM_KEYUP, key, 0);
}

// Posts the key to the window with the title and (when given) a child with the text, and to its
// button with the button text. True when the window was there.
bool Dismiss(const wchar_t* title, const wchar_t* text, const wchar_t* button, WPARAM key)
{
    Search top{title};
    EnumWindows(FindOwnWindow, reinterpret_cast<LPARAM>(&top));
    if (top.mFound == nullptr)
    {
        return false;
    }
    Search child{text};
    if (*text != L'\0')
    {
        EnumChildWindows(top.mFound, FindChild, reinterpret_cast<LPARAM>(&child));
        if (child.mFound == nullptr)
        {
            return false;
        }
    }
    PostKey(top.mFound, key);
    Search pressed{button, true};
    EnumChildWindows(top.mFound, FindChild, reinterpret_cast<LPARAM>(&pressed));
    if (pressed.mFound != nullptr)
    {
        PostKey(pressed.mFound, key);
    }
    return true;
}

void DismissAlerts(Suites& suites, PIActionDescriptor answer)
{
    int closed =
        Dismiss(L"Adobe Photoshop C", L"Some text layers contain fonts that are missing.", L"", VK_RETURN);
    closed += Dismiss(L"Missing Fonts", L"", L"Cancel", VK_ESCAPE);
    suites.mDescriptor->PutInteger(answer, FourCharCode("Clsd"), closed);
}

void WriteFontTable(Suites& suites, PIActionDescriptor answer)
{
    std::string path;
    std::string text;
    bool written = suites.Text(answer, FourCharCode("Path"), path) == 0 &&
                   suites.Text(answer, FourCharCode("Text"), text) == 0;
    if (written)
    {
        HANDLE file = CreateFileW(Wide(path, CP_UTF8).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD done = 0;
        written = file != INVALID_HANDLE_VALUE &&
                  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr) &&
                  done == text.size();
        if (file != INVALID_HANDLE_VALUE)
        {
            CloseHandle(file);
        }
    }
    if (written)
    {
        PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
    }
    suites.mDescriptor->PutBoolean(answer, FourCharCode("Wrtn"), written ? 1 : 0);
}

SPErr DoIt(AutomationMessage* message)
{
    if (message->actionParameters == nullptr || message->actionParameters->descriptor == nullptr)
    {
        return kHostBadParameter;
    }
    Suites suites(message->d.basic);
    if (!suites.Ready())
    {
        return kHostBadParameter;
    }
    PIActionDescriptor answer = message->actionParameters->descriptor;
    std::int32_t oper = 0;
    suites.mDescriptor->GetInteger(answer, kKeyOper, &oper);
    suites.mDescriptor->Erase(answer, kKeyOper);
    switch (oper)
    {
    case 1:
        ListDocuments(suites, answer);
        break;
    case 3:
        RunScript(suites, answer);
        break;
    case 4:
        PlayReplacement(suites, answer);
        break;
    case 5:
        DismissAlerts(suites, answer);
        break;
    case 6:
        WriteFontTable(suites, answer);
        break;
    default:
        return kHostBadParameter;
    }
    return kHostNoError;
}
} // namespace

extern "C" __declspec(dllexport) SPErr AutoPluginMain(const char* caller, const char* selector, void* message)
{
    auto* data = static_cast<SPMessageData*>(message);
    if (data == nullptr || data->SPCheck != kSPCheckValue)
    {
        return kHostBadParameter;
    }
    SPBasicSuite* basic = data->basic;
    if (basic->IsEqual(caller, kInterfaceCaller))
    {
        if (basic->IsEqual(selector, kStartupSelector))
        {
            return Startup(data);
        }
        if (basic->IsEqual(selector, kShutdownSelector))
        {
            return Shutdown(data);
        }
        return kHostNoError;
    }
    if (basic->IsEqual(caller, kPhotoshopCaller) && basic->IsEqual(selector, kDoItSelector))
    {
        return DoIt(static_cast<AutomationMessage*>(message));
    }
    return kHostNoError;
}
