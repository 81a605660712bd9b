#pragma once
// Small pieces the panel's message files share: a fresh JSON object to build a message in, UTF-8
// text cut to a byte limit, and the entry/exit trace of a handler.

#include "GLogger.h"
#include "GTypes.h"
#include "Json.h"

namespace PanelSupport
{
// A new, empty JSON object owned by the parser.
inline JsonNode NewObject(JsonParser& parser)
{
    parser.parse("{}");
    return parser.root();
}

// At most limit bytes of UTF-8 text, without splitting a character.
inline TUTF8String CutUTF8(const TUTF8String& text, std::size_t limit)
{
    if (text.size() <= limit)
    {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    {
        --end;
    }
    return text.substr(0, end);
}

// Logs "Entering NAME()" and, on leaving the scope, "Exiting NAME()".
class GHandlerTrace
{
public:
    explicit GHandlerTrace(const char* name) : mName(name) { TraceLog(1, "Entering %s()", mName); }
    ~GHandlerTrace() { TraceLog(-1, "Exiting %s()", mName); }
    GHandlerTrace(const GHandlerTrace&) = delete;
    GHandlerTrace& operator=(const GHandlerTrace&) = delete;

private:
    const char* mName;
};
} // namespace PanelSupport
