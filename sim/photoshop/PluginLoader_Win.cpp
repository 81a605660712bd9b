#include "PluginLoader.h"

#include "GStringEncodings.h"

#include <windows.h>

#include <algorithm>

namespace
{
struct FoundFile
{
    std::wstring mPath;
    std::string mName; // below the plug-ins folder
};

void ListFiles(const std::wstring& folder, const std::string& prefix, std::vector<FoundFile>& files)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
    {
        return;
    }
    std::vector<std::pair<std::wstring, bool>> entries;
    do
    {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
        {
            entries.emplace_back(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(entries.begin(), entries.end());
    for (const auto& [name, isFolder] : entries)
    {
        const std::string utf8 = prefix + OSMakeUTF8StringFromOSString(name);
        if (!isFolder)
        {
            files.push_back(FoundFile{folder + L"\\" + name, utf8});
        }
        else if (name.front() != L'~') // Photoshop's convention for a folder it must not load
        {
            ListFiles(folder + L"\\" + name, utf8 + "\\", files);
        }
    }
}

// A resource name: an integer identifier, or a string when mText is not empty.
struct ResourceName
{
    WORD mId = 0;
    std::wstring mText;
};

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context)
{
    auto* names = reinterpret_cast<std::vector<ResourceName>*>(context);
    ResourceName found;
    if (IS_INTRESOURCE(name))
    {
        found.mId = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    }
    else
    {
        found.mText = name;
    }
    names->push_back(found);
    return TRUE;
}

LPCWSTR NamePointer(const ResourceName& name)
{
    return name.mText.empty() ? MAKEINTRESOURCEW(name.mId) : name.mText.c_str();
}

std::string NameText(const ResourceName& name)
{
    return name.mText.empty() ? std::to_string(name.mId)
                              : "\"" + OSMakeUTF8StringFromOSString(name.mText) + "\"";
}

struct FoundPlugin
{
    std::string mResource;
    PIPLPluginInfo mInfo;
};

// The automation plug-ins the file's PIPL resources describe; lines for the rest.
std::vector<FoundPlugin> ReadPIPLs(Transcript& transcript, const FoundFile& file)
{
    std::vector<FoundPlugin> plugins;
    HMODULE resources = LoadLibraryExW(file.mPath.c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (resources == nullptr)
    {
        transcript.Line("skip " + file.mName + ": not a module (LoadLibraryExW error " +
                        std::to_string(GetLastError()) + ")");
        return plugins;
    }
    std::vector<ResourceName> names;
    EnumResourceNamesW(resources, L"PIPL", CollectName, reinterpret_cast<LONG_PTR>(&names));
    if (names.empty())
    {
        transcript.Line("skip " + file.mName + ": no PIPL resource");
    }
    for (const ResourceName& name : names)
    {
        const std::string where = file.mName + ": PIPL " + NameText(name);
        HRSRC found = FindResourceW(resources, NamePointer(name), L"PIPL");
        HGLOBAL loaded = found != nullptr ? LoadResource(resources, found) : nullptr;
        const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
        if (bytes == nullptr)
        {
            transcript.Line("skip " + where + ": cannot be read (error " + std::to_string(GetLastError()) +
                            ")");
            continue;
        }
        PIPLResource resource;
        PIPLPluginInfo info;
        std::string error;
        if (ParsePIPL(static_cast<const std::uint8_t*>(bytes), SizeofResource(resources, found), resource,
                      error) != PIPLError::kNone ||
            ReadPluginInfo(resource, info, error) != PIPLError::kNone)
        {
            transcript.Line("skip " + where + ": " + error);
            continue;
        }
        transcript.Line("plugin " + where + ": " + DescribePluginInfo(info) + " (" +
                        std::to_string(resource.mProperties.size()) + " properties)");
        if (info.mKind != kPIPLKindAutomation)
        {
            transcript.Line("skip " + where + ": kind " + FormatCode(info.mKind) +
                            " is not an automation plug-in ('8LIZ')");
            continue;
        }
        plugins.push_back(FoundPlugin{NameText(name), info});
    }
    FreeLibrary(resources);
    return plugins;
}
} // namespace

std::size_t LoadPlugins(PhotoshopHost& host, const std::string& folder)
{
    Transcript& transcript = host.GetTranscript();
    const std::wstring wideFolder = OSMakeOSStringFromUTF8String(folder);
    const DWORD attributes = GetFileAttributesW(wideFolder.c_str());
    if (wideFolder.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    {
        transcript.Line("plug-ins folder '" + folder + "' not found");
        return 0;
    }
    std::vector<FoundFile> files;
    ListFiles(wideFolder, "", files);
    transcript.Line("plug-ins folder '" + folder + "': " + std::to_string(files.size()) + " file(s)");

    std::size_t loaded = 0;
    for (const FoundFile& file : files)
    {
        const std::vector<FoundPlugin> plugins = ReadPIPLs(transcript, file);
        if (plugins.empty())
        {
            continue;
        }
        HMODULE module = LoadLibraryW(file.mPath.c_str());
        if (module == nullptr)
        {
            transcript.Line("skip " + file.mName + ": LoadLibraryW error " + std::to_string(GetLastError()));
            continue;
        }
        for (const FoundPlugin& found : plugins)
        {
            const std::string name = plugins.size() > 1 ? file.mName + "#" + found.mResource : file.mName;
            FARPROC entry = GetProcAddress(module, found.mInfo.mEntryPoint.c_str());
            if (entry == nullptr)
            {
                transcript.Line("skip " + name + ": no exported entry point \"" + found.mInfo.mEntryPoint +
                                "\"");
                continue;
            }
            auto plugin = std::make_unique<HostPlugin>();
            plugin->mName = name;
            plugin->mPath = OSMakeUTF8StringFromOSString(file.mPath);
            plugin->mInfo = found.mInfo;
            plugin->mEntry = reinterpret_cast<AutoPluginEntry>(reinterpret_cast<void*>(entry));
            plugin->mModule = module;
            host.AddPlugin(std::move(plugin));
            transcript.Line("loaded " + name + ": entry \"" + found.mInfo.mEntryPoint + "\"");
            ++loaded;
        }
    }
    return loaded;
}
