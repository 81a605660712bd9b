#include "StringIDTable.h"

#include "ActionModel.h"

namespace
{
// The known identifiers with both names (the ones the document model and its events use).
struct KnownID
{
    const char* mStringID;
    const char* mCode;
};

constexpr KnownID kKnownIDs[] = {
    {"application", "capp"},   {"close", "Cls "},   {"document", "Dcmn"}, {"documentID", "DocI"},
    {"fileReference", "FilR"}, {"make", "Mk  "},    {"new", "Nw  "},      {"numberOfDocuments", "NmbD"},
    {"open", "Opn "},          {"ordinal", "Ordn"}, {"property", "Prpr"}, {"save", "save"},
    {"targetEnum", "Trgt"},    {"title", "Ttl "},
};

constexpr DescriptorTypeID kRuntimeIDMask = 0x007FFFFF;
constexpr DescriptorTypeID kRuntimeIDBase = 0x00800000;

// FNV-1a over the text, folded into the run-time range.
DescriptorTypeID RuntimeID(const std::string& text)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : text)
    {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return kRuntimeIDBase | (hash & kRuntimeIDMask);
}
} // namespace

StringIDTable::StringIDTable()
{
    for (const KnownID& known : kKnownIDs)
    {
        std::uint32_t code = 0;
        ParseCode(known.mCode, code);
        mToTypeID[known.mStringID] = code;
        mToStringID[code] = known.mStringID;
    }
}

DescriptorTypeID StringIDTable::ToTypeID(const std::string& stringID)
{
    std::uint32_t code = 0;
    if (ParseCode(stringID, code))
    {
        return code;
    }
    std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mToTypeID.find(stringID);
    if (found != mToTypeID.end())
    {
        return found->second;
    }
    // A collision moves on to the next free ID within the run-time range.
    DescriptorTypeID id = RuntimeID(stringID);
    while (mToStringID.count(id) != 0)
    {
        id = kRuntimeIDBase | ((id + 1) & kRuntimeIDMask);
    }
    mToTypeID[stringID] = id;
    mToStringID[id] = stringID;
    return id;
}

bool StringIDTable::ToStringID(DescriptorTypeID typeID, std::string& stringID) const
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        const auto found = mToStringID.find(typeID);
        if (found != mToStringID.end())
        {
            stringID = found->second;
            return true;
        }
    }
    const std::string code = FormatCode(typeID);
    if (code.front() != '\'')
    {
        return false;
    }
    stringID = code.substr(1, 4);
    return true;
}

std::string StringIDTable::Describe(DescriptorTypeID typeID) const
{
    std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mToStringID.find(typeID);
    if (found != mToStringID.end() && (typeID & 0xFF000000) == 0)
    {
        return found->second;
    }
    return FormatCode(typeID);
}
