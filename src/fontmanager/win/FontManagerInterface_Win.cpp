#include "FontManagerInterface.h"
#include "GCFRef.h"
#include "GLogger.h"
#include "GStringEncodings.h"
#include "LPFInterface.h"
#include "PortolanGlobals.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{
enum : TSInt32
{
    kDefaultSubFolderNameString = 454,
};
constexpr const char* kDefaultCollectPrompt =
    "Choose the destination for collecting fonts.  Collected fonts will be placed in a sub-folder there.";
constexpr DWORD kPluginPathLength = 1024;

// Puts a name into a localized format at its first "%@" or "%s"; a format without one stays as it
// is. The format comes from a resource and is never handed to a printf-style function.
TUTF8String ApplyNameFormat(const TUTF8String& format, const TUTF8String& name)
{
    for (const char* placeholder : {"%@", "%s"})
    {
        const std::size_t position = format.find(placeholder);
        if (position != TUTF8String::npos)
        {
            return format.substr(0, position) + name + format.substr(position + 2);
        }
    }
    return format;
}

struct BrowseContext
{
    std::wstring title;
    std::wstring initialFolder;
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data)
{
    if (message != BFFM_INITIALIZED)
    {
        return 0;
    }
    const auto* context = reinterpret_cast<const BrowseContext*>(data);
    if (!context->title.empty())
    {
        SetWindowTextW(window, context->title.c_str());
    }
    const DWORD attributes = context->initialFolder.empty()
                                 ? INVALID_FILE_ATTRIBUTES
                                 : GetFileAttributesW(context->initialFolder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE,
                     reinterpret_cast<LPARAM>(context->initialFolder.c_str()));
    }
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
    return 0;
}

HMODULE PluginModule()
{
    if (void* instance = PortolanGlobals::GetModuleInstance())
    {
        return static_cast<HMODULE>(instance);
    }
    HMODULE module = nullptr;
    static const int sAnchor = 0;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&sAnchor), &module);
    return module;
}
} // namespace

TSInt32 FontManagerInterface::ShowSaveFolderDialog(const char* documentName, TUTF8String& inOutSavePath,
                                                   const char* windowTitle, const char* promptFormat,
                                                   const char* subFolderNameFormat)
{
    TraceLog(1, "Entering ShowSaveFolderDialog(..., initial path \"%s\")", inOutSavePath.c_str());
    TUTF8String subFolderName;
    if (documentName != nullptr && *documentName != '\0' && subFolderNameFormat != nullptr)
    {
        subFolderName = ApplyNameFormat(subFolderNameFormat, documentName);
    }
    else if (LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface())
    {
        const GCFRef<CFStringRef> defaultName(framework->CopyLocalizedString(kDefaultSubFolderNameString));
        subFolderName = UTF8StringFromCFString(defaultName.Get());
    }
    const TUTF8String prompt = promptFormat != nullptr && !subFolderName.empty()
                                   ? ApplyNameFormat(promptFormat, subFolderName)
                                   : TUTF8String(kDefaultCollectPrompt);

    BrowseContext context;
    context.title = OSMakeOSStringFromUTF8String(windowTitle != nullptr ? windowTitle : "");
    context.initialFolder = OSMakeOSStringFromUTF8String(inOutSavePath);
    const std::wstring widePrompt = OSMakeOSStringFromUTF8String(prompt);

    const HRESULT comResult = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BROWSEINFOW browseInfo{};
    browseInfo.hwndOwner = static_cast<HWND>(PortolanGlobals::FindHostMainWindow());
    browseInfo.lpszTitle = widePrompt.c_str();
    browseInfo.ulFlags = BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS;
    browseInfo.lpfn = BrowseCallback;
    browseInfo.lParam = reinterpret_cast<LPARAM>(&context);
    TSInt32 result = -1;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browseInfo);
    if (chosen != nullptr)
    {
        wchar_t folder[MAX_PATH] = {};
        if (SHGetPathFromIDListW(chosen, folder))
        {
            inOutSavePath = OSMakeUTF8StringFromOSString(folder) + "\\" + subFolderName;
            result = 0;
        }
        else
        {
            TraceLog(0, "*** UH-OH, SHGetPathFromIDList returned NULL.");
        }
        CoTaskMemFree(chosen);
    }
    else
    {
        TraceLog(0, "SHBrowseForFolder returned NULL.  Hopefully that means the user cancelled.");
    }
    if (SUCCEEDED(comResult))
    {
        CoUninitialize();
    }
    TraceLog(-1, "Exiting ShowSaveFolderDialog, returning %d, with inOutSavePath = \"%s\"", result,
             inOutSavePath.c_str());
    return result;
}

CFStringRef FontManagerInterface::StringValueFromVersionResourceCopy(const char* fieldName)
{
    const TUTF8String field = fieldName != nullptr ? fieldName : "";
    TraceLog(1, "Entering StringValueFromVersionResourceCopy(fieldName \"%s\")", field.c_str());
    HMODULE module = PluginModule();
    std::vector<wchar_t> path(kPluginPathLength, L'\0');
    const DWORD length = GetModuleFileNameW(module, path.data(), kPluginPathLength);
    const bool truncated = length >= kPluginPathLength - 1;
    if (truncated)
    {
        TraceLog(0, "*** ERROR:  Buffer not large enough for plugin DLL file path!");
    }
    TraceLog(0, "Plugin DLL file path corresponding to handle 0x%08x%s:",
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(module)),
             truncated ? " (TRUNCATED!!!)" : "");

    CFStringRef value = nullptr;
    DWORD handle = 0;
    const DWORD size = length == 0 ? 0 : GetFileVersionInfoSizeW(path.data(), &handle);
    if (size == 0)
    {
        TraceLog(0, "*** Error:  GetFileVersionInfoSize returned 0.\n");
    }
    else
    {
        TraceLog(0, "Got version resource info of size %d bytes.", static_cast<int>(size));
        std::vector<BYTE> versionInfo(size);
        if (!GetFileVersionInfoW(path.data(), handle, size, versionInfo.data()))
        {
            TraceLog(0, "*** Error:  GetFileVersionInfo returned FALSE for DLL file, version info size %d.",
                     static_cast<int>(size));
        }
        else
        {
            const std::wstring query = L"\\StringFileInfo\\040904b0\\" + OSMakeOSStringFromUTF8String(field);
            LPVOID data = nullptr;
            UINT dataLength = 0;
            if (!VerQueryValueW(versionInfo.data(), query.c_str(), &data, &dataLength))
            {
                TraceLog(0, "*** Error:  VerQueryValue returned FALSE for '%s' field in version info.",
                         field.c_str());
            }
            else if (data == nullptr || dataLength == 0 || *static_cast<const wchar_t*>(data) == L'\0')
            {
                TraceLog(
                    0,
                    "*** ERROR: Empty or NULL field data from VerQueryValue for '%s' field in version info.",
                    field.c_str());
            }
            else
            {
                value = CreateCFStringFromUTF8String(
                    OSMakeUTF8StringFromOSString(static_cast<const wchar_t*>(data)));
            }
        }
    }
    TraceLog(-1, "StringValueFromVersionResourceCopy() returning '%s'",
             UTF8StringFromCFString(value).c_str());
    return value;
}
