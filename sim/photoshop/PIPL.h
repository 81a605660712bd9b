#pragma once
// Plug-in property lists (resource type "PIPL"): how a plug-in file tells the host what it is.
//
// Layout (little-endian): a 16-bit signature word 1, a 32-bit version, a 32-bit property count,
// then the properties, each a vendor code, a key code, a 32-bit id and a 32-bit data length (not
// counting padding), followed by the data padded to a multiple of 4 bytes. Four-character codes
// are 32-bit integers, so '8BIM' is stored as the bytes "MIB8". Every length and count is checked
// against the resource's size before anything is read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PIPLProperty
{
    std::uint32_t mVendor = 0;
    std::uint32_t mKey = 0;
    std::uint32_t mId = 0;
    std::vector<std::uint8_t> mData;
};

struct PIPLResource
{
    std::uint16_t mSignature = 0;
    std::uint32_t mVersion = 0;
    std::vector<PIPLProperty> mProperties;
};

// What the host needs of a plug-in, from the '8BIM' properties.
struct PIPLPluginInfo
{
    std::uint32_t mKind = 0; // 'kind'
    std::string mEntryPoint; // '8664', the x64 entry point's exported name
    std::string mName;       // 'name' (Pascal string)
    std::string mCategory;   // 'catg' (Pascal string)
    bool mHasVersion = false;
    std::uint32_t mVersion = 0; // 'vers'
    bool mHasPersistent = false;
    std::uint32_t mPersistent = 0; // 'prst'
};

enum class PIPLError
{
    kNone,
    kTruncatedHeader,   // fewer bytes than the header
    kBadSignature,      // the first word is not 1
    kCountBeyondData,   // more properties than the bytes can hold
    kTruncatedProperty, // a property header runs past the end
    kLengthPastEnd,     // a property's data runs past the end
    kNoKind,            // no 'kind' property of four bytes
    kNoEntryPoint,      // no '8664' property
    kBadEntryPoint,     // '8664' without a NUL or empty
    kBadPascalString,   // 'name' or 'catg' longer than its data
    kBadInteger,        // 'vers' or 'prst' shorter than four bytes
};

constexpr std::uint32_t kPIPLVendorPhotoshop = 0x3842494D; // '8BIM'
constexpr std::uint32_t kPIPLKindAutomation = 0x384C495A;  // '8LIZ'

// Splits the bytes into properties. On failure, error says what and where.
PIPLError ParsePIPL(const std::uint8_t* bytes, std::size_t size, PIPLResource& resource, std::string& error);

// Reads the plug-in's properties; the kind and the x64 entry point are required, the others
// optional (but checked when present). The first property of each key counts.
PIPLError ReadPluginInfo(const PIPLResource& resource, PIPLPluginInfo& info, std::string& error);

// One line: kind '8LIZ' name "..." catg "..." vers 0x00010000 entry "AutoPluginMain" prst 1
std::string DescribePluginInfo(const PIPLPluginInfo& info);
