#pragma once
// The error-code layer over the JSON values (category "Miscellaneous"). Parse turns every
// parse failure into CoreErrorCodes::kInvalidParam; the other operations turn their own checks
// into codes and let two exceptions of the value layer through to the caller: the conversion
// error of a string read of invalid UTF-8, and the type error of an element of an integer array
// that is not an integer (or does not fit in 32 bits).
//
// Setters take the value first, then the key, the object to add to and the handle of the new
// member: GJSONUtils::SetValueForKey(width, kWidthKey, root, jsonValue).

#include "GErrorReport.h"
#include "Json.h"

class GJSONUtils
{
public:
    // Parses the text into the parser's tree and hands out its root.
    static TErrorCode Parse(JsonParser& parser, const TUTF8String& text, JsonNode& node);

    // CoreErrorCodes::kNotFound when the node is not an object or has no such key.
    static TErrorCode GetValueForKey(const JsonNode& jsonValue, const TUTF8String& key, JsonNode& value);
    // Typed lookups: the lookup's code, or CoreErrorCodes::kError for a value of another kind
    // (or an integer that does not fit in 32 bits).
    static TErrorCode GetValueForKey(const JsonNode& jsonValue, const TUTF8String& key, TUTF8String& value);
    static TErrorCode GetValueForKey(const JsonNode& jsonValue, const TUTF8String& key, bool& value);
    static TErrorCode GetValueForKey(const JsonNode& jsonValue, const TUTF8String& key, TSInt32& value);
    static TErrorCode GetValueForKey(const JsonNode& jsonValue, const TUTF8String& key,
                                     std::vector<TSInt32>& values);

    // Additions; CoreErrorCodes::kOutOfMemory when the member or element cannot be added.
    static TErrorCode SetValueForKey(const TUTF8String& value, const TUTF8String& key, JsonNode& jsonValue,
                                     JsonNode& newValue);
    static TErrorCode SetValueForKey(const char* value, const TUTF8String& key, JsonNode& jsonValue,
                                     JsonNode& newValue)
    {
        return SetValueForKey(TUTF8String(value), key, jsonValue, newValue);
    }
    static TErrorCode SetValueForKey(bool value, const TUTF8String& key, JsonNode& jsonValue,
                                     JsonNode& newValue);
    static TErrorCode SetValueForKey(TSInt64 value, const TUTF8String& key, JsonNode& jsonValue,
                                     JsonNode& newValue)
    {
        G_FAIL_IF(!jsonValue.add_int64(key, value, newValue), CoreErrorCodes::kOutOfMemory);
        return CoreErrorCodes::kSuccess;
    }
    static TErrorCode SetValueForKey(TSInt32 value, const TUTF8String& key, JsonNode& jsonValue,
                                     JsonNode& newValue)
    {
        return SetValueForKey(static_cast<TSInt64>(value), key, jsonValue, newValue);
    }
    static TErrorCode AddArrayForKey(const TUTF8String& key, JsonNode& jsonValue, JsonNode& newValue);
    static TErrorCode AddMapForKey(const TUTF8String& key, JsonNode& jsonValue, JsonNode& newValue);
    static TErrorCode AddMapToArray(JsonNode& jsonValue, JsonNode& newValue);
    static TErrorCode AddValueToArray(TSInt64 value, JsonNode& jsonValue, JsonNode& newValue);

private:
    // The category of this class's reports, here and in its source file.
    static constexpr const char* kLogCategory = "Miscellaneous";
};
