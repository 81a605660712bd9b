#include "Json.h"

#include "GIconvConversion.h"

#include <yajl/yajl_gen.h>
#include <yajl/yajl_tree.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

const char* const kJsonTargetEncoding = "UTF-8";

static_assert(JsonParser::kMaxNestingDepth == YAJL_MAX_DEPTH - 1, "the generator's nesting limit");

namespace
{
// The tree is freed by yajl_tree_free, which releases everything with free(): values added to
// it are made with malloc.
yajl_val NewValue(yajl_type type)
{
    auto* value = static_cast<yajl_val>(std::malloc(sizeof(yajl_val_s)));
    if (value != nullptr)
    {
        std::memset(value, 0, sizeof(yajl_val_s));
        value->type = type;
    }
    return value;
}

char* CopyText(const char* text)
{
    const std::size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy != nullptr)
    {
        std::memcpy(copy, text, length + 1);
    }
    return copy;
}

yajl_val NewString(const std::string& text)
{
    yajl_val value = NewValue(yajl_t_string);
    if (value != nullptr && (value->u.string = CopyText(text.c_str())) == nullptr)
    {
        std::free(value);
        return nullptr;
    }
    return value;
}

yajl_val NewInteger(TSInt64 integer)
{
    yajl_val value = NewValue(yajl_t_number);
    if (value == nullptr)
    {
        return nullptr;
    }
    value->u.number.i = integer;
    value->u.number.d = static_cast<double>(integer);
    value->u.number.flags = YAJL_NUMBER_INT_VALID;
    value->u.number.r = CopyText(std::to_string(integer).c_str());
    if (value->u.number.r == nullptr)
    {
        std::free(value);
        return nullptr;
    }
    return value;
}

std::string DoubleText(double number)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general);
    return std::string(buffer, result.ptr);
}

// How a type error describes the value it found.
std::string Describe(const yajl_val value)
{
    if (value == nullptr)
    {
        return std::string();
    }
    switch (value->type)
    {
    case yajl_t_string:
        return " STRING: " + std::string(value->u.string);
    case yajl_t_number:
        if ((value->u.number.flags & YAJL_NUMBER_INT_VALID) != 0)
        {
            return " INTEGER: " + std::to_string(value->u.number.i);
        }
        return " DOUBLE: " + DoubleText(value->u.number.d);
    case yajl_t_object:
        return " OBJECT";
    case yajl_t_array:
        return " ARRAY";
    case yajl_t_true:
        return " BOOLEAN: true";
    case yajl_t_false:
        return " BOOLEAN: false";
    default:
        return std::string();
    }
}

// The deepest nesting of arrays and objects in the text, counted the way yajl reads it (strings
// and comments hold no structure), stopping as soon as it passes the limit.
std::size_t NestingDepth(const std::string& text, std::size_t limit)
{
    std::size_t depth = 0;
    std::size_t deepest = 0;
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i)
    {
        switch (text[i])
        {
        case '"':
            for (++i; i < size && text[i] != '"'; ++i)
            {
                if (text[i] == '\\')
                {
                    ++i;
                }
            }
            break;
        case '/':
            if (i + 1 < size && text[i + 1] == '/')
            {
                i = text.find('\n', i + 2);
                i = (i == std::string::npos) ? size : i;
            }
            else if (i + 1 < size && text[i + 1] == '*')
            {
                i = text.find("*/", i + 2);
                i = (i == std::string::npos) ? size : i + 1;
            }
            break;
        case '[':
        case '{':
            ++depth;
            deepest = depth > deepest ? depth : deepest;
            if (deepest > limit)
            {
                return deepest;
            }
            break;
        case ']':
        case '}':
            depth = depth > 0 ? depth - 1 : 0;
            break;
        default:
            break;
        }
    }
    return deepest;
}

const char* GeneratorMessage(yajl_gen_status status)
{
    switch (status)
    {
    case yajl_gen_keys_must_be_strings:
        return "A JSON key that is not a string was passed to the JSON generator";
    case yajl_max_depth_exceeded:
        return "The JSON generator's maximum nesting depth was exceeded";
    case yajl_gen_in_error_state:
        return "The JSON generator was called in an error state";
    case yajl_gen_generation_complete:
        return "The JSON generator has already completed its document";
    case yajl_gen_invalid_number:
        return "An invalid floating point value was passed to the JSON generator (infinity or NaN)";
    case yajl_gen_no_buf:
        return "The JSON generator has no buffer";
    case yajl_gen_invalid_string:
        return "An invalid UTF-8 string was passed to the JSON generator";
    default:
        return "The JSON generator failed";
    }
}

void Check(yajl_gen_status status)
{
    if (status != yajl_gen_status_ok)
    {
        throw std::runtime_error(GeneratorMessage(status));
    }
}

void Emit(yajl_gen generator, const yajl_val value)
{
    if (value == nullptr)
    {
        Check(yajl_gen_null(generator));
        return;
    }
    switch (value->type)
    {
    case yajl_t_string:
        Check(yajl_gen_string(generator, reinterpret_cast<const unsigned char*>(value->u.string),
                              std::strlen(value->u.string)));
        break;
    case yajl_t_number:
        if (value->u.number.r != nullptr)
        {
            Check(yajl_gen_number(generator, value->u.number.r, std::strlen(value->u.number.r)));
        }
        else if ((value->u.number.flags & YAJL_NUMBER_INT_VALID) != 0)
        {
            Check(yajl_gen_integer(generator, value->u.number.i));
        }
        else
        {
            Check(yajl_gen_double(generator, value->u.number.d));
        }
        break;
    case yajl_t_object:
        Check(yajl_gen_map_open(generator));
        for (std::size_t i = 0; i < value->u.object.len; ++i)
        {
            const char* key = value->u.object.keys[i];
            Check(yajl_gen_string(generator, reinterpret_cast<const unsigned char*>(key), std::strlen(key)));
            Emit(generator, value->u.object.values[i]);
        }
        Check(yajl_gen_map_close(generator));
        break;
    case yajl_t_array:
        Check(yajl_gen_array_open(generator));
        for (std::size_t i = 0; i < value->u.array.len; ++i)
        {
            Emit(generator, value->u.array.values[i]);
        }
        Check(yajl_gen_array_close(generator));
        break;
    case yajl_t_true:
        Check(yajl_gen_bool(generator, 1));
        break;
    case yajl_t_false:
        Check(yajl_gen_bool(generator, 0));
        break;
    default:
        Check(yajl_gen_null(generator));
        break;
    }
}
} // namespace

bool JsonNode::find(const std::string& key, JsonNode& node) const
{
    if (!is_map())
    {
        return false;
    }
    for (std::size_t i = 0; i < mpValue->u.object.len; ++i)
    {
        if (key == mpValue->u.object.keys[i])
        {
            node = JsonNode(key, mpValue->u.object.values[i]);
            return true;
        }
    }
    return false;
}

JsonNode JsonNode::get(const std::string& key) const
{
    JsonNode node;
    if (!find(key, node))
    {
        throw std::runtime_error("JSON node \"" + key + "\" not found");
    }
    return node;
}

std::vector<JsonNode> JsonNode::members() const
{
    std::vector<JsonNode> result;
    if (is_map())
    {
        result.reserve(mpValue->u.object.len);
        for (std::size_t i = 0; i < mpValue->u.object.len; ++i)
        {
            result.emplace_back(mpValue->u.object.keys[i], mpValue->u.object.values[i]);
        }
    }
    return result;
}

bool JsonNode::is_map() const
{
    return mpValue != nullptr && mpValue->type == yajl_t_object;
}

bool JsonNode::is_array() const
{
    return mpValue != nullptr && mpValue->type == yajl_t_array;
}

bool JsonNode::is_string() const
{
    return mpValue != nullptr && mpValue->type == yajl_t_string;
}

bool JsonNode::is_bool() const
{
    return mpValue != nullptr && (mpValue->type == yajl_t_true || mpValue->type == yajl_t_false);
}

bool JsonNode::is_int() const
{
    return mpValue != nullptr && mpValue->type == yajl_t_number &&
           (mpValue->u.number.flags & YAJL_NUMBER_INT_VALID) != 0;
}

bool JsonNode::is_null() const
{
    return mpValue != nullptr && mpValue->type == yajl_t_null;
}

void JsonNode::ThrowTypeError(const char* expected) const
{
    throw std::runtime_error("Expected JSON node \"" + mName + "\" to be " + expected + ", found" +
                             Describe(mpValue));
}

std::string JsonNode::to_string() const
{
    if (!is_string())
    {
        ThrowTypeError("STRING");
    }
    return IconvConvert(mpValue->u.string, kJsonTargetEncoding, "UTF-8");
}

TSInt32 JsonNode::to_int() const
{
    const TSInt64 integer = to_int64();
    if (integer < std::numeric_limits<TSInt32>::min() || integer > std::numeric_limits<TSInt32>::max())
    {
        throw std::runtime_error("JSON node \"" + mName + "\" holds the integer " + std::to_string(integer) +
                                 ", which does not fit in 32 bits");
    }
    return static_cast<TSInt32>(integer);
}

TSInt64 JsonNode::to_int64() const
{
    if (!is_int())
    {
        ThrowTypeError("INTEGER");
    }
    return mpValue->u.number.i;
}

bool JsonNode::to_bool() const
{
    if (!is_bool())
    {
        ThrowTypeError("BOOLEAN");
    }
    return mpValue->type == yajl_t_true;
}

std::vector<JsonNode> JsonNode::to_array() const
{
    if (!is_array())
    {
        ThrowTypeError("ARRAY");
    }
    std::vector<JsonNode> elements;
    elements.reserve(mpValue->u.array.len);
    for (std::size_t i = 0; i < mpValue->u.array.len; ++i)
    {
        elements.emplace_back(mName + "[" + std::to_string(i) + "]", mpValue->u.array.values[i]);
    }
    return elements;
}

bool JsonNode::AddMember(const std::string& key, yajl_val value, JsonNode& node)
{
    if (value == nullptr)
    {
        return false;
    }
    char* keyCopy = CopyText(key.c_str());
    if (!is_map() || keyCopy == nullptr)
    {
        std::free(keyCopy);
        yajl_tree_free(value);
        return false;
    }
    auto& object = mpValue->u.object;
    // Each array grows on its own; when the second cannot, the first is merely larger than needed.
    auto* keys = static_cast<const char**>(std::realloc(object.keys, sizeof(const char*) * (object.len + 1)));
    if (keys != nullptr)
    {
        object.keys = keys;
    }
    auto* values =
        keys == nullptr
            ? nullptr
            : static_cast<yajl_val*>(std::realloc(object.values, sizeof(yajl_val) * (object.len + 1)));
    if (values == nullptr)
    {
        std::free(keyCopy);
        yajl_tree_free(value);
        return false;
    }
    object.values = values;
    object.keys[object.len] = keyCopy;
    object.values[object.len] = value;
    ++object.len;
    node = JsonNode(key, value);
    return true;
}

bool JsonNode::AddElement(yajl_val value, JsonNode& node)
{
    if (value == nullptr)
    {
        return false;
    }
    if (!is_array())
    {
        yajl_tree_free(value);
        return false;
    }
    auto& array = mpValue->u.array;
    auto* values = static_cast<yajl_val*>(std::realloc(array.values, sizeof(yajl_val) * (array.len + 1)));
    if (values == nullptr)
    {
        yajl_tree_free(value);
        return false;
    }
    array.values = values;
    array.values[array.len] = value;
    ++array.len;
    node = JsonNode(std::string(), value);
    return true;
}

bool JsonNode::add_string(const std::string& key, const std::string& value, JsonNode& node)
{
    return AddMember(key, NewString(value), node);
}

bool JsonNode::add_bool(const std::string& key, bool value, JsonNode& node)
{
    return AddMember(key, NewValue(value ? yajl_t_true : yajl_t_false), node);
}

bool JsonNode::add_int64(const std::string& key, TSInt64 value, JsonNode& node)
{
    return AddMember(key, NewInteger(value), node);
}

bool JsonNode::add_array(const std::string& key, JsonNode& node)
{
    return AddMember(key, NewValue(yajl_t_array), node);
}

bool JsonNode::add_map(const std::string& key, JsonNode& node)
{
    return AddMember(key, NewValue(yajl_t_object), node);
}

bool JsonNode::add_map(JsonNode& node)
{
    return AddElement(NewValue(yajl_t_object), node);
}

bool JsonNode::add_int64(TSInt64 value, JsonNode& node)
{
    return AddElement(NewInteger(value), node);
}

JsonParser::~JsonParser()
{
    Free();
}

void JsonParser::Free()
{
    if (mpTree != nullptr)
    {
        yajl_tree_free(mpTree);
        mpTree = nullptr;
    }
}

void JsonParser::parse(const std::string& text)
{
    Free();
    // yajl reads a NUL-terminated text, and freeing a tree recurses once per level: a text that
    // would be cut short or nest without bound is refused before yajl sees it.
    if (text.find('\0') != std::string::npos)
    {
        throw std::runtime_error("JSON parse error:\nNUL character in the text");
    }
    if (NestingDepth(text, kMaxNestingDepth) > kMaxNestingDepth)
    {
        throw std::runtime_error("JSON parse error:\nnesting deeper than " +
                                 std::to_string(kMaxNestingDepth) + " levels");
    }
    char error[1024] = {};
    mpTree = yajl_tree_parse(text.c_str(), error, sizeof error);
    if (mpTree == nullptr)
    {
        throw std::runtime_error(std::string("JSON parse error:\n") + error);
    }
}

JsonNode JsonParser::root() const
{
    if (mpTree == nullptr)
    {
        throw std::runtime_error("No JSON loaded in parser");
    }
    return JsonNode("root", mpTree);
}

std::string JsonGenerator::serialize(const JsonNode& node)
{
    const std::unique_ptr<yajl_gen_t, void (*)(yajl_gen)> generator(yajl_gen_alloc(nullptr), yajl_gen_free);
    if (!generator)
    {
        throw std::bad_alloc();
    }
    yajl_gen_config(generator.get(), yajl_gen_validate_utf8, 1);
    Emit(generator.get(), node.value());
    const unsigned char* buffer = nullptr;
    std::size_t length = 0;
    Check(yajl_gen_get_buf(generator.get(), &buffer, &length));
    return std::string(reinterpret_cast<const char*>(buffer), length);
}
