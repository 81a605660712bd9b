// GJSONUtils::Parse on arbitrary bytes, then every typed read of every member, and the generator:
// what is parsed and written once must read back and be written the same way again.

#include "GJSONUtils.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace
{
// The typed reads a panel handler makes. Their codes are fine whatever they are; the two
// exceptions the reads may let through are runtime errors, anything else is a finding.
void ReadMembers(const JsonNode& object, int depth)
{
    for (const JsonNode& member : object.members())
    {
        TUTF8String text;
        bool flag = false;
        TSInt32 integer = 0;
        std::vector<TSInt32> integers;
        JsonNode node;
        GJSONUtils::GetValueForKey(object, member.name(), node);
        GJSONUtils::GetValueForKey(object, member.name(), flag);
        GJSONUtils::GetValueForKey(object, member.name(), integer);
        try
        {
            GJSONUtils::GetValueForKey(object, member.name(), text);
        }
        catch (const std::runtime_error&)
        {
        }
        try
        {
            GJSONUtils::GetValueForKey(object, member.name(), integers);
        }
        catch (const std::runtime_error&)
        {
        }
        if (member.is_map())
        {
            ReadMembers(member, depth + 1);
        }
        else if (member.is_array())
        {
            for (const JsonNode& element : member.to_array())
            {
                ReadMembers(element, depth + 1);
            }
        }
    }
}

std::string SerializeOrEmpty(const JsonNode& node)
{
    try
    {
        return JsonGenerator::serialize(node);
    }
    catch (const std::runtime_error&)
    {
        return std::string();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    JsonParser parser;
    JsonNode root;
    if (GJSONUtils::Parse(parser, text, root) != CoreErrorCodes::kSuccess)
    {
        return 0;
    }
    ReadMembers(root, 0);

    const std::string written = SerializeOrEmpty(root);
    if (!written.empty())
    {
        JsonParser again;
        JsonNode rootAgain;
        if (GJSONUtils::Parse(again, written, rootAgain) != CoreErrorCodes::kSuccess ||
            SerializeOrEmpty(rootAgain) != written)
        {
            std::fprintf(stderr, "round trip changed '%s'\n", written.c_str());
            std::abort();
        }
    }

    // A reply built on the parsed tree.
    JsonNode member;
    if (root.is_map())
    {
        GJSONUtils::SetValueForKey("reply", "messageID", root, member);
        GJSONUtils::SetValueForKey(TSInt64(size), "size", root, member);
        SerializeOrEmpty(root);
    }
    return 0;
}
