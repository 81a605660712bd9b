#include "DialogSuppression.h"

#include "DocumentEventHooks.h"
#include "GLogger.h"
#include "GStringEncodings.h"
#include "LPFInterface.h"
#include "PhotoshopFontUtils.h"
#include "PortolanGlobals.h"
#include "XCFUtils.h"

#include <algorithm>
#include <ctime>
#include <string>

namespace
{
// Photoshop's missing-fonts dialog in its languages: title and cancel button, searched in order.
constexpr const wchar_t* kDialogTitles[] = {
    L"Missing Fonts",   L"Fehlende Schriften", L"Polices manquantes",      L"Fuentes no disponibles",
    L"Fontes ausentes", L"Font mancanti",      L"\u30D5\u30A9\u30F3\u30C8"};
constexpr const wchar_t* kButtonTitles[] = {L"Cancel",
                                            L"Abbrechen",
                                            L"Annuler",
                                            L"Cancelar",
                                            L"Cancelar",
                                            L"Annulla",
                                            L"\u30AD\u30E3\u30F3\u30BB\u30EB"};

bool sSuppressionToggle = true;

// Framework strings fetched once: 644 is the text of Photoshop's missing-fonts message box.
CFStringRef sCachedStrings[4] = {};
constexpr TSInt32 kCachedStringNumbers[4] = {644, 650, 645, 646};

std::wstring WideOf(CFStringRef string)
{
    std::unique_ptr<UniChar[]> units = XCFStringCopyUTF16(string);
    std::wstring text;
    for (const UniChar* unit = units.get(); unit != nullptr && *unit != 0; ++unit)
    {
        text.push_back(static_cast<wchar_t>(*unit));
    }
    return text;
}

std::wstring WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

TUTF8String Utf8(const wchar_t* text)
{
    return text != nullptr ? OSMakeUTF8StringFromOSString(text) : TUTF8String("NULL");
}

struct ChildSearch
{
    const char* className;
    const wchar_t* text;
    HWND found;
};

BOOL CALLBACK FindChild(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<ChildSearch*>(parameter);
    char className[256] = {};
    GetClassNameA(window, className, sizeof(className));
    const bool classMatches = std::string(className).find(search->className) != std::string::npos;
    if (classMatches && WindowText(window).find(search->text) != std::wstring::npos)
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Only Photoshop's own windows: a "Missing Fonts" dialog of another program, or a browser tab
// whose title names Photoshop, is none of the plug-in's business.
BOOL CALLBACK AddTopLevelWindow(HWND window, LPARAM parameter)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId())
    {
        reinterpret_cast<std::vector<TopLevelWindow>*>(parameter)->push_back({window, WindowText(window)});
    }
    return TRUE;
}

BOOL CALLBACK FindChildWithText(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<ChildSearch*>(parameter);
    if (WindowText(window).find(search->text) != std::wstring::npos)
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

void PostKey(HWND window, WPARAM key)
{
    PostMessageW(window, WM_KEYDOWN, key, 0);
    PostMessageW(window, WM_KEYUP, key, 0);
}
} // namespace

HWND FindChildWindowWithThisClassAndText(HWND parent, const char* className, const wchar_t* text)
{
    TraceLog(1, "Entering %s(..., %s, %s)", "FindChildWindowWithThisClassAndText",
             className != nullptr ? className : "NULL", Utf8(text).c_str());
    ChildSearch search{className != nullptr ? className : "", text != nullptr ? text : L"", nullptr};
    EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&search));
    TraceLog(-1, "%s(..., %s, %s) returning 0x%08x", "FindChildWindowWithThisClassAndText",
             className != nullptr ? className : "NULL", Utf8(text).c_str(),
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(search.found)));
    return search.found;
}

std::vector<TopLevelWindow> SnapshotTopLevelWindows()
{
    std::vector<TopLevelWindow> windows;
    EnumWindows(AddTopLevelWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND FindWindowInSnapshot(const std::vector<TopLevelWindow>& windows, const wchar_t* title,
                          const wchar_t* text)
{
    // The search is PortolanGlobals::FindWindowWithMatchingTitle's, and logs as it.
    TraceLog(1, "Entering %s(%s, %s)", "PortolanGlobals::FindWindowWithMatchingTitle", Utf8(title).c_str(),
             Utf8(text).c_str());
    const wchar_t* wantedTitle = title != nullptr ? title : L"";
    const auto match = std::find_if(windows.begin(), windows.end(),
                                    [wantedTitle](const TopLevelWindow& entry)
                                    { return entry.title.find(wantedTitle) != std::wstring::npos; });
    if (match == windows.end())
    {
        return nullptr;
    }
    if (text != nullptr && text[0] != L'\0')
    {
        ChildSearch search{"", text, nullptr};
        EnumChildWindows(match->window, FindChildWithText, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr)
        {
            return nullptr;
        }
    }
    return match->window;
}

bool ForciblyCloseWindow(const wchar_t* title, const wchar_t* text, const wchar_t* buttonText, WPARAM key)
{
    return ForciblyCloseWindow(SnapshotTopLevelWindows(), title, text, buttonText, key);
}

bool ForciblyCloseWindow(const std::vector<TopLevelWindow>& windows, const wchar_t* title,
                         const wchar_t* text, const wchar_t* buttonText, WPARAM key)
{
    const HWND window = FindWindowInSnapshot(windows, title, text);
    if (window == nullptr)
    {
        return false;
    }
    TraceLog(0, "Forcibly closing HWND 0x%08x (title='%s', text='%s')",
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(window)), Utf8(title).c_str(),
             Utf8(text).c_str());
    PostKey(window, key);
    const HWND button = FindChildWindowWithThisClassAndText(window, "Button", buttonText);
    if (button != nullptr)
    {
        TraceLog(0, "Pressing button titled '%s'", OSMakeUTF8StringFromOSString(WindowText(button)).c_str());
        PostKey(button, key);
    }
    return true;
}

bool findAndSuppressAllUnwantedDialogs()
{
    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    if (!PortolanGlobals::IsPluginEnabled() || lpf == nullptr || !lpf->GetEnablePlugin())
    {
        return false;
    }
    TraceLog(1, "Entering %s()", "findAndSuppressAllUnwantedDialogs");
    for (std::size_t i = 0; i < 4; ++i)
    {
        if (sCachedStrings[i] == nullptr)
        {
            sCachedStrings[i] = lpf->CopyLocalizedString(kCachedStringNumbers[i]);
        }
    }
    // One pass over the top-level windows serves every title searched for.
    const std::vector<TopLevelWindow> windows = SnapshotTopLevelWindows();
    const std::wstring missingFontsText = WideOf(sCachedStrings[0]);
    bool result =
        ForciblyCloseWindow(windows, L"Adobe Photoshop C", missingFontsText.c_str(), L"", VK_RETURN);
    for (std::size_t row = 0; row < sizeof(kDialogTitles) / sizeof(kDialogTitles[0]); ++row)
    {
        if (ForciblyCloseWindow(windows, kDialogTitles[row], L"", kButtonTitles[row], VK_ESCAPE))
        {
            result = true;
            break;
        }
    }
    TraceLog(-1, "Exiting %s()", "findAndSuppressAllUnwantedDialogs");
    return result;
}

void DecideDialogSuppression()
{
    TUInt32 activeID = 0;
    PhotoshopFontUtils::GetActiveDocumentID(activeID);
    TrackedDocumentPtr record = AllTrackedDocuments::FindTrackedDocumentByHandle(activeID);
    if (record == nullptr || record->HasMissingFonts())
    {
        TraceLog(0, "Not suppressing because this document has missing fonts.");
        return;
    }
    CFArrayRef problems = record->GetProblemFonts();
    if (problems != nullptr && CFArrayGetCount(problems) > 0)
    {
        TraceLog(0, "Not suppressing because this document has unresolved font problems.");
        return;
    }
    const bool opening = DocumentEvents::IsDocumentBeingOpened(record);
    const TSInt64 now = static_cast<TSInt64>(std::time(nullptr));
    if (!opening && sSuppressionToggle)
    {
        TraceLog(0, "Not suppressing because this document is not in the process of being opened.");
        return;
    }
    if (opening && sSuppressionToggle)
    {
        sSuppressionToggle = false;
        DocumentEvents::SetTimerGate(now + 2);
        return;
    }
    sSuppressionToggle = true;
    if (!findAndSuppressAllUnwantedDialogs())
    {
        DocumentEvents::SetTimerGate(now + 5);
    }
}
