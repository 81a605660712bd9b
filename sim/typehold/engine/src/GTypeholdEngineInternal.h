#pragma once
// Shared by the engine's source files: the font record keys and the core's log.

#include "GLogger.h"

namespace typehold
{
constexpr const char* kTypeholdLogCategory = "Typehold";

void LogLine(TSInt32 level, const char* format, ...) G_PRINTF_FORMAT(2, 3);

// Keys of font records.
constexpr const char* kKeyDatabaseID = "DatabaseID";
constexpr const char* kKeyPostScriptName = "PostScriptName";
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
