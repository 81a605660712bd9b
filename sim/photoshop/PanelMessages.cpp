#include "PanelMessages.h"

#include <yajl/yajl_tree.h>

#include <cstring>
#include <memory>
#include <stdexcept>

namespace
{
const char* const kTypeNames[] = {"string", "number", "integer", "boolean", "array",
                                  "object", "null",   "any",     "absent"};

bool IsTypeName(const char* text)
{
    for (const char* name : kTypeNames)
    {
        if (std::strcmp(text, name) == 0)
        {
            return true;
        }
    }
    return false;
}

bool HasType(yajl_val value, const std::string& type)
{
    if (type == "any")
    {
        return true;
    }
    if (type == "string")
    {
        return YAJL_IS_STRING(value);
    }
    if (type == "number")
    {
        return YAJL_IS_NUMBER(value);
    }
    if (type == "integer")
    {
        return YAJL_IS_INTEGER(value);
    }
    if (type == "boolean")
    {
        return YAJL_IS_TRUE(value) || YAJL_IS_FALSE(value);
    }
    if (type == "array")
    {
        return YAJL_IS_ARRAY(value);
    }
    if (type == "object")
    {
        return YAJL_IS_OBJECT(value);
    }
    return YAJL_IS_NULL(value);
}

yajl_val Member(yajl_val object, const char* key)
{
    for (std::size_t i = 0; i < object->u.object.len; ++i)
    {
        if (std::strcmp(object->u.object.keys[i], key) == 0)
        {
            return object->u.object.values[i];
        }
    }
    return nullptr;
}

std::string Text(yajl_val value)
{
    return JsonGenerator::serialize(JsonNode("value", value));
}

bool Equal(yajl_val actual, yajl_val expected)
{
    if (YAJL_IS_NUMBER(actual) && YAJL_IS_NUMBER(expected))
    {
        if (YAJL_IS_INTEGER(actual) && YAJL_IS_INTEGER(expected))
        {
            return YAJL_GET_INTEGER(actual) == YAJL_GET_INTEGER(expected);
        }
        return YAJL_IS_DOUBLE(actual) && YAJL_IS_DOUBLE(expected) &&
               YAJL_GET_DOUBLE(actual) == YAJL_GET_DOUBLE(expected);
    }
    return Text(actual) == Text(expected);
}

// Appends to problem (with where) when actual does not match expected; false with error for an
// expectation that cannot be read.
bool Match(yajl_val actual, yajl_val expected, const std::string& where, std::string& problem,
           std::string& error)
{
    if (YAJL_IS_STRING(expected) && IsTypeName(YAJL_GET_STRING(expected)))
    {
        const std::string type = YAJL_GET_STRING(expected);
        if (type == "absent")
        {
            error = where + ": \"absent\" is for object members only";
            return false;
        }
        if (!HasType(actual, type))
        {
            problem = where + ": expected " + type + ", found " + Text(actual);
        }
        return true;
    }
    if (YAJL_IS_OBJECT(expected))
    {
        if (expected->u.object.len == 1 && std::strcmp(expected->u.object.keys[0], "equals") == 0)
        {
            if (!Equal(actual, expected->u.object.values[0]))
            {
                problem =
                    where + ": expected " + Text(expected->u.object.values[0]) + ", found " + Text(actual);
            }
            return true;
        }
        if (!YAJL_IS_OBJECT(actual))
        {
            problem = where + ": expected an object, found " + Text(actual);
            return true;
        }
        for (std::size_t i = 0; i < expected->u.object.len && problem.empty(); ++i)
        {
            const char* key = expected->u.object.keys[i];
            yajl_val want = expected->u.object.values[i];
            yajl_val have = Member(actual, key);
            const std::string at = where + "." + key;
            if (YAJL_IS_STRING(want) && std::strcmp(YAJL_GET_STRING(want), "absent") == 0)
            {
                if (have != nullptr)
                {
                    problem = at + ": expected absent, found " + Text(have);
                }
                continue;
            }
            if (have == nullptr)
            {
                problem = at + ": absent";
                continue;
            }
            if (!Match(have, want, at, problem, error))
            {
                return false;
            }
        }
        return true;
    }
    if (YAJL_IS_ARRAY(expected))
    {
        if (!YAJL_IS_ARRAY(actual) || actual->u.array.len != expected->u.array.len)
        {
            problem = where + ": expected an array of " + std::to_string(expected->u.array.len) +
                      " element(s), found " + Text(actual);
            return true;
        }
        for (std::size_t i = 0; i < expected->u.array.len && problem.empty(); ++i)
        {
            if (!Match(actual->u.array.values[i], expected->u.array.values[i],
                       where + "[" + std::to_string(i) + "]", problem, error))
            {
                return false;
            }
        }
        return true;
    }
    if (!Equal(actual, expected))
    {
        problem = where + ": expected " + Text(expected) + ", found " + Text(actual);
    }
    return true;
}
} // namespace

bool ParsePanelMessage(const std::string& data, JsonParser& parser, std::string& why)
{
    if (data.size() < 2 || data.front() != '(' || data.back() != ')')
    {
        why = "not \"(\" JSON \")\"";
        return false;
    }
    try
    {
        parser.parse(data.substr(1, data.size() - 2));
    }
    catch (const std::exception& failure)
    {
        // The parser's report goes on over lines (the text, a marker under it): its first two
        // lines say what was wrong, on one line.
        std::string report = failure.what();
        const std::size_t first = report.find('\n');
        if (first != std::string::npos)
        {
            report = report.substr(0, report.find('\n', first + 1));
            report[first] = ' ';
        }
        why = "not \"(\" JSON \")\": " + report;
        return false;
    }
    return true;
}

std::string PanelMessageID(const std::string& data)
{
    JsonParser parser;
    std::string why;
    JsonNode id;
    if (!ParsePanelMessage(data, parser, why) || !parser.root().find("messageID", id))
    {
        return std::string();
    }
    return id.is_string() ? id.to_string() : id.is_int() ? std::to_string(id.to_int64()) : std::string();
}

bool ExpandPanelValues(std::string& text, const std::vector<std::string>& messages, std::string& error)
{
    static const std::string kStart = "${panel:";
    std::string expanded;
    std::size_t from = 0;
    for (std::size_t at = text.find(kStart); at != std::string::npos; at = text.find(kStart, from))
    {
        const std::size_t end = text.find('}', at);
        const std::size_t dot = text.find('.', at);
        if (end == std::string::npos || dot == std::string::npos || dot > end)
        {
            error = "\"" + text.substr(at, 40) + "\" is not ${panel:ID.KEY}";
            return false;
        }
        const std::string id = text.substr(at + kStart.size(), dot - at - kStart.size());
        const std::string key = text.substr(dot + 1, end - dot - 1);
        bool found = false;
        for (auto message = messages.rbegin(); message != messages.rend() && !found; ++message)
        {
            JsonParser parser;
            std::string why;
            JsonNode value;
            if (PanelMessageID(*message) != id || !ParsePanelMessage(*message, parser, why) ||
                !parser.root().find(key, value))
            {
                continue;
            }
            expanded += text.substr(from, at - from);
            expanded += value.is_string() ? value.to_string() : JsonGenerator::serialize(value);
            found = true;
        }
        if (!found)
        {
            error = "no message " + id + " with \"" + key + "\" was received for " +
                    text.substr(at, end + 1 - at);
            return false;
        }
        from = end + 1;
    }
    text = expanded + text.substr(from);
    return true;
}

bool CheckPanelMessages(const std::vector<std::string>& messages, const JsonNode& expected, bool exact,
                        std::string& problem, std::string& error)
{
    if (!expected.is_array())
    {
        error = "\"messages\" is not an array of objects";
        return false;
    }
    const std::vector<JsonNode> wanted = expected.to_array();
    for (const JsonNode& message : wanted)
    {
        if (!message.is_map())
        {
            error = "\"messages\" is not an array of objects";
            return false;
        }
    }
    std::vector<std::unique_ptr<JsonParser>> parsed;
    for (std::size_t i = 0; i < messages.size(); ++i)
    {
        parsed.push_back(std::make_unique<JsonParser>());
        std::string why;
        if (!ParsePanelMessage(messages[i], *parsed.back(), why))
        {
            problem = "message " + std::to_string(i + 1) + " " + messages[i] + " is " + why;
            return true;
        }
    }
    if (exact && messages.size() != wanted.size())
    {
        problem = std::to_string(messages.size()) + " message(s), expected " + std::to_string(wanted.size());
    }
    // In order: each expected message takes the first matching one after the previous match
    // (exact: the message at the same place).
    std::size_t next = 0;
    for (std::size_t w = 0; w < wanted.size() && problem.empty(); ++w)
    {
        std::string last;
        bool found = false;
        for (; next < messages.size() && !found; ++next)
        {
            std::string mismatch;
            if (!Match(parsed[next]->root().value(), wanted[w].value(), "message", mismatch, error))
            {
                return false;
            }
            found = mismatch.empty();
            last = mismatch;
            if (exact && !found)
            {
                problem = "message " + std::to_string(next + 1) + " " + messages[next] + ": " + mismatch;
                return true;
            }
        }
        if (!found)
        {
            problem = "no message matches expected message " + std::to_string(w + 1) + " " +
                      JsonGenerator::serialize(wanted[w]) +
                      (last.empty() ? std::string(" (no message left)") : " (last tried: " + last + ")");
        }
    }
    if (!problem.empty())
    {
        std::string received;
        for (const std::string& message : messages)
        {
            received += (received.empty() ? "" : ", ") + message;
        }
        problem += "; received: [" + received + "]";
    }
    return true;
}
