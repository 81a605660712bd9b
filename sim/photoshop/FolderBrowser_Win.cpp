#include "FolderBrowser_Win.h"

#include "GStringEncodings.h"

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <set>
#include <vector>

namespace
{
std::string WindowText(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return OSMakeUTF8StringFromOSString(text);
}

std::string ClassName(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return OSMakeUTF8StringFromOSString(name);
}

std::string Quote(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text)
    {
        if (c == '"' || c == '\\')
        {
            quoted += '\\';
        }
        quoted += c == '\n' ? ' ' : c;
    }
    return quoted + "\"";
}

struct Search
{
    std::set<HWND>* seen;
    HWND found;
};

// A visible dialog of the thread holding a tree view: the folder browser once it is initialised
// (the browser shows itself only after its callback's BFFM_INITIALIZED has run).
BOOL CALLBACK FindBrowser(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    if (IsWindowVisible(window) && ClassName(window) == "#32770" && search->seen->count(window) == 0 &&
        FindWindowExW(window, nullptr, L"SysTreeView32", nullptr) != nullptr)
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindInstruction(HWND child, LPARAM parameter)
{
    auto* text = reinterpret_cast<std::string*>(parameter);
    if (ClassName(child) == "Static")
    {
        const std::string candidate = WindowText(child);
        if (!candidate.empty())
        {
            *text = candidate;
            return FALSE;
        }
    }
    return TRUE;
}

std::wstring ItemText(HWND tree, HTREEITEM item)
{
    wchar_t text[260] = {};
    TVITEMW data{};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = 260;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return text;
}

HTREEITEM Child(HWND tree, HTREEITEM item)
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM Next(HWND tree, HTREEITEM item)
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}

// Whether a tree item shows a path component: folders by name (case-insensitive), a drive "C:"
// also as "Something (C:)".
bool Shows(const std::wstring& text, const std::wstring& component)
{
    if (_wcsicmp(text.c_str(), component.c_str()) == 0)
    {
        return true;
    }
    return component.size() == 2 && component[1] == L':' && text.size() >= 4 &&
           _wcsicmp(text.substr(text.size() - 4).c_str(), (L"(" + component + L")").c_str()) == 0;
}

// The item below (expanding as it goes, at most depth levels down) that shows the component.
HTREEITEM FindBelow(HWND tree, HTREEITEM parent, const std::wstring& component, int depth)
{
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    for (HTREEITEM item = Child(tree, parent); item != nullptr; item = Next(tree, item))
    {
        if (Shows(ItemText(tree, item), component))
        {
            return item;
        }
    }
    if (depth > 1)
    {
        for (HTREEITEM item = Child(tree, parent); item != nullptr; item = Next(tree, item))
        {
            if (HTREEITEM found = FindBelow(tree, item, component, depth - 1))
            {
                return found;
            }
        }
    }
    return nullptr;
}

// Selects the folder in the browser's tree the way a user clicks through it: the drive somewhere
// below the top items (Desktop, My Computer), then each folder by name. False when a step is
// missing.
bool SelectInTree(HWND browser, const std::wstring& folder)
{
    HWND tree = FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr);
    std::vector<std::wstring> components;
    std::wstring component;
    for (const wchar_t c : folder + L"\\")
    {
        if (c == L'\\' || c == L'/')
        {
            if (!component.empty())
            {
                components.push_back(component);
            }
            component.clear();
        }
        else
        {
            component += c;
        }
    }
    if (tree == nullptr || components.empty())
    {
        return false;
    }
    HTREEITEM item = nullptr;
    for (HTREEITEM top = Child(tree, TVI_ROOT); top != nullptr && item == nullptr; top = Next(tree, top))
    {
        item = FindBelow(tree, top, components[0], 2);
    }
    for (std::size_t i = 1; item != nullptr && i < components.size(); ++i)
    {
        item = FindBelow(tree, item, components[i], 1);
    }
    if (item == nullptr)
    {
        return false;
    }
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    const auto selected = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    return selected == item;
}
} // namespace

FolderBrowserAnswer::FolderBrowserAnswer(const std::string& folder)
    : mFolder(folder), mThreadID(GetCurrentThreadId()), mWatcher([this] { Watch(); })
{
}

FolderBrowserAnswer::~FolderBrowserAnswer()
{
    Finish();
}

std::vector<std::string> FolderBrowserAnswer::Finish()
{
    mStop = true;
    if (mWatcher.joinable())
    {
        mWatcher.join();
    }
    std::lock_guard<std::mutex> lock(mMutex);
    return mLines;
}

void FolderBrowserAnswer::Watch()
{
    std::set<HWND> seen;
    const std::wstring folder = OSMakeOSStringFromUTF8String(mFolder);
    while (!mStop)
    {
        Search search{&seen, nullptr};
        EnumThreadWindows(mThreadID, FindBrowser, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        HWND browser = search.found;
        seen.insert(browser);
        std::string instruction;
        EnumChildWindows(browser, FindInstruction, reinterpret_cast<LPARAM>(&instruction));
        std::string line =
            "folder-browser title=" + Quote(WindowText(browser)) + " prompt=" + Quote(instruction);
        if (folder.empty())
        {
            PostMessageW(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            line += " -> cancelled";
        }
        else
        {
            // The browser runs on the UI thread; a message sent from here waits for its modal loop
            // (pointers are fine: one process). A folder the browser cannot reach is not replaced
            // by whatever it shows: cancelled.
            const bool selected = SelectInTree(browser, folder);
            PostMessageW(browser, WM_COMMAND, MAKEWPARAM(selected ? IDOK : IDCANCEL, BN_CLICKED), 0);
            line += " -> " + (selected ? Quote(mFolder) : "cancelled (cannot select " + Quote(mFolder) + ")");
        }
        std::lock_guard<std::mutex> lock(mMutex);
        mLines.push_back(line);
    }
}
