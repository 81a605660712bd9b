#include "EventJson.h"

#include <yajl/yajl_gen.h>
#include <yajl/yajl_tree.h>

#include <cstdio>
#include <cstring>
#include <memory>

OwnedEvent OwnedEvent::Copy(const PlugPlugEvent& event)
{
    OwnedEvent copy;
    copy.type = event.type != nullptr ? event.type : "";
    copy.scope = event.scope;
    copy.appId = event.appId != nullptr ? event.appId : "";
    copy.hasExtensionId = event.extensionId != nullptr;
    copy.extensionId = event.extensionId != nullptr ? event.extensionId : "";
    copy.data = event.data != nullptr ? event.data : "";
    return copy;
}

PlugPlugEvent OwnedEvent::View() const
{
    return PlugPlugEvent{type.c_str(), scope, appId.c_str(), hasExtensionId ? extensionId.c_str() : nullptr,
                         data.c_str()};
}

std::string JsonQuoted(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text)
    {
        switch (c)
        {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
            {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                quoted += escaped;
            }
            else
            {
                quoted += c;
            }
        }
    }
    return quoted + "\"";
}

std::string EventToJson(const OwnedEvent& event)
{
    return "{\"type\":" + JsonQuoted(event.type) + ",\"scope\":" + std::to_string(event.scope) +
           ",\"appId\":" + JsonQuoted(event.appId) +
           ",\"extensionId\":" + (event.hasExtensionId ? JsonQuoted(event.extensionId) : "null") +
           ",\"data\":" + JsonQuoted(event.data) + "}";
}

namespace
{
struct TreeDeleter
{
    void operator()(yajl_val value) const { yajl_tree_free(value); }
};
using Tree = std::unique_ptr<yajl_val_s, TreeDeleter>;

struct GeneratorDeleter
{
    void operator()(yajl_gen generator) const { yajl_gen_free(generator); }
};

bool Generate(yajl_gen generator, yajl_val value)
{
    if (YAJL_IS_STRING(value))
    {
        const char* text = YAJL_GET_STRING(value);
        return yajl_gen_string(generator, reinterpret_cast<const unsigned char*>(text), std::strlen(text)) ==
               yajl_gen_status_ok;
    }
    if (YAJL_IS_NUMBER(value))
    {
        const char* text = YAJL_GET_NUMBER(value);
        return yajl_gen_number(generator, text, std::strlen(text)) == yajl_gen_status_ok;
    }
    if (YAJL_IS_TRUE(value) || YAJL_IS_FALSE(value))
    {
        return yajl_gen_bool(generator, YAJL_IS_TRUE(value)) == yajl_gen_status_ok;
    }
    if (YAJL_IS_OBJECT(value))
    {
        bool ok = yajl_gen_map_open(generator) == yajl_gen_status_ok;
        for (std::size_t i = 0; ok && i < value->u.object.len; ++i)
        {
            const char* key = value->u.object.keys[i];
            ok = yajl_gen_string(generator, reinterpret_cast<const unsigned char*>(key), std::strlen(key)) ==
                     yajl_gen_status_ok &&
                 Generate(generator, value->u.object.values[i]);
        }
        return ok && yajl_gen_map_close(generator) == yajl_gen_status_ok;
    }
    if (YAJL_IS_ARRAY(value))
    {
        bool ok = yajl_gen_array_open(generator) == yajl_gen_status_ok;
        for (std::size_t i = 0; ok && i < value->u.array.len; ++i)
        {
            ok = Generate(generator, value->u.array.values[i]);
        }
        return ok && yajl_gen_array_close(generator) == yajl_gen_status_ok;
    }
    return yajl_gen_null(generator) == yajl_gen_status_ok;
}

// Any value as compact JSON text.
bool JsonText(yajl_val value, std::string& text)
{
    std::unique_ptr<yajl_gen_t, GeneratorDeleter> generator(yajl_gen_alloc(nullptr));
    if (!generator || !Generate(generator.get(), value))
    {
        return false;
    }
    const unsigned char* buffer = nullptr;
    std::size_t length = 0;
    yajl_gen_get_buf(generator.get(), &buffer, &length);
    text.assign(reinterpret_cast<const char*>(buffer), length);
    return true;
}
} // namespace

bool EventFromPanelJson(const std::string& body, OwnedEvent& event, std::string& error)
{
    char message[256] = {};
    Tree root(yajl_tree_parse(body.c_str(), message, sizeof message));
    if (!root)
    {
        error = std::string("not JSON: ") + message;
        return false;
    }
    if (!YAJL_IS_OBJECT(root.get()))
    {
        error = "not a JSON object";
        return false;
    }
    const char* typePath[] = {"type", nullptr};
    const char* dataPath[] = {"data", nullptr};
    const char* scopePath[] = {"scope", nullptr};
    const char* appIdPath[] = {"appId", nullptr};
    yajl_val type = yajl_tree_get(root.get(), typePath, yajl_t_any);
    yajl_val data = yajl_tree_get(root.get(), dataPath, yajl_t_any);
    yajl_val scope = yajl_tree_get(root.get(), scopePath, yajl_t_any);
    yajl_val appId = yajl_tree_get(root.get(), appIdPath, yajl_t_any);
    if (type == nullptr || !YAJL_IS_STRING(type) || *YAJL_GET_STRING(type) == '\0')
    {
        error = "\"type\" is not a non-empty string";
        return false;
    }
    if (scope != nullptr && !YAJL_IS_INTEGER(scope))
    {
        error = "\"scope\" is not an integer";
        return false;
    }
    if (appId != nullptr && !YAJL_IS_STRING(appId))
    {
        error = "\"appId\" is not a string";
        return false;
    }
    event = OwnedEvent();
    event.type = YAJL_GET_STRING(type);
    event.scope =
        scope != nullptr ? static_cast<std::int32_t>(YAJL_GET_INTEGER(scope)) : kPlugPlugScopeApplication;
    event.appId = appId != nullptr ? YAJL_GET_STRING(appId) : "PHXS";
    if (data != nullptr && YAJL_IS_STRING(data))
    {
        event.data = YAJL_GET_STRING(data);
    }
    else if (data != nullptr && !YAJL_IS_NULL(data) && !JsonText(data, event.data))
    {
        error = "\"data\" cannot be written as JSON text";
        return false;
    }
    return true;
}
