#include "GErrorCodes.h"

#include "GBlockingLockStrategy.h"
#include "GMutex.h"
#include "GScopedLock.h"

#include <atomic>
#include <map>

namespace
{
struct ErrorName
{
    TUInt32 ordinal;
    TUInt32 module;
    const char* name;
};

// The generic codes (module 0). Ordinal 11 has no generic code.
const ErrorName kGenericNames[] = {
    {0, 0, "CoreErrorCodes::kSuccess"},         {1, 0, "CoreErrorCodes::kError"},
    {2, 0, "CoreErrorCodes::kFatalError"},      {3, 0, "CoreErrorCodes::kUnstatic"},
    {4, 0, "CoreErrorCodes::kInvalidParam"},    {5, 0, "CoreErrorCodes::kNullPointer"},
    {6, 0, "CoreErrorCodes::kOutOfMemory"},     {7, 0, "CoreErrorCodes::kNotFound"},
    {8, 0, "CoreErrorCodes::kNotImplemented"},  {9, 0, "CoreErrorCodes::kItemAlreadyExists"},
    {10, 0, "CoreErrorCodes::kItemNotHandled"}, {12, 0, "CoreErrorCodes::kIndexOutOfRange"},
    {13, 0, "CoreErrorCodes::kDatabaseError"},  {14, 0, "CoreErrorCodes::kVersionMismatch"},
    {15, 0, "CoreErrorCodes::kNotANumber"},     {16, 0, "CoreErrorCodes::kNotSupported"},
    {17, 0, "CoreErrorCodes::kNotInitialized"}, {18, 0, "CoreErrorCodes::kAlreadyInitialized"},
    {19, 0, "CoreErrorCodes::kMissingParam"},   {20, 0, "CoreErrorCodes::kStopped"},
    {21, 0, "CoreErrorCodes::kUnknownError"},
};

// The codes of the modules, shared with the font manager's core agent. One entry of module
// 0x004005 carries the name of another class, as the font manager defines it.
const ErrorName kModuleNames[] = {
    {1, 0x001004, "GFile::kFileNotOpen"},
    {2, 0x001004, "GFile::kOpenFailed"},
    {1, 0x001005, "GFileSystem::kFileNotFound"},
    {2, 0x001005, "GFileSystem::kDirectoryNotFound"},
    {3, 0x001005, "GFileSystem::kCouldNotDecodeInput"},
    {4, 0x001005, "GFileSystem::kFileOrDirectoryAlreadyExists"},
    {5, 0x001005, "GFileSystem::kInvalidPath"},
    {6, 0x001005, "GFileSystem::kDirectoryNotEmpty"},
    {7, 0x001005, "GFileSystem::kEnumFolderContentsCanceled"},
    {8, 0x001005, "GFileSystem::kDirectoryFull"},
    {9, 0x001005, "GFileSystem::kDiskFull"},
    {10, 0x001005, "GFileSystem::kFileIsLocked"},
    {11, 0x001005, "GFileSystem::kMoveFailed"},
    {12, 0x001005, "GFileSystem::kInvalidCharacterForFileSystemRepresentation"},
    {1, 0x001007, "GValue::kValueTypeError"},
    {2, 0x001007, "GValue::kArrayIndexError"},
    {3, 0x001007, "GValue::kEmptyValueBytes"},
    {4, 0x001007, "GValue::kValueSizeMismatch"},
    {5, 0x001007, "GValue::kValueConversionError"},
    {1, 0x001008, "GLibXMLSerializable::kWrongNodeType"},
    {2, 0x001008, "GLibXMLSerializable::kWrongElementName"},
    {3, 0x001008, "GLibXMLSerializable::kInvalidTextContent"},
    {4, 0x001008, "GLibXMLSerializable::kInvalidAttribute"},
    {5, 0x001008, "GLibXMLSerializable::kInvalidChildElement"},
    {6, 0x001008, "GLibXMLSerializable::kInvalidCDATASection"},
    {7, 0x001008, "GLibXMLSerializable::kInvalidChildNode"},
    {8, 0x001008, "GLibXMLSerializable::kMissingRequiredAttribute"},
    {9, 0x001008, "GLibXMLSerializable::kMissingRequiredChildElement"},
    {10, 0x001008, "GLibXMLSerializable::kInvalidAttributeContent"},
    {11, 0x001008, "GLibXMLSerializable::kRequiredTextIsBlank"},
    {1, 0x001009, "GIPCReceiver::kInvalidName"},
    {2, 0x001009, "GIPCReceiver::kCreateFailed"},
    {3, 0x001009, "GIPCReceiver::kMessageTooLarge"},
    {4, 0x001009, "GIPCReceiver::kNotWaiting"},
    {1, 0x00100A, "GIPCSender::kInvalidName"},
    {2, 0x00100A, "GIPCSender::kConnectFailed"},
    {3, 0x00100A, "GIPCSender::kReceiverNotAvailable"},
    {4, 0x00100A, "GIPCSender::kSendDataFailed"},
    {5, 0x00100A, "GIPCSender::kReceiverDisconnected"},
    {1, 0x00100B, "GMutex::kMutexDeadlockErr"},
    {2, 0x00100B, "GMutex::kMutexInvalidErr"},
    {1, 0x00100C, "GLockable::kLockBusyErr"},
    {1, 0x00100D, "GTimedWaitable::kWaitTimedOutErr"},
    {2, 0x00100E, "GIPCClient::kReplyTimeout"},
    {3, 0x00100E, "GIPCClient::kServiceUnavailable"},
    {4, 0x00100E, "GIPCClient::kMissingHost"},
    {1, 0x00100F, "GLibXML::kParseFailed"},
    {1, 0x001010, "GLibXMLDoc::kNullObject"},
    {1, 0x001011, "GLibXMLNode::kNullObject"},
    {2, 0x001011, "GLibXMLNode::kWrongNodeType"},
    {3, 0x001011, "GLibXMLNode::kUnexpectedNodes"},
    {1, 0x001012, "GSqliteDatabase::kDatabaseNotAttached"},
    {2, 0x001012, "GSqliteDatabase::kTransactionNotPending"},
    {3, 0x001012, "GSqliteDatabase::kTransactionAlreadyPending"},
    {4, 0x001012, "GSqliteDatabase::kSchemaDefNotAttached"},
    {5, 0x001012, "GSqliteDatabase::kDatabaseLocked"},
    {6, 0x001012, "GSqliteDatabase::kPermissionDenied"},
    {7, 0x001012, "GSqliteDatabase::kCallbackAborted"},
    {8, 0x001012, "GSqliteDatabase::kDatabaseReadonly"},
    {9, 0x001012, "GSqliteDatabase::kOperationInterrupted"},
    {10, 0x001012, "GSqliteDatabase::kDatabaseIOError"},
    {11, 0x001012, "GSqliteDatabase::kDatabaseCorrupted"},
    {12, 0x001012, "GSqliteDatabase::kDatabaseFull"},
    {13, 0x001012, "GSqliteDatabase::kDatabaseOpenFailed"},
    {14, 0x001012, "GSqliteDatabase::kLockProtocolError"},
    {15, 0x001012, "GSqliteDatabase::kDatabaseEmpty"},
    {16, 0x001012, "GSqliteDatabase::kDatabaseSchemaChanged"},
    {17, 0x001012, "GSqliteDatabase::kConstraintViolation"},
    {18, 0x001012, "GSqliteDatabase::kTypeMismatch"},
    {19, 0x001012, "GSqliteDatabase::kSqliteMisuse"},
    {20, 0x001012, "GSqliteDatabase::kAuthorizationDenied"},
    {21, 0x001012, "GSqliteDatabase::kInvalidDatabaseFile"},
    {22, 0x001012, "GSqliteDatabase::kCannotEndTransactionOutOfOrder"},
    {1, 0x001013, "GSqliteDatabaseConnMgr::kDatabaseNotSet"},
    {2, 0x001013, "GSqliteDatabaseConnMgr::kSchemaVersionMismatch"},
    {1, 0x001014, "GDateTime::kParsingError"},
    {1, 0x001015, "GProcessManager::kProcessAlreadyLaunched"},
    {2, 0x001015, "GProcessManager::kProcessMustBeLaunched"},
    {3, 0x001015, "GProcessManager::kNotExecutableFile"},
    {4, 0x001015, "GProcessManager::kFailedToLaunch"},
    {5, 0x001015, "GProcessManager::kStillRunning"},
    {6, 0x001015, "GProcessManager::kAlreadyExited"},
    {1, 0x001016, "GFileVault::kVaultNotInitialized"},
    {2, 0x001016, "GFileVault::kVersionConflict"},
    {3, 0x001016, "GFileVault::kIllFormattedPathData"},
    {1, 0x001017, "GSqliteSimpleOperator::kMissingOperand"},
    {1, 0x001019, "GSqliteQuery::kNoColumnsAdded"},
    {1, 0x00101A, "GExclusionList::kExcluded"},
    {2, 0x00101A, "GExclusionList::kInvalidXML"},
    {1, 0x00101B, "GKVTree::kMisformedFormatString"},
    {1, 0x00101C, "GHTTP::kFailedToConnectToHost"},
    {1, 0x00101D, "GScopedLock::kFailedToAcquireLock"},
    {1, 0x00101E, "GUuid::kInvalidUUIDFormat"},
    {1, 0x001020, "GOperationQueue::kQueueEmpty"},
    {1, 0x001021, "GExponentialBackoff::kExceededRetries"},
    {1, 0x002001, "GObsidianDataFacade::kOneOrMoreKeywordsNotFound"},
    {2, 0x002001, "GObsidianDataFacade::kCannotEditLockedAttribute"},
    {3, 0x002001, "GObsidianDataFacade::kCannotDeleteLockedAttribute"},
    {4, 0x002001, "GObsidianDataFacade::kOneOrMoreFoundriesNotFound"},
    {5, 0x002001, "GObsidianDataFacade::kOneOrMoreClassificationsNotFound"},
    {6, 0x002001, "GObsidianDataFacade::kOneOrMoreStylesNotFound"},
    {7, 0x002001, "GObsidianDataFacade::kOneOrMoreLicensesNotFound"},
    {8, 0x002001, "GObsidianDataFacade::kCannotAddSystemFontsToWorkgroup"},
    {9, 0x002001, "GObsidianDataFacade::kCannotAddSystemFontsToSet"},
    {10, 0x002001, "GObsidianDataFacade::kSetsMustBelongToSameWorkgroup"},
    {12, 0x002001, "GObsidianDataFacade::kCannotAddCloudFontsToWorkgroup"},
    {13, 0x002001, "GObsidianDataFacade::kCannotAddCloudFontsToSet"},
    {14, 0x002001, "GObsidianDataFacade::kCannotAddNonCloudFontsToWorkgroup"},
    {15, 0x002001, "GObsidianDataFacade::kCannotAddNonCloudFontsToSet"},
    {16, 0x002001, "GObsidianDataFacade::kCannotAddNonGoogleFontsToWorkgroup"},
    {17, 0x002001, "GObsidianDataFacade::kCannotAddNonGoogleFontsToSet"},
    {18, 0x002001, "GObsidianDataFacade::kCannotAddTypekitFontsToWorkgroup"},
    {19, 0x002001, "GObsidianDataFacade::kCannotAddTypekitFontsToSet"},
    {20, 0x002001, "GObsidianDataFacade::kCannotDeleteFonts"},
    {1, 0x002003, "GFontManagerFacade::kFontNotAvailableYet"},
    {2, 0x002003, "GFontManagerFacade::kSomePreviewDeactivationErrors"},
    {3, 0x002003, "GFontManagerFacade::kStartupSetsDisabled"},
    {4, 0x002003, "GFontManagerFacade::kNoPreviewCorruptFont"},
    {1, 0x002004, "GObsidianServerFacade::kNotLoggedIn"},
    {2, 0x002004, "GObsidianServerFacade::kAlreadyLoggedIn"},
    {3, 0x002004, "GObsidianServerFacade::kOffline"},
    {4, 0x002004, "GObsidianServerFacade::kAlreadyOffline"},
    {5, 0x002004, "GObsidianServerFacade::kAlreadyOnline"},
    {1, 0x002005, "GObsidianConfig::kLoginSessionRequired"},
    {2, 0x002005, "GObsidianConfig::kAgentNotFound"},
    {3, 0x002005, "GObsidianConfig::kAgentRunningInWrongMode"},
    {1, 0x002008, "GObsidianSdk::kInvalidVault"},
    {2, 0x002008, "GObsidianSdk::kVaultInUse"},
    {3, 0x002008, "GObsidianSdk::kConfigFileInfoMissing"},
    {1, 0x002009, "GObsidianDatabaseUpgradeManager::kCannotUpgrade"},
    {1, 0x00200A, "GFontActivation::kOSActivationError"},
    {2, 0x00200A, "GFontActivation::kOSDeactivationError"},
    {3, 0x00200A, "GFontActivation::kPathTooLongToActivate"},
    {1, 0x00200B, "GObsidianFacade::kFontVaultOpen"},
    {1, 0x00200D, "GAgentIF::kUninitialized"},
    {2, 0x00200D, "GAgentIF::kShutdown"},
    {3, 0x00200D, "GAgentIF::kAgentIFDestroyed"},
    {1, 0x00200E, "GFontActivationUtils::kInvalidFontIDs"},
    {2, 0x00200E, "GFontActivationUtils::kVersionsEqual"},
    {1, 0x002016, "GVaultArchiver::kRunningOutOfDiskSpace"},
    {2, 0x002016, "GVaultArchiver::kPermissionsIssue"},
    {3, 0x002016, "GVaultArchiver::kInvalidArchive"},
    {4, 0x002016, "GVaultArchiver::kInvalidDatabase"},
    {5, 0x002016, "GVaultArchiver::kIncompatibleDatabase"},
    {1, 0x004001, "GFontActivationManager::kOSFileSystemError"},
    {2, 0x004001, "GFontActivationManager::kOSActivationError"},
    {3, 0x004001, "GFontActivationManager::kOSDeactivationError"},
    {4, 0x004001, "GFontActivationManager::kFontChangedActivationState"},
    {5, 0x004001, "GFontActivationManager::kCantActivateDueToNonSystemFontConflict"},
    {6, 0x004001, "GFontActivationManager::kVersionsEqual"},
    {7, 0x004001, "GFontActivationManager::kCantActivateDueToSystemFontConflict"},
    {8, 0x004001, "GFontActivationManager::kCantDeActivateSystemFonts"},
    {9, 0x004001, "GFontActivationManager::kInvalidFontIDs"},
    {10, 0x004001, "GFontActivationManager::kInvalidActivationMode"},
    {11, 0x004001, "GFontActivationManager::kPathTooLongToActivate"},
    {12, 0x004001, "GFontActivationManager::kCantActivateSystemFonts"},
    {13, 0x004001, "GFontActivationManager::kWrongOSVersionForOSCall"},
    {14, 0x004001, "GFontActivationManager::kCantChangeRequiredFontActivation"},
    {15, 0x004001, "GFontActivationManager::kActivatedOverConflict"},
    {16, 0x004001, "GFontActivationManager::kCantActivateWebFonts"},
    {1, 0x004002, "GActiveFontScanner::kScanInterruptedByFontActivationChange"},
    {2, 0x004002, "GActiveFontScanner::kCorruptedFontNeedToRestartComputer"},
    {1, 0x004005, "GKVMessageHandler_FontAdder::kPathTooLong"},
    {3, 0x004005, "GKVMessageHandler_FontAdder::kNothingToProcess"},
    {4, 0x004005, "GKVMessageHandler_FontAdder::kDoneProcessing"},
    {5, 0x004005, "GKVMessageHandler_FontAdder::kErrorAddingFontToServer"},
    {7, 0x004005, "GFontToolResults::kFontAlreadyInDatabase"},
    {1, 0x004006, "GFontToolConnector::kFontToolCrashed"},
    {2, 0x004006, "GFontToolConnector::kFontToolFailedToLaunch"},
    {3, 0x004006, "GFontToolConnector::kInvalidFontToolVersion"},
    {2, 0x004007, "GObsidianExportFonts::kTaskStopped"},
    {3, 0x004007, "GObsidianExportFonts::kCouldNotCreateFolder"},
    {4, 0x004007, "GObsidianExportFonts::kCouldNotCopyFile"},
    {6, 0x004007, "GObsidianExportFonts::kNoFontsToExport"},
    {8, 0x004007, "GObsidianExportFonts::kIncorrectFontCountForExport"},
    {9, 0x004007, "GObsidianExportFonts::kNotGrantedPermissionToExportFonts"},
    {11, 0x004007, "GObsidianExportFonts::kCannotWriteToDestinationFolder"},
    {12, 0x004007, "GObsidianExportFonts::kPathTooLong"},
    {13, 0x004007, "GObsidianExportFonts::kFontUnavailableToExport"},
    {14, 0x004007, "GObsidianExportFonts::kNoAvailableFontsToExport"},
    {15, 0x004007, "GObsidianExportFonts::kDocumentContainsMissingAssets"},
    {1, 0x004009, "GObsidianSetManager::kWorkGroupIDDoesNotExist"},
    {2, 0x004009, "GObsidianSetManager::kInvalidMove"},
    {3, 0x004009, "GObsidianSetManager::kInvalidSetType"},
    {4, 0x004009, "GObsidianSetManager::kInvalidSetMove"},
    {5, 0x004009, "GObsidianSetManager::kInvalidSetCopy"},
    {6, 0x004009, "GObsidianSetManager::kCannotAddSystemFontsToSet"},
    {7, 0x004009, "GObsidianSetManager::kIncompatibleSetType"},
    {8, 0x004009, "GObsidianSetManager::kSetNotFound"},
    {9, 0x004009, "GObsidianSetManager::kGlobalSmartSetNotSupported"},
    {10, 0x004009, "GObsidianSetManager::kWorkgroupNotFound"},
    {11, 0x004009, "GObsidianSetManager::kCannotCreateSharedSetsInAllFontsWorkgroup"},
    {12, 0x004009, "GObsidianSetManager::kCannotAddSetsToSystemWorkgroup"},
    {13, 0x004009, "GObsidianSetManager::kErrorAddingFontsToSetsOnServer"},
    {14, 0x004009, "GObsidianSetManager::kProblemFontsNotCopiedToDestSet"},
    {15, 0x004009, "GObsidianSetManager::kCannotAddSetsToWorkgroup"},
    {1, 0x00400A, "GObsidianFontManager::kInvalidMove"},
    {2, 0x00400A, "GObsidianFontManager::kFontNotInSourceContainer"},
    {3, 0x00400A, "GObsidianFontManager::kDestContainerDoesNotExist"},
    {4, 0x00400A, "GObsidianFontManager::kSrcContainerDoesNotExist"},
    {5, 0x00400A, "GObsidianFontManager::kCannotModAttributesInSysFontWg"},
    {6, 0x00400A, "GObsidianFontManager::kNoFontsToScanForCorruption"},
    {7, 0x00400A, "GObsidianFontManager::kFontDoesNotMatch"},
    {8, 0x00400A, "GObsidianFontManager::kNoMissingFontsFound"},
    {1, 0x00400B, "GObsidianWorkgroupManager::kCannotRemoveSystemFonts"},
    {2, 0x00400B, "GObsidianWorkgroupManager::kCannotAddFontsToUnsupportedWorkgroup"},
    {3, 0x00400B, "GObsidianWorkgroupManager::kErrorDeletingFontFromServer"},
    {4, 0x00400B, "GObsidianWorkgroupManager::kNotStandalone"},
    {5, 0x00400B, "GObsidianWorkgroupManager::kCannotDeleteFromWorkgroupAdminWorkgroup"},
    {6, 0x00400B, "GObsidianWorkgroupManager::kCannotDeleteFromUnsupportedWorkgroup"},
    {7, 0x00400B, "GObsidianWorkgroupManager::kRestrictedWorkgroup"},
    {8, 0x00400B, "GObsidianWorkgroupManager::kFromRestrictedWorkgroup"},
    {9, 0x00400B, "GObsidianWorkgroupManager::kCannotDeleteFromWorkgroup"},
    {1, 0x00400C, "GObsidianAssetManager::kBusy"},
    {2, 0x00400C, "GObsidianAssetManager::kFontPlatformIncompatibility"},
    {3, 0x00400C, "GObsidianAssetManager::kFontMissing"},
    {4, 0x00400C, "GObsidianAssetManager::kAssetFileCouldNotBeDownloadedToVault"},
    {1, 0x00400D, "GFontToolResults::kNotAFontFile"},
    {2, 0x00400D, "GFontToolResults::kCorruptCantRepair"},
    {3, 0x00400D, "GFontToolResults::kRepairFailed"},
    {4, 0x00400D, "GFontToolResults::kPrinterFileMissing"},
    {5, 0x00400D, "GFontToolResults::kCorrupt"},
    {6, 0x00400D, "GFontToolResults::kInvalidFaceTraceVersion"},
    {1, 0x00400F, "GSystemFontsManager::kBusy"},
    {1, 0x004012, "GObsidianAgentAppController::kExitWithNoLogin"},
    {1, 0x004013, "GWebFontReplicationManager::kBusy"},
    {1, 0x004014, "GAgentAppController::kInstanceAlreadyRunning"},
    {1, 0x004015, "GKVMessageDataHandler::kInvalidMessage"},
    {1, 0x004016, "GTaskThread::kTaskAlreadyBusy"},
    {1, 0x004017, "GFontServerReplicationManager::kPaused"},
    {2, 0x004017, "GFontServerReplicationManager::kReplicationDisconnected"},
    {1, 0x004018, "GFontServerProxy::kFailedToConnect"},
    {2, 0x004018, "GFontServerProxy::kBadRequest"},
    {3, 0x004018, "GFontServerProxy::kServerError"},
    {4, 0x004018, "GFontServerProxy::kUnknownError"},
    {5, 0x004018, "GFontServerProxy::kRequestEntityTooLarge"},
    {6, 0x004018, "GFontServerProxy::kServerUnavailable"},
    {7, 0x004018, "GFontServerProxy::kForbidden"},
    {8, 0x004018, "GFontServerProxy::kRetryFileUploads"},
    {9, 0x004018, "GFontServerProxy::kFontsNotDownloaded"},
    {10, 0x004018, "GFontServerProxy::kServerDataNotChanged"},
    {11, 0x004018, "GFontServerProxy::kIncompatibleClient"},
    {12, 0x004018, "GFontServerProxy::kSignInFailed"},
    {13, 0x004018, "GFontServerProxy::kSessionExpired"},
    {16, 0x004018, "GFontServerProxy::kSessionDeleted"},
    {17, 0x004018, "GFontServerProxy::kTooManyRequests"},
    {1, 0x004019, "GPortolanSessionManager::kDecryptionFailed"},
    {2, 0x004019, "GPortolanSessionManager::kDatabaseSessionMismatch"},
    {1, 0x007002, "GResultSpecVectorXMLParser::kInvalidResultSpecPath"},
    {2, 0x007002, "GResultSpecVectorXMLParser::kInvalidResultSpecContents"},
    {1, 0x00A002, "GScopedXMPFile::kFileNotOpen"},
    {2, 0x00A002, "GScopedXMPFile::kCannotPutXMP"},
    {3, 0x00A002, "GScopedXMPFile::kXMPError"},
};

using TErrorNameMap = std::map<TErrorCode, TUTF8String>;

std::atomic<const TErrorNameMap*> sNameTable{nullptr};

GMutex& NameTableMutex()
{
    static GMutex sMutex;
    return sMutex;
}

const TErrorNameMap* BuildNameTable()
{
    auto* table = new TErrorNameMap;
    for (const ErrorName& entry : kGenericNames)
    {
        table->emplace(MakeErrorCode(entry.ordinal, entry.module), entry.name);
    }
    for (const ErrorName& entry : kModuleNames)
    {
        table->emplace(MakeErrorCode(entry.ordinal, entry.module), entry.name);
    }
    return table;
}

// The table is built once, on first use, under its mutex with the test repeated after
// locking; afterwards lookups take no lock. It lives until the process ends.
const TErrorNameMap& NameTable()
{
    const TErrorNameMap* table = sNameTable.load(std::memory_order_acquire);
    if (table == nullptr)
    {
        GScopedLock lock(NameTableMutex(), true, new GBlockingLockStrategy);
        table = sNameTable.load(std::memory_order_acquire);
        if (table == nullptr)
        {
            table = BuildNameTable();
            sNameTable.store(table, std::memory_order_release);
        }
    }
    return *table;
}
} // namespace

TUTF8String ErrorCodeToString(TErrorCode code)
{
    const TErrorNameMap& table = NameTable();
    auto found = table.find(code);
    if (found == table.end())
    {
        return "Unknown error code";
    }
    return found->second;
}

std::size_t ErrorCodeNameCount()
{
    return NameTable().size();
}
