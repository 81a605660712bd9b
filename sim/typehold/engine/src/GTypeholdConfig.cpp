#include "GTypeholdConfig.h"

#include "Json.h"
#include "LumorandPluginInterface.h"

#include <stdexcept>

namespace typehold
{
namespace
{
// Reads of optional members that throw std::runtime_error for a value of the wrong type.
bool ReadBool(const JsonNode& object, const char* key, bool& value)
{
    JsonNode node;
    if (!object.find(key, node))
    {
        return false;
    }
    value = node.to_bool();
    return true;
}

void ReadInt(const JsonNode& object, const char* key, TSInt32& value)
{
    JsonNode node;
    if (object.find(key, node))
    {
        value = node.to_int();
    }
}

void ReadUInt(const JsonNode& object, const char* key, TUInt32& value)
{
    JsonNode node;
    if (object.find(key, node))
    {
        const TSInt32 number = node.to_int();
        if (number < 0)
        {
            throw std::runtime_error(std::string("\"") + key + "\" must not be negative");
        }
        value = static_cast<TUInt32>(number);
    }
}

void ReadString(const JsonNode& object, const char* key, std::string& value)
{
    JsonNode node;
    if (object.find(key, node))
    {
        value = node.to_string();
    }
}

void ReadStrings(const JsonNode& object, const char* key, std::vector<std::string>& values)
{
    JsonNode node;
    if (object.find(key, node))
    {
        values.clear();
        for (const JsonNode& element : node.to_array())
        {
            values.push_back(element.to_string());
        }
    }
}

void RequireObject(const JsonNode& node)
{
    if (!node.is_map())
    {
        throw std::runtime_error("\"" + node.name() + "\" must be an object");
    }
}

GWorkgroupConfig ReadWorkgroup(const JsonNode& node, GWorkgroupConfig workgroup)
{
    RequireObject(node);
    ReadInt(node, "id", workgroup.id);
    ReadString(node, "name", workgroup.name);
    ReadInt(node, "type", workgroup.type);
    ReadStrings(node, "fonts", workgroup.fontPatterns);
    ReadStrings(node, "folders", workgroup.folders);
    ReadBool(node, "canExport", workgroup.canExport);
    return workgroup;
}

TUInt32 InitFailureCode(const std::string& name)
{
    if (name.empty() || name == "none")
    {
        return 0;
    }
    if (name == "agentNotFound")
    {
        return kLPIAgentNotFound;
    }
    if (name == "wrongMode")
    {
        return kLPIAgentRunningInWrongMode;
    }
    if (name == "vaultInUse")
    {
        return kLPIVaultInUse;
    }
    if (name == "invalidVault")
    {
        return kLPIInvalidVault;
    }
    throw std::runtime_error("unknown InitThreadInstance failure \"" + name + "\"");
}

void Read(const JsonNode& root, GCoreConfig& config)
{
    RequireObject(root);
    ReadStrings(root, "fontFolders", config.fontFolders);

    GWorkgroupConfig system{2, "System Fonts", kWorkgroupTypeSystem, {}, {MachineFontFolder()}, true};
    JsonNode node;
    if (root.find("systemFonts", node))
    {
        if (node.is_bool())
        {
            config.hasSystemWorkgroup = node.to_bool();
            config.systemWorkgroup = system;
        }
        else
        {
            config.hasSystemWorkgroup = true;
            config.systemWorkgroup = ReadWorkgroup(node, system);
            config.systemWorkgroup.type = kWorkgroupTypeSystem;
        }
    }

    config.workgroups.clear();
    if (root.find("workgroups", node))
    {
        for (const JsonNode& element : node.to_array())
        {
            config.workgroups.push_back(ReadWorkgroup(element, GWorkgroupConfig{}));
        }
    }
    else
    {
        config.workgroups.push_back(GWorkgroupConfig{1, "Font Library", kWorkgroupTypeLibrary, {}, {}, true});
    }
    if (root.find("typekitLibrary", node))
    {
        config.hasTypekitLibrary = true;
        config.typekitLibrary =
            ReadWorkgroup(node, GWorkgroupConfig{12, "Typekit", kWorkgroupTypeTypekit, {}, {}, false});
        config.typekitLibrary.type = kWorkgroupTypeTypekit;
    }

    if (root.find("user", node))
    {
        RequireObject(node);
        ReadBool(node, "loggedIn", config.loggedIn);
        ReadInt(node, "serverType", config.serverType);
    }
    ReadBool(root, "standalone", config.standalone);
    ReadBool(root, "online", config.online);
    if (root.find("permissions", node))
    {
        RequireObject(node);
        ReadBool(node, "activateAcrossWorkgroups", config.canActivateAcrossWorkgroups);
    }
    if (root.find("googleWebFonts", node))
    {
        RequireObject(node);
        ReadBool(node, "enabled", config.googleWebFontsEnabled);
        ReadBool(node, "canAccess", config.canAccessGoogleFonts);
        ReadString(node, "folder", config.googleFontsFolder);
        ReadUInt(node, "stepDelayMs", config.googleStepDelayMs);
    }
    ReadBool(root, "schemaInSync", config.schemaInSync);
    if (root.find("initThreadInstance", node))
    {
        RequireObject(node);
        std::string failure;
        ReadString(node, "failure", failure);
        config.initThreadFailure = InitFailureCode(failure);
        ReadString(node, "vaultPath", config.vaultPath);
    }
    ReadUInt(root, "startupDelayMs", config.startupDelayMs);
    ReadInt(root, "replicationMode", config.replicationMode);
    ReadStrings(root, "designNonCompliant", config.designNonCompliant);
    if (root.find("callDelayMs", node))
    {
        RequireObject(node);
        for (const JsonNode& member : node.members())
        {
            TUInt32 delay = 0;
            ReadUInt(node, member.name().c_str(), delay);
            config.callDelayMs[member.name()] = delay;
        }
    }
}

// The folder without a trailing separator, lower-cased, with one kind of separator.
std::string FolderKey(const std::string& folder)
{
    std::string key;
    for (char c : folder)
    {
        if (c == '/' || c == '\\')
        {
            c = '/';
        }
        else if (c >= 'A' && c <= 'Z')
        {
            c = static_cast<char>(c - 'A' + 'a');
        }
        key.push_back(c);
    }
    while (key.size() > 1 && key.back() == '/')
    {
        key.pop_back();
    }
    return key;
}
} // namespace

std::string MachineFontFolder()
{
#ifdef _WIN32
    return "Z:\\usr\\share\\fonts";
#else
    return "/usr/share/fonts";
#endif
}

bool ParseCoreConfig(const std::string& json, GCoreConfig& config, std::string& error)
{
    try
    {
        JsonParser parser;
        parser.parse(json);
        GCoreConfig parsed;
        Read(parser.root(), parsed);
        config = std::move(parsed);
        return true;
    }
    catch (const std::exception& exception)
    {
        error = exception.what();
        for (char& c : error)
        {
            if (c == '\n' || c == '\r')
            {
                c = ' ';
            }
        }
        return false;
    }
}

std::vector<std::string> GCoreConfig::CatalogFolders() const
{
    std::vector<std::string> candidates = fontFolders;
    for (const GWorkgroupConfig& workgroup : workgroups)
    {
        candidates.insert(candidates.end(), workgroup.folders.begin(), workgroup.folders.end());
    }
    if (hasTypekitLibrary)
    {
        candidates.insert(candidates.end(), typekitLibrary.folders.begin(), typekitLibrary.folders.end());
    }
    if (hasSystemWorkgroup)
    {
        candidates.insert(candidates.end(), systemWorkgroup.folders.begin(), systemWorkgroup.folders.end());
    }
    // A folder inside another one is scanned with it.
    std::vector<std::string> folders;
    for (std::size_t i = 0; i < candidates.size(); ++i)
    {
        const std::string key = FolderKey(candidates[i]);
        bool covered = false;
        for (std::size_t j = 0; j < candidates.size() && !covered; ++j)
        {
            const std::string other = FolderKey(candidates[j]);
            if (other == key)
            {
                covered = j < i; // the first of equal folders stays
            }
            else
            {
                covered = key.size() > other.size() && key.compare(0, other.size(), other) == 0 &&
                          key[other.size()] == '/';
            }
        }
        if (!covered)
        {
            folders.push_back(candidates[i]);
        }
    }
    return folders;
}

bool PathIsInFolder(const std::string& path, const std::string& folder)
{
    const std::string pathKey = FolderKey(path);
    const std::string folderKey = FolderKey(folder);
    return !folderKey.empty() && pathKey.size() > folderKey.size() &&
           pathKey.compare(0, folderKey.size(), folderKey) == 0 &&
           (pathKey[folderKey.size()] == '/' || folderKey.back() == '/');
}

bool MatchesPattern(const std::string& text, const std::string& pattern)
{
    // Iterative glob matching with one backtrack point for the last '*'.
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string::npos;
    std::size_t starText = 0;
    while (t < text.size())
    {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t]))
        {
            ++t;
            ++p;
        }
        else if (p < pattern.size() && pattern[p] == '*')
        {
            starPattern = p++;
            starText = t;
        }
        else if (starPattern != std::string::npos)
        {
            p = starPattern + 1;
            t = ++starText;
        }
        else
        {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
    {
        ++p;
    }
    return p == pattern.size();
}
} // namespace typehold
