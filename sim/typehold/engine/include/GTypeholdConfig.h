#pragma once
// The configuration of the font manager's core, read from config.json in its configuration folder
// (the format is described in sim/typehold/README.md).

#include "GTypes.h"

#include <map>
#include <string>
#include <vector>

namespace typehold
{
// Workgroup types the plug-in knows.
constexpr TSInt32 kWorkgroupTypeLibrary = 3;
constexpr TSInt32 kWorkgroupTypeSystem = 4;
constexpr TSInt32 kWorkgroupTypeGoogle = 8;
constexpr TSInt32 kWorkgroupTypeTypekit = 12;

struct GWorkgroupConfig
{
    TSInt32 id = 0;
    std::string name;
    TSInt32 type = kWorkgroupTypeLibrary;
    std::vector<std::string> fontPatterns; // PostScript-name patterns ('*' and '?')
    std::vector<std::string> folders;      // fonts of files under these folders
    bool canExport = true;

    bool operator==(const GWorkgroupConfig&) const = default;
};

struct GCoreConfig
{
    std::vector<std::string> fontFolders;
    // The machine's own fonts, always active.
    bool hasSystemWorkgroup = false;
    GWorkgroupConfig systemWorkgroup;
    // The user's workgroups in the order they are listed; a font belongs to the first one whose
    // folders hold its file or whose patterns match its name, else to the first one.
    std::vector<GWorkgroupConfig> workgroups;
    bool hasTypekitLibrary = false;
    GWorkgroupConfig typekitLibrary;

    bool loggedIn = true;
    TSInt32 serverType = 1;
    bool standalone = false;
    bool online = true;
    bool canActivateAcrossWorkgroups = true;
    bool googleWebFontsEnabled = true;
    bool canAccessGoogleFonts = true;
    // The web fonts' source: a folder of font files copied into the core's own Google Fonts
    // library folder while Google web fonts are being enabled (empty: no web fonts library).
    std::string googleFontsFolder;
    TUInt32 googleStepDelayMs = 0; // a pause after each step of that copy
    bool schemaInSync = true;
    TUInt32 initThreadFailure = 0; // the code InitThreadInstance answers
    std::string vaultPath;
    TUInt32 startupDelayMs = 0;
    TSInt32 replicationMode = 0;
    std::vector<std::string> designNonCompliant; // PostScript-name patterns refused by design activation
    std::map<std::string, TUInt32> callDelayMs;  // operation name -> delay before it is handled

    // The folders the catalog scans: font folders, workgroup folders and system folders.
    std::vector<std::string> CatalogFolders() const;
};

// The folder of the machine's installed fonts (under Wine, Z:\usr\share\fonts).
std::string MachineFontFolder();

// Parses the text of config.json. False with a one-line reason for malformed JSON or a value of
// the wrong type; config is only changed on success.
bool ParseCoreConfig(const std::string& json, GCoreConfig& config, std::string& error);

// True when the file path lies in the folder or below it (separators of either kind, ASCII letters
// compared without case).
bool PathIsInFolder(const std::string& path, const std::string& folder);

// True when the text matches the pattern ('*' any run, '?' one character; case-sensitive).
bool MatchesPattern(const std::string& text, const std::string& pattern);
} // namespace typehold
