#include "GUITranscript.h"

#include "GFrameworkPlatform.h"
#include "GStringEncodings.h"

#include <cinttypes>
#include <cstdio>
#include <mutex>

namespace
{
std::mutex sTranscriptMutex;
}

void GUITranscript::Write(const std::vector<TUTF8String>& lines)
{
    TUTF8String path;
    if (!GFrameworkPlatform::GetEnvironment(kTranscriptVariable, path))
    {
        return;
    }
    std::string bytes;
    for (const TUTF8String& line : lines)
    {
        bytes += line;
        bytes += '\n';
    }
    const std::lock_guard<std::mutex> lock(sTranscriptMutex);
    // Opened and closed for every entry: the lines are on disk as soon as the dialog returns,
    // and a test may point the variable at another file at any time.
    GFrameworkPlatform::AppendToFile(path, bytes);
}

TUTF8String GUITranscript::Quote(const TUTF8String& text)
{
    TUTF8String quoted = "\"";
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
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02x",
                              static_cast<unsigned>(static_cast<unsigned char>(c)));
                quoted += escaped;
            }
            else
            {
                quoted += c;
            }
        }
    }
    quoted += '"';
    return quoted;
}

TUTF8String GUITranscript::Quote(CFStringRef text)
{
    if (text == nullptr || CFGetTypeID(text) != CFStringGetTypeID())
    {
        return "null";
    }
    return Quote(UTF8StringFromCFString(text));
}

TUTF8String GUITranscript::Word(const TUTF8String& text)
{
    if (text.empty())
    {
        return "\"\"";
    }
    for (const char c : text)
    {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           TUTF8String(".-_:/\\@+").find(c) != TUTF8String::npos;
        if (!plain)
        {
            return Quote(text);
        }
    }
    return text;
}

TUTF8String GUITranscript::Word(CFStringRef text)
{
    if (text == nullptr || CFGetTypeID(text) != CFStringGetTypeID())
    {
        return "none";
    }
    return Word(UTF8StringFromCFString(text));
}

TUTF8String GUITranscript::Value(CFTypeRef value)
{
    if (value == nullptr)
    {
        return "null";
    }
    const CFTypeID type = CFGetTypeID(value);
    if (type == CFBooleanGetTypeID())
    {
        return CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? "true" : "false";
    }
    if (type == CFStringGetTypeID())
    {
        return Quote(static_cast<CFStringRef>(value));
    }
    if (type == CFNumberGetTypeID())
    {
        const CFNumberRef number = static_cast<CFNumberRef>(value);
        char text[64];
        if (CFNumberIsFloatType(number))
        {
            double real = 0;
            CFNumberGetValue(number, kCFNumberDoubleType, &real);
            std::snprintf(text, sizeof text, "%g", real);
        }
        else
        {
            SInt64 integer = 0;
            CFNumberGetValue(number, kCFNumberSInt64Type, &integer);
            std::snprintf(text, sizeof text, "%" PRId64, static_cast<std::int64_t>(integer));
        }
        return text;
    }
    CFStringRef typeName = CFCopyTypeIDDescription(type);
    const TUTF8String described = "<" + UTF8StringFromCFString(typeName) + ">";
    if (typeName != nullptr)
    {
        CFRelease(typeName);
    }
    return described;
}
