#pragma once
// Fixed-size integer types and the string and byte types shared by the core utilities.

#include <cstdint>
#include <string>
#include <vector>

using TUInt8 = std::uint8_t;
using TSInt8 = std::int8_t;
using TUInt16 = std::uint16_t;
using TSInt16 = std::int16_t;
using TUInt32 = std::uint32_t;
using TSInt32 = std::int32_t;
using TUInt64 = std::uint64_t;
using TSInt64 = std::int64_t;

// UTF-8 text in a byte string, without a byte-order mark.
using TUTF8String = std::string;
// UTF-16 text; on Windows this is the wide string the system takes.
using TUTF16String = std::u16string;
// Contiguous unsigned bytes (file chunks, version resources).
using TByteVector = std::vector<TUInt8>;

// Error code: 0 is success, anything else a failure composed as (ordinal << 24) | module.
using TErrorCode = TUInt32;
