#pragma once
// Shared by the engine's source files: the core's log, the session settings typehold-ctl can
// change and the font record keys.

#include "GLogger.h"
#include "GTypeholdConfig.h"

#include <string>

namespace typehold
{
constexpr const char* kTypeholdLogCategory = "Typehold";

void LogLine(TSInt32 level, const char* format, ...) G_PRINTF_FORMAT(2, 3);

// The session settings typehold-ctl can change, by their names in the state file.
inline constexpr const char* kSessionOnline = "online";
inline constexpr const char* kSessionStandalone = "standalone";
inline constexpr const char* kSessionLoggedIn = "loggedIn";

inline bool* SessionSetting(GCoreConfig& config, const std::string& name)
{
    if (name == kSessionOnline)
    {
        return &config.online;
    }
    if (name == kSessionStandalone)
    {
        return &config.standalone;
    }
    if (name == kSessionLoggedIn)
    {
        return &config.loggedIn;
    }
    return nullptr;
}

inline bool IsSessionSettingName(const std::string& name)
{
    return name == kSessionOnline || name == kSessionStandalone || name == kSessionLoggedIn;
}

inline bool SessionValue(const GCoreConfig& config, const std::string& name)
{
    if (name == kSessionOnline)
    {
        return config.online;
    }
    if (name == kSessionStandalone)
    {
        return config.standalone;
    }
    return name == kSessionLoggedIn && config.loggedIn;
}

// Keys of font records.
constexpr const char* kKeyDatabaseID = "DatabaseID";
constexpr const char* kKeyPostScriptName = "PostScriptName";
// The display name column (the interface library names it by GetDisplayNameColumnID).
constexpr const char* kKeyDisplayName = "DisplayName";
constexpr const char* kKeyFamily = "Family";
constexpr const char* kKeyFontKind = "FontKind";
constexpr const char* kKeyFoundry = "Foundry";
constexpr const char* kKeyVersion = "Version";
constexpr const char* kKeyActivationStatus = "ActivationStatus";
constexpr const char* kKeyIsActive = "IsActive";
constexpr const char* kKeyIsTemp = "IsTemp";
constexpr const char* kKeyIsAutoActivated = "IsAutoActivated";
constexpr const char* kKeyIsSystem = "IsSystem";
constexpr const char* kKeyIsVault = "IsVault";
constexpr const char* kKeyWorkgroupID = "WorkgroupID";
constexpr const char* kKeyWorkgroupName = "WorkgroupName";
constexpr const char* kKeyWorkgroupType = "WorkgroupType";
constexpr const char* kKeyAssignedFamilyID = "AssignedFamilyID";
constexpr const char* kKeyAssignedFamilyName = "AssignedFamilyName";
constexpr const char* kKeyChecksum = "Checksum";
constexpr const char* kKeyFaceTraceChecksum = "FaceTrace_1.2_Checksum";
constexpr const char* kKeyKerningChecksum = "KerningChecksum";
constexpr const char* kKeyOutlineFileName = "OutlineFileName";
constexpr const char* kKeyOutlineFileSize = "OutlineFileSize";
constexpr const char* kKeySubDocumentsWithFont = "SubDocumentsWithFont";
constexpr const char* kKeyPossibleReplacements = "PossibleReplacements";
} // namespace typehold
