#pragma once
// The keys of the panel's JSON messages.

namespace PanelKey
{
constexpr const char* kMessageIDKey = "messageID";
constexpr const char* kReturnCodeKey = "returnCode";
constexpr const char* kFontIDKey = "fontID";
constexpr const char* kFontIDsKey = "fontIDs";
constexpr const char* kHighPriorityFontIDsKey = "highPriorityFontIDs";
constexpr const char* kFontsKey = "fonts";
constexpr const char* kPNGFilenameKey = "pngFilename";
constexpr const char* k2xPNGFilenameKey = "2xPNGFilename";
constexpr const char* kPostscriptNameKey = "postscriptName";
constexpr const char* kDisplayNameKey = "displayName";
constexpr const char* kCanAccessGoogleFontsKey = "canAccessGoogleFonts";
constexpr const char* kIsEnabledKey = "isEnabled";
constexpr const char* kIsReplicatingKey = "isReplicating";
constexpr const char* kReplicationModeKey = "replicationMode";
constexpr const char* kIsWindowsKey = "isWindows";
constexpr const char* kIsStandaloneKey = "isStandalone";
constexpr const char* kWidthKey = "width";
constexpr const char* kHeightKey = "height";
constexpr const char* kWindowWidthKey = "windowWidth";
constexpr const char* kWindowHeightKey = "windowHeight";
constexpr const char* kSelectionKey = "selection";
constexpr const char* kSavesSmartListKey = "savesSmartList";
constexpr const char* kConflictIDKey = "conflictID";
constexpr const char* kIsConflictErrorKey = "isConflictError";
constexpr const char* kVersionKey = "version";
constexpr const char* kIsCtrlPressedKey = "isCtrlPressed";
constexpr const char* kIsShiftPressedKey = "isShiftPressed";
constexpr const char* kIsAltPressedKey = "isAltPressed";
constexpr const char* kKeyCodeKey = "keyCode";
constexpr const char* kTextKey = "text";
constexpr const char* kStepIndexKey = "stepIndex";
constexpr const char* kNumStepsKey = "numSteps";
constexpr const char* kSmartListIDKey = "smartListID";
constexpr const char* kSmartListNameKey = "smartListName";
constexpr const char* kSmartListKey = "smartList";
constexpr const char* kSmartListsKey = "smartLists";
constexpr const char* kListDefinitionKey = "listDefinition";
constexpr const char* kWorkgroupIDsKey = "workgroupIDs";
constexpr const char* kSetIDsKey = "setIDs";
constexpr const char* kSmartSetIDsKey = "smartSetIDs";
constexpr const char* kFilenameKey = "filename";
} // namespace PanelKey

// Preferences the panel reads and writes.
namespace PanelPreference
{
constexpr const char* kPanelWidth = "CS5PanelWidth";
constexpr const char* kPanelHeight = "CS5PanelHeight";
constexpr const char* kDropDownSelection = "DropDownSelection";
constexpr const char* kDropDownSelectionSavesSmartLists = "DropDownSelectionSavesSmartLists";
constexpr const char* kGoogleWebFontsHaveEverBeenEnabled = "GWFHaveEverBeenEnabled";
constexpr const char* kSuppressPanelLaunch = "SuppressPanelLaunch";
} // namespace PanelPreference
