#pragma once
// JSON values on yajl's tree: a parser that owns a parsed tree, handles to the values of the tree
// with typed reads and additions, and a generator that writes a tree as compact UTF-8 text.
//
// This layer reports failures by throwing std::runtime_error (GJSONUtils turns them into error
// codes where it should). A number keeps its text and, as far as they are valid, its 64-bit
// integer and double forms: is_int is false for 1.5 and for integers beyond 64 bits.

#include "GNoncopyable.h"
#include "GTypes.h"

#include <string>
#include <vector>

struct yajl_val_s;

// The encoding that string reads convert to.
extern const char* const kJsonTargetEncoding;

// A handle to a value of a tree: a name and a pointer to the value, which the tree owns. Copying
// a handle copies the name and the pointer. A default handle has no value.
class JsonNode
{
public:
    JsonNode() = default;
    JsonNode(std::string name, yajl_val_s* value) : mName(std::move(name)), mpValue(value) {}

    const std::string& name() const { return mName; }
    bool has_value() const { return mpValue != nullptr; }

    // The first member of an object with the key, as a handle named by the key; false when this
    // is not an object or has no such member.
    bool find(const std::string& key, JsonNode& node) const;
    // The same for a member that must exist: throws "JSON node "<key>" not found".
    JsonNode get(const std::string& key) const;
    // The members of an object in order, each named by its key; empty for other values.
    std::vector<JsonNode> members() const;

    bool is_map() const;
    bool is_array() const;
    bool is_string() const;
    bool is_bool() const;
    // A number whose integer form is valid.
    bool is_int() const;
    bool is_null() const;

    // Typed reads; a value of another kind throws
    //   Expected JSON node "<name>" to be <STRING|INTEGER|BOOLEAN|ARRAY>, found <what it is>
    // to_string converts the text to kJsonTargetEncoding, so invalid UTF-8 throws the conversion
    // error. to_int throws when the integer does not fit in 32 bits. to_array hands out the
    // elements as handles named "<name>[<index>]".
    std::string to_string() const;
    TSInt32 to_int() const;
    TSInt64 to_int64() const;
    bool to_bool() const;
    std::vector<JsonNode> to_array() const;

    // Append a member to an object and hand out a handle to it (named by the key). Keys are kept
    // in order and duplicates are not detected. False when this is not an object or memory
    // cannot be had. Keys and strings end at their first NUL character.
    bool add_string(const std::string& key, const std::string& value, JsonNode& node);
    bool add_bool(const std::string& key, bool value, JsonNode& node);
    bool add_int64(const std::string& key, TSInt64 value, JsonNode& node);
    bool add_array(const std::string& key, JsonNode& node);
    bool add_map(const std::string& key, JsonNode& node);
    // Append an element to an array (the handle has an empty name). False when this is not an
    // array or memory cannot be had.
    bool add_map(JsonNode& node);
    bool add_int64(TSInt64 value, JsonNode& node);

    yajl_val_s* value() const { return mpValue; }

private:
    bool AddMember(const std::string& key, yajl_val_s* value, JsonNode& node);
    bool AddElement(yajl_val_s* value, JsonNode& node);
    [[noreturn]] void ThrowTypeError(const char* expected) const;

    std::string mName;
    yajl_val_s* mpValue = nullptr;
};

// Owns at most one parsed tree; parsing again frees the previous tree first.
class JsonParser : private GNoncopyable
{
public:
    // Deepest nesting of arrays and objects that is parsed: the JSON generator's own limit, so
    // that every parsed tree can be written again. Deeper text is refused before it is parsed.
    static constexpr std::size_t kMaxNestingDepth = 127;

    JsonParser() = default;
    ~JsonParser();

    // Parses UTF-8 text into a new tree; throws "JSON parse error:\n" followed by the reason.
    void parse(const std::string& text);
    // The root value, named "root"; throws "No JSON loaded in parser" when nothing was parsed.
    JsonNode root() const;

private:
    void Free();

    yajl_val_s* mpTree = nullptr;
};

class JsonGenerator
{
public:
    // The value and everything below it as compact UTF-8 text (yajl's generator, UTF-8
    // validation on). Throws std::runtime_error with the generator's complaint, for example
    // "An invalid UTF-8 string was passed to the JSON generator".
    static std::string serialize(const JsonNode& node);
};
