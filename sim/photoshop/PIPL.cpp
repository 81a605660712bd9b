#include "PIPL.h"

#include "ActionModel.h"

#include <cstdio>
#include <cstring>

namespace
{
constexpr std::size_t kHeaderSize = 2 + 4 + 4;
constexpr std::size_t kPropertyHeaderSize = 4 * 4;

std::uint32_t ReadUInt32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

PIPLError Fail(PIPLError code, std::string& error, std::string text)
{
    error = std::move(text);
    return code;
}

constexpr std::uint32_t Code(const char (&code)[5])
{
    return FourCharCode(code);
}

const PIPLProperty* FindProperty(const PIPLResource& resource, std::uint32_t key)
{
    for (const PIPLProperty& property : resource.mProperties)
    {
        if (property.mVendor == kPIPLVendorPhotoshop && property.mKey == key)
        {
            return &property;
        }
    }
    return nullptr;
}

bool ReadPascalString(const PIPLProperty& property, std::string& text)
{
    if (property.mData.empty() || property.mData[0] + std::size_t{1} > property.mData.size())
    {
        return false;
    }
    text.assign(reinterpret_cast<const char*>(property.mData.data() + 1), property.mData[0]);
    return true;
}
} // namespace

PIPLError ParsePIPL(const std::uint8_t* bytes, std::size_t size, PIPLResource& resource, std::string& error)
{
    resource = PIPLResource{};
    if (bytes == nullptr || size < kHeaderSize)
    {
        return Fail(PIPLError::kTruncatedHeader, error,
                    std::to_string(size) + " bytes, fewer than the " + std::to_string(kHeaderSize) +
                        "-byte header");
    }
    resource.mSignature = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
    resource.mVersion = ReadUInt32(bytes + 2);
    const std::uint32_t count = ReadUInt32(bytes + 6);
    if (resource.mSignature != 1)
    {
        return Fail(PIPLError::kBadSignature, error,
                    "signature word " + std::to_string(resource.mSignature) + " (expected 1)");
    }
    const std::size_t room = (size - kHeaderSize) / kPropertyHeaderSize;
    if (count > room)
    {
        return Fail(PIPLError::kCountBeyondData, error,
                    "property count " + std::to_string(count) + " beyond the data (" + std::to_string(size) +
                        " bytes hold at most " + std::to_string(room) + ")");
    }
    std::size_t offset = kHeaderSize;
    for (std::uint32_t index = 0; index < count; ++index)
    {
        if (size - offset < kPropertyHeaderSize)
        {
            return Fail(PIPLError::kTruncatedProperty, error,
                        "property " + std::to_string(index + 1) + " of " + std::to_string(count) +
                            " starts at " + std::to_string(offset) + ", past the end (" +
                            std::to_string(size) + " bytes)");
        }
        PIPLProperty property;
        property.mVendor = ReadUInt32(bytes + offset);
        property.mKey = ReadUInt32(bytes + offset + 4);
        property.mId = ReadUInt32(bytes + offset + 8);
        const std::uint32_t length = ReadUInt32(bytes + offset + 12);
        offset += kPropertyHeaderSize;
        if (length > size - offset)
        {
            return Fail(PIPLError::kLengthPastEnd, error,
                        "property " + std::to_string(index + 1) + " " + FormatCode(property.mKey) +
                            " length " + std::to_string(length) + " runs past the end (" +
                            std::to_string(size - offset) + " bytes left)");
        }
        property.mData.assign(bytes + offset, bytes + offset + length);
        // The padding of the last property may be missing; what follows must still fit.
        const std::size_t padded = (static_cast<std::size_t>(length) + 3) & ~std::size_t{3};
        offset = padded > size - offset ? size : offset + padded;
        resource.mProperties.push_back(std::move(property));
    }
    return PIPLError::kNone;
}

PIPLError ReadPluginInfo(const PIPLResource& resource, PIPLPluginInfo& info, std::string& error)
{
    info = PIPLPluginInfo{};
    const PIPLProperty* kind = FindProperty(resource, Code("kind"));
    if (kind == nullptr || kind->mData.size() != 4)
    {
        return Fail(PIPLError::kNoKind, error,
                    kind == nullptr ? "no 'kind' property" : "'kind' is not 4 bytes");
    }
    info.mKind = ReadUInt32(kind->mData.data());

    const PIPLProperty* entry = FindProperty(resource, Code("8664"));
    if (entry == nullptr)
    {
        return Fail(PIPLError::kNoEntryPoint, error, "no '8664' entry point property");
    }
    const auto* text = reinterpret_cast<const char*>(entry->mData.data());
    const void* nul = entry->mData.empty() ? nullptr : std::memchr(text, 0, entry->mData.size());
    const std::size_t length =
        nul == nullptr ? entry->mData.size() : static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    if (length == 0 || nul == nullptr)
    {
        return Fail(PIPLError::kBadEntryPoint, error,
                    length == 0 ? "'8664' entry point is empty"
                                : "'8664' entry point has no terminating NUL");
    }
    info.mEntryPoint.assign(text, length);

    for (const auto& [key, target] :
         {std::pair{Code("name"), &info.mName}, std::pair{Code("catg"), &info.mCategory}})
    {
        const PIPLProperty* property = FindProperty(resource, key);
        if (property != nullptr && !ReadPascalString(*property, *target))
        {
            return Fail(PIPLError::kBadPascalString, error,
                        FormatCode(key) + " Pascal string longer than its " +
                            std::to_string(property->mData.size()) + " bytes");
        }
    }
    struct IntegerProperty
    {
        std::uint32_t mKey;
        bool* mPresent;
        std::uint32_t* mValue;
    };
    for (const IntegerProperty& integer :
         {IntegerProperty{Code("vers"), &info.mHasVersion, &info.mVersion},
          IntegerProperty{Code("prst"), &info.mHasPersistent, &info.mPersistent}})
    {
        const PIPLProperty* property = FindProperty(resource, integer.mKey);
        if (property == nullptr)
        {
            continue;
        }
        if (property->mData.size() < 4)
        {
            return Fail(PIPLError::kBadInteger, error,
                        FormatCode(integer.mKey) + " has " + std::to_string(property->mData.size()) +
                            " bytes, not a 32-bit value");
        }
        *integer.mPresent = true;
        *integer.mValue = ReadUInt32(property->mData.data());
    }
    return PIPLError::kNone;
}

std::string DescribePluginInfo(const PIPLPluginInfo& info)
{
    char version[16];
    std::snprintf(version, sizeof version, "0x%08x", static_cast<unsigned>(info.mVersion));
    std::string text =
        "kind " + FormatCode(info.mKind) + " name \"" + info.mName + "\" catg \"" + info.mCategory + "\"";
    if (info.mHasVersion)
    {
        text += std::string(" vers ") + version;
    }
    text += " entry \"" + info.mEntryPoint + "\"";
    if (info.mHasPersistent)
    {
        text += " prst " + std::to_string(info.mPersistent);
    }
    return text;
}
