#pragma once
// Error codes: an unsigned 32-bit value, 0 for success; a failure is (ordinal << 24) | module.
// The generic codes have module 0. A class that defines its own errors owns one module
// identifier and numbers its errors from 1; codes are never renumbered.

#include "GTypes.h"

constexpr TErrorCode MakeErrorCode(TUInt32 ordinal, TUInt32 module)
{
    return (ordinal << 24) | (module & 0x00FFFFFFu);
}
constexpr TUInt32 ErrorCodeOrdinal(TErrorCode code)
{
    return code >> 24;
}
constexpr TUInt32 ErrorCodeModule(TErrorCode code)
{
    return code & 0x00FFFFFFu;
}

// Module identifiers of the classes of this code base that define error codes.
namespace ErrorModule
{
constexpr TUInt32 kCore = 0x000000;
constexpr TUInt32 kGFile = 0x001004;
constexpr TUInt32 kGFileSystem = 0x001005;
constexpr TUInt32 kGMutex = 0x00100B;
constexpr TUInt32 kGLockable = 0x00100C;
constexpr TUInt32 kGTimedWaitable = 0x00100D;
constexpr TUInt32 kGIPCClient = 0x00100E;
constexpr TUInt32 kGDateTime = 0x001014;
constexpr TUInt32 kGScopedLock = 0x00101D;
} // namespace ErrorModule

// The generic codes.
struct CoreErrorCodes
{
    static constexpr TErrorCode kSuccess = 0;
    static constexpr TErrorCode kError = MakeErrorCode(1, ErrorModule::kCore);
    static constexpr TErrorCode kFatalError = MakeErrorCode(2, ErrorModule::kCore);
    static constexpr TErrorCode kUnstatic = MakeErrorCode(3, ErrorModule::kCore);
    static constexpr TErrorCode kInvalidParam = MakeErrorCode(4, ErrorModule::kCore);
    static constexpr TErrorCode kNullPointer = MakeErrorCode(5, ErrorModule::kCore);
    static constexpr TErrorCode kOutOfMemory = MakeErrorCode(6, ErrorModule::kCore);
    static constexpr TErrorCode kNotFound = MakeErrorCode(7, ErrorModule::kCore);
    static constexpr TErrorCode kNotImplemented = MakeErrorCode(8, ErrorModule::kCore);
    static constexpr TErrorCode kItemAlreadyExists = MakeErrorCode(9, ErrorModule::kCore);
    static constexpr TErrorCode kItemNotHandled = MakeErrorCode(10, ErrorModule::kCore);
    static constexpr TErrorCode kIndexOutOfRange = MakeErrorCode(12, ErrorModule::kCore);
    static constexpr TErrorCode kDatabaseError = MakeErrorCode(13, ErrorModule::kCore);
    static constexpr TErrorCode kVersionMismatch = MakeErrorCode(14, ErrorModule::kCore);
    static constexpr TErrorCode kNotANumber = MakeErrorCode(15, ErrorModule::kCore);
    static constexpr TErrorCode kNotSupported = MakeErrorCode(16, ErrorModule::kCore);
    static constexpr TErrorCode kNotInitialized = MakeErrorCode(17, ErrorModule::kCore);
    static constexpr TErrorCode kAlreadyInitialized = MakeErrorCode(18, ErrorModule::kCore);
    static constexpr TErrorCode kMissingParam = MakeErrorCode(19, ErrorModule::kCore);
    static constexpr TErrorCode kStopped = MakeErrorCode(20, ErrorModule::kCore);
    static constexpr TErrorCode kUnknownError = MakeErrorCode(21, ErrorModule::kCore);
};

// The symbolic name of a code ("GFile::kFileNotOpen", "CoreErrorCodes::kSuccess" for 0), or
// "Unknown error code" when the exact code has no name. Never fails; any thread may call it.
TUTF8String ErrorCodeToString(TErrorCode code);

// Number of named codes (for diagnostics and tests).
std::size_t ErrorCodeNameCount();
