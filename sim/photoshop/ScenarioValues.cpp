#include "ScenarioValues.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <yajl/yajl_tree.h>

#ifdef _WIN32
#include "GStringEncodings.h"
#endif

namespace
{
bool ValueFromJson(const JsonNode& node, ActionValue& value)
{
    if (node.is_bool())
    {
        value = ActionValue::Boolean(node.to_bool());
    }
    else if (node.is_int())
    {
        value = ActionValue::Integer(node.to_int());
    }
    else if (node.value() != nullptr && YAJL_IS_DOUBLE(node.value()))
    {
        value = ActionValue::Float(node.value()->u.number.d);
    }
    else if (node.is_string())
    {
        value = ActionValue::Text(node.to_string());
    }
    else
    {
        return false;
    }
    return true;
}

bool TypeFromText(const std::string& text, DescriptorTypeID& type)
{
    for (const DescriptorTypeID known :
         {kTypeInteger, kTypeFloat, kTypeUnitFloat, kTypeText, kTypeBoolean, kTypeList, kTypeObject,
          kTypeGlobalObject, kTypeEnumerated, kTypeReference, kTypeClass, kTypeGlobalClass, kTypeAlias})
    {
        std::uint32_t code = 0;
        if (ParseCode(text, code) && code == known)
        {
            type = known;
            return true;
        }
    }
    return false;
}
} // namespace

bool KeyFromText(const std::string& text, StringIDTable& ids, DescriptorKeyID& key)
{
    if (text.empty())
    {
        return false;
    }
    key = ids.ToTypeID(text);
    return true;
}

bool DescriptorFromJson(const JsonNode& object, StringIDTable& ids, ActionDescriptorData& data,
                        std::string& error)
{
    if (!object.is_map())
    {
        error = "the descriptor is not an object";
        return false;
    }
    for (const JsonNode& member : object.members())
    {
        DescriptorKeyID key = 0;
        ActionValue value;
        if (!KeyFromText(member.name(), ids, key) || !ValueFromJson(member, value))
        {
            error = "descriptor key \"" + member.name() + "\": only integers, numbers, strings and booleans";
            return false;
        }
        data.Put(key, value);
    }
    return true;
}

bool CheckDescriptor(const ActionDescriptorData& actual, const JsonNode& expected, StringIDTable& ids,
                     std::vector<std::string>& problems, std::string& error)
{
    if (!expected.is_map())
    {
        error = "the expected descriptor is not an object";
        return false;
    }
    for (const JsonNode& member : expected.members())
    {
        DescriptorKeyID key = 0;
        if (!KeyFromText(member.name(), ids, key))
        {
            error = "empty descriptor key";
            return false;
        }
        const ActionValue* value = actual.Find(key);
        const std::string name = FormatCode(key);
        const std::string found = value != nullptr ? DescribeValue(*value) : std::string("no such key");
        if (member.is_null())
        {
            if (value != nullptr)
            {
                problems.push_back("descriptor key " + name + ": expected absent, found " + found);
            }
            continue;
        }
        ActionValue wanted;
        bool checkValue = true;
        if (member.is_map())
        {
            JsonNode type;
            JsonNode exact;
            if (!member.find("type", type) || !type.is_string() ||
                !TypeFromText(type.to_string(), wanted.mType))
            {
                error = "descriptor key \"" + member.name() + "\": {\"type\": ...} names no known type";
                return false;
            }
            checkValue = member.find("value", exact);
            const DescriptorTypeID declared = wanted.mType;
            if (checkValue && (!ValueFromJson(exact, wanted) || wanted.mType != declared))
            {
                error = "descriptor key \"" + member.name() + "\": \"value\" is not of the type named";
                return false;
            }
        }
        else if (!ValueFromJson(member, wanted))
        {
            error = "descriptor key \"" + member.name() + "\": unreadable expected value";
            return false;
        }
        if (value == nullptr || value->mType != wanted.mType || (checkValue && !(*value == wanted)))
        {
            problems.push_back(
                "descriptor key " + name + ": expected " +
                (checkValue ? DescribeValue(wanted) : FormatCode(wanted.mType) + " (any value)") +
                ", found " + found);
        }
    }
    return true;
}

bool GetEnvironment(const std::string& name, std::string& value)
{
    if (name.empty())
    {
        return false;
    }
#ifdef _WIN32
    const wchar_t* wide = _wgetenv(OSMakeOSStringFromUTF8String(name).c_str());
    if (wide != nullptr)
    {
        value = OSMakeUTF8StringFromOSString(wide);
    }
    return wide != nullptr;
#else
    const char* narrow = std::getenv(name.c_str());
    if (narrow != nullptr)
    {
        value = narrow;
    }
    return narrow != nullptr;
#endif
}

bool ExpandEnvironment(const std::string& text, std::string& expanded, std::string& error)
{
    expanded.clear();
    std::size_t position = 0;
    while (position < text.size())
    {
        const std::size_t start = text.find("${", position);
        if (start == std::string::npos)
        {
            break;
        }
        const std::size_t end = text.find('}', start + 2);
        if (end == std::string::npos)
        {
            break;
        }
        const std::string name = text.substr(start + 2, end - start - 2);
        std::string value;
        const bool found = GetEnvironment(name, value);
        if (!found)
        {
            error = "environment variable \"" + name + "\" is not set";
            return false;
        }
        expanded += text.substr(position, start - position) + value;
        position = end + 1;
    }
    expanded += text.substr(position);
    return true;
}

bool ReadFileLines(const std::string& path, std::vector<std::string>& lines)
{
    lines.clear();
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!in)
    {
        return false;
    }
    std::string line;
    while (std::getline(in, line))
    {
        if (!line.empty() && line.back() == '\r')
        {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return true;
}
