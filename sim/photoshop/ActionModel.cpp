#include "ActionModel.h"

#include <charconv>
#include <cstdio>

ActionValue ActionValue::Integer(std::int32_t value)
{
    ActionValue result;
    result.mType = kTypeInteger;
    result.mInteger = value;
    return result;
}

ActionValue ActionValue::Float(double value)
{
    ActionValue result;
    result.mType = kTypeFloat;
    result.mFloat = value;
    return result;
}

ActionValue ActionValue::UnitFloat(DescriptorUnitID unit, double value)
{
    ActionValue result;
    result.mType = kTypeUnitFloat;
    result.mCode = unit;
    result.mFloat = value;
    return result;
}

ActionValue ActionValue::Text(std::string value)
{
    ActionValue result;
    result.mType = kTypeText;
    result.mText = std::move(value);
    return result;
}

ActionValue ActionValue::Boolean(bool value)
{
    ActionValue result;
    result.mType = kTypeBoolean;
    result.mBoolean = value;
    return result;
}

ActionValue ActionValue::Enumerated(DescriptorEnumTypeID type, DescriptorEnumID value)
{
    ActionValue result;
    result.mType = kTypeEnumerated;
    result.mCode = type;
    result.mCode2 = value;
    return result;
}

ActionValue ActionValue::Class(DescriptorTypeID type, DescriptorClassID value)
{
    ActionValue result;
    result.mType = type;
    result.mCode = value;
    return result;
}

ActionValue ActionValue::Object(DescriptorTypeID type, DescriptorClassID objectClass,
                                const ActionDescriptorData& value)
{
    ActionValue result;
    result.mType = type;
    result.mCode = objectClass;
    result.mObject = std::make_shared<const ActionDescriptorData>(value);
    return result;
}

ActionValue ActionValue::Reference(const ActionReferenceData& value)
{
    ActionValue result;
    result.mType = kTypeReference;
    result.mReference = std::make_shared<const ActionReferenceData>(value);
    return result;
}

ActionValue ActionValue::List(const ActionListData& value)
{
    ActionValue result;
    result.mType = kTypeList;
    result.mList = std::make_shared<const ActionListData>(value);
    return result;
}

ActionValue ActionValue::Alias(std::vector<std::uint8_t> bytes)
{
    ActionValue result;
    result.mType = kTypeAlias;
    result.mBytes = std::move(bytes);
    return result;
}

namespace
{
template <typename T>
bool SharedEqual(const std::shared_ptr<const T>& a, const std::shared_ptr<const T>& b)
{
    if (a == nullptr || b == nullptr)
    {
        return a == b;
    }
    return *a == *b;
}
} // namespace

bool operator==(const ActionValue& a, const ActionValue& b)
{
    if (a.mType != b.mType)
    {
        return false;
    }
    switch (a.mType)
    {
    case kTypeInteger:
        return a.mInteger == b.mInteger;
    case kTypeFloat:
        return a.mFloat == b.mFloat;
    case kTypeUnitFloat:
        return a.mCode == b.mCode && a.mFloat == b.mFloat;
    case kTypeText:
        return a.mText == b.mText;
    case kTypeBoolean:
        return a.mBoolean == b.mBoolean;
    case kTypeList:
        return SharedEqual(a.mList, b.mList);
    case kTypeObject:
    case kTypeGlobalObject:
        return a.mCode == b.mCode && SharedEqual(a.mObject, b.mObject);
    case kTypeEnumerated:
        return a.mCode == b.mCode && a.mCode2 == b.mCode2;
    case kTypeReference:
        return SharedEqual(a.mReference, b.mReference);
    case kTypeClass:
    case kTypeGlobalClass:
        return a.mCode == b.mCode;
    case kTypeAlias:
        return a.mBytes == b.mBytes;
    default:
        return true;
    }
}

const ActionValue* ActionDescriptorData::Find(DescriptorKeyID key) const
{
    for (const auto& item : mItems)
    {
        if (item.first == key)
        {
            return &item.second;
        }
    }
    return nullptr;
}

void ActionDescriptorData::Put(DescriptorKeyID key, ActionValue value)
{
    for (auto& item : mItems)
    {
        if (item.first == key)
        {
            item.second = std::move(value);
            return;
        }
    }
    mItems.emplace_back(key, std::move(value));
}

bool ActionDescriptorData::Erase(DescriptorKeyID key)
{
    for (auto it = mItems.begin(); it != mItems.end(); ++it)
    {
        if (it->first == key)
        {
            mItems.erase(it);
            return true;
        }
    }
    return false;
}

// Descriptors compare as sets of keys: the order in which the keys were put does not matter.
bool operator==(const ActionDescriptorData& a, const ActionDescriptorData& b)
{
    if (a.mItems.size() != b.mItems.size())
    {
        return false;
    }
    for (const auto& item : a.mItems)
    {
        const ActionValue* other = b.Find(item.first);
        if (other == nullptr || !(item.second == *other))
        {
            return false;
        }
    }
    return true;
}

bool operator==(const ActionReferenceItem& a, const ActionReferenceItem& b)
{
    return a.mDesiredClass == b.mDesiredClass && a.mForm == b.mForm && a.mValue == b.mValue &&
           a.mEnumType == b.mEnumType && a.mOffset == b.mOffset && a.mName == b.mName;
}

bool operator==(const ActionReferenceData& a, const ActionReferenceData& b)
{
    return a.mItems == b.mItems;
}

bool operator==(const ActionListData& a, const ActionListData& b)
{
    return a.mItems == b.mItems;
}

std::string FormatCode(std::uint32_t code)
{
    char text[16];
    bool printable = true;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const unsigned char c = static_cast<unsigned char>(code >> shift);
        printable = printable && c >= 0x20 && c < 0x7F;
    }
    if (printable)
    {
        std::snprintf(text, sizeof text, "'%c%c%c%c'", static_cast<char>(code >> 24),
                      static_cast<char>(code >> 16), static_cast<char>(code >> 8), static_cast<char>(code));
    }
    else
    {
        std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(code));
    }
    return text;
}

bool ParseCode(const std::string& text, std::uint32_t& code)
{
    if (text.size() != 4)
    {
        return false;
    }
    code = 0;
    for (const char c : text)
    {
        code = (code << 8) | static_cast<unsigned char>(c);
    }
    return true;
}

namespace
{
std::string FormatDouble(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string Quote(const std::string& text)
{
    std::string result = "\"";
    for (const char c : text)
    {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
        {
            result += '\\';
            result += c;
        }
        else if (byte < 0x20 || byte == 0x7F)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            result += escaped;
        }
        else
        {
            result += c;
        }
    }
    return result + "\"";
}
} // namespace

std::string DescribeValue(const ActionValue& value)
{
    const std::string type = FormatCode(value.mType).substr(1, 4);
    switch (value.mType)
    {
    case kTypeInteger:
        return "long " + std::to_string(value.mInteger);
    case kTypeFloat:
        return "doub " + FormatDouble(value.mFloat);
    case kTypeUnitFloat:
        return "UntF " + FormatCode(value.mCode) + " " + FormatDouble(value.mFloat);
    case kTypeText:
        return "TEXT " + Quote(value.mText);
    case kTypeBoolean:
        return value.mBoolean ? "bool true" : "bool false";
    case kTypeList:
        return "VlLs " + (value.mList ? DescribeList(*value.mList) : std::string("[]"));
    case kTypeObject:
    case kTypeGlobalObject:
        return type + " " + FormatCode(value.mCode) + " " +
               (value.mObject ? DescribeDescriptor(*value.mObject) : std::string("{}"));
    case kTypeEnumerated:
        return "enum " + FormatCode(value.mCode) + " " + FormatCode(value.mCode2);
    case kTypeReference:
        return "obj  " + (value.mReference ? DescribeReference(*value.mReference) : std::string("<>"));
    case kTypeClass:
    case kTypeGlobalClass:
        return type + " " + FormatCode(value.mCode);
    case kTypeAlias:
        return "alis " + std::to_string(value.mBytes.size()) + " bytes";
    default:
        return FormatCode(value.mType);
    }
}

std::string DescribeDescriptor(const ActionDescriptorData& descriptor)
{
    std::string text = "{";
    for (std::size_t i = 0; i < descriptor.mItems.size(); ++i)
    {
        text += (i == 0 ? "" : ", ") + FormatCode(descriptor.mItems[i].first) + ": " +
                DescribeValue(descriptor.mItems[i].second);
    }
    return text + "}";
}

std::string DescribeReference(const ActionReferenceData& reference)
{
    std::string text = "<";
    for (std::size_t i = 0; i < reference.mItems.size(); ++i)
    {
        const ActionReferenceItem& item = reference.mItems[i];
        text += (i == 0 ? "" : " of ") + FormatCode(item.mDesiredClass) + " ";
        switch (item.mForm)
        {
        case kFormProperty:
            text += "property " + FormatCode(item.mValue);
            break;
        case kFormEnumerated:
            text += "ordinal " + FormatCode(item.mEnumType) + " " + FormatCode(item.mValue);
            break;
        case kFormIndex:
            text += "index " + std::to_string(item.mValue);
            break;
        case kFormIdentifier:
            text += "identifier " + std::to_string(item.mValue);
            break;
        case kFormName:
            text += "name " + Quote(item.mName);
            break;
        case kFormOffset:
            text += "offset " + std::to_string(item.mOffset);
            break;
        case kFormClass:
            text += "class";
            break;
        default:
            text += "form " + FormatCode(item.mForm);
            break;
        }
    }
    return text + ">";
}

std::string DescribeList(const ActionListData& list)
{
    std::string text = "[";
    for (std::size_t i = 0; i < list.mItems.size(); ++i)
    {
        text += (i == 0 ? "" : ", ") + DescribeValue(list.mItems[i]);
    }
    return text + "]";
}
