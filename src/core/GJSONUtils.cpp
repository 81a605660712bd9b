#include "GJSONUtils.h"

#include <exception>
#include <limits>

// Reports of this file go to GJSONUtils::kLogCategory ("Miscellaneous").

TErrorCode GJSONUtils::Parse(JsonParser& parser, const TUTF8String& text, JsonNode& node)
{
    GLogger::GetInstance().LogDebug(kLogCategory, "Attempting to parse JSON: %s", text.c_str());
    try
    {
        parser.parse(text);
        node = parser.root();
    }
    catch (const std::exception&)
    {
        GLogger::GetInstance().LogError(kLogCategory, "Failed to parse JSON: %s", text.c_str());
        const bool err = true;
        G_FAIL_IF(err, CoreErrorCodes::kInvalidParam);
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::GetValueForKey(const JsonNode& jsonValue, const TUTF8String& key, JsonNode& value)
{
    G_FAIL_IF(!jsonValue.find(key, value), CoreErrorCodes::kNotFound);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::GetValueForKey(const JsonNode& jsonValue, const TUTF8String& key, TUTF8String& value)
{
    JsonNode valueObject;
    G_FAIL_IF_ERROR_AT(GLogger::kDebug, GetValueForKey(jsonValue, key, valueObject));
    G_FAIL_IF_AT(GLogger::kDebug, !valueObject.is_string(), CoreErrorCodes::kError);
    value = valueObject.to_string();
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::GetValueForKey(const JsonNode& jsonValue, const TUTF8String& key, bool& value)
{
    JsonNode valueObject;
    G_FAIL_IF_ERROR_AT(GLogger::kDebug, GetValueForKey(jsonValue, key, valueObject));
    G_FAIL_IF_AT(GLogger::kDebug, !valueObject.is_bool(), CoreErrorCodes::kError);
    value = valueObject.to_bool();
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::GetValueForKey(const JsonNode& jsonValue, const TUTF8String& key, TSInt32& value)
{
    JsonNode valueObject;
    G_FAIL_IF_ERROR_AT(GLogger::kDebug, GetValueForKey(jsonValue, key, valueObject));
    G_FAIL_IF_AT(GLogger::kDebug, !valueObject.is_int(), CoreErrorCodes::kError);
    const TSInt64 integer = valueObject.to_int64();
    G_FAIL_IF_AT(GLogger::kDebug,
                 integer < std::numeric_limits<TSInt32>::min() ||
                     integer > std::numeric_limits<TSInt32>::max(),
                 CoreErrorCodes::kError);
    value = static_cast<TSInt32>(integer);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::GetValueForKey(const JsonNode& jsonValue, const TUTF8String& key,
                                      std::vector<TSInt32>& values)
{
    JsonNode valueObject;
    G_FAIL_IF_ERROR_AT(GLogger::kDebug, GetValueForKey(jsonValue, key, valueObject));
    G_FAIL_IF_AT(GLogger::kDebug, !valueObject.is_array(), CoreErrorCodes::kError);
    std::vector<TSInt32> integers;
    for (const JsonNode& element : valueObject.to_array())
    {
        integers.push_back(element.to_int());
    }
    values = std::move(integers);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::SetValueForKey(const TUTF8String& value, const TUTF8String& key, JsonNode& jsonValue,
                                      JsonNode& newValue)
{
    G_FAIL_IF(!jsonValue.add_string(key, value, newValue), CoreErrorCodes::kOutOfMemory);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::SetValueForKey(bool value, const TUTF8String& key, JsonNode& jsonValue,
                                      JsonNode& newValue)
{
    G_FAIL_IF(!jsonValue.add_bool(key, value, newValue), CoreErrorCodes::kOutOfMemory);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::AddArrayForKey(const TUTF8String& key, JsonNode& jsonValue, JsonNode& newValue)
{
    G_FAIL_IF(!jsonValue.add_array(key, newValue), CoreErrorCodes::kOutOfMemory);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::AddMapForKey(const TUTF8String& key, JsonNode& jsonValue, JsonNode& newValue)
{
    G_FAIL_IF(!jsonValue.add_map(key, newValue), CoreErrorCodes::kOutOfMemory);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::AddMapToArray(JsonNode& jsonValue, JsonNode& newValue)
{
    G_FAIL_IF(!jsonValue.add_map(newValue), CoreErrorCodes::kOutOfMemory);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GJSONUtils::AddValueToArray(TSInt64 value, JsonNode& jsonValue, JsonNode& newValue)
{
    G_FAIL_IF(!jsonValue.add_int64(value, newValue), CoreErrorCodes::kOutOfMemory);
    return CoreErrorCodes::kSuccess;
}
