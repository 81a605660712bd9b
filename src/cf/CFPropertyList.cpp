// XML property lists over tinyxml2.

#include "CFDateInternal.h"
#include "CFInternal.h"

#include <tinyxml2.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
constexpr const char* kDeclaration = "xml version=\"1.0\" encoding=\"UTF-8\"";
constexpr const char* kDocumentType =
    "DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\"";

std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string Format(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    return text;
}

bool IsXMLSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string Trim(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsXMLSpace(text[begin]))
    {
        ++begin;
    }
    while (end > begin && IsXMLSpace(text[end - 1]))
    {
        --end;
    }
    return text.substr(begin, end - begin);
}

// tinyxml2 drops text made only of white space; a <string> or <key> holding only white space
// keeps it when the white space is written as character references.
std::string ProtectWhiteSpaceText(const char* data, std::size_t length)
{
    static const struct
    {
        const char* open;
        const char* close;
    } kTags[] = {{"<string>", "</string>"}, {"<key>", "</key>"}};
    std::string out;
    out.reserve(length);
    std::size_t i = 0;
    while (i < length)
    {
        const char* next = static_cast<const char*>(std::memchr(data + i, '<', length - i));
        if (next == nullptr)
        {
            out.append(data + i, length - i);
            break;
        }
        const std::size_t at = static_cast<std::size_t>(next - data);
        out.append(data + i, at - i);
        i = at;
        bool matched = false;
        for (const auto& tag : kTags)
        {
            const std::size_t openLength = std::strlen(tag.open);
            if (length - at < openLength || std::memcmp(data + at, tag.open, openLength) != 0)
            {
                continue;
            }
            matched = true;
            out.append(tag.open);
            std::size_t textEnd = at + openLength;
            while (textEnd < length && IsXMLSpace(data[textEnd]))
            {
                ++textEnd;
            }
            const std::size_t closeLength = std::strlen(tag.close);
            const bool whiteSpaceOnly = textEnd > at + openLength && length - textEnd >= closeLength &&
                                        std::memcmp(data + textEnd, tag.close, closeLength) == 0;
            for (std::size_t k = at + openLength; whiteSpaceOnly && k < textEnd; ++k)
            {
                out += "&#" + std::to_string(static_cast<int>(data[k])) + ";";
            }
            i = whiteSpaceOnly ? textEnd : at + openLength;
            break;
        }
        if (!matched)
        {
            out.push_back('<');
            ++i;
        }
    }
    return out;
}

bool DecodeBase64(const std::string& text, std::vector<UInt8>& bytes)
{
    std::uint32_t buffer = 0;
    int bits = 0;
    bool padding = false;
    for (const char c : text)
    {
        int value = -1;
        if (c >= 'A' && c <= 'Z')
        {
            value = c - 'A';
        }
        else if (c >= 'a' && c <= 'z')
        {
            value = c - 'a' + 26;
        }
        else if (c >= '0' && c <= '9')
        {
            value = c - '0' + 52;
        }
        else if (c == '+')
        {
            value = 62;
        }
        else if (c == '/')
        {
            value = 63;
        }
        else if (c == '=')
        {
            padding = true;
            continue;
        }
        else if (IsXMLSpace(c))
        {
            continue;
        }
        if (value < 0 || padding)
        {
            return false; // not a base64 character, or data after the padding
        }
        buffer = (buffer << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8)
        {
            bits -= 8;
            bytes.push_back(static_cast<UInt8>(buffer >> bits));
            buffer &= (1u << bits) - 1;
        }
    }
    return true;
}

std::string EncodeBase64(const UInt8* bytes, std::size_t length)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((length + 2) / 3 * 4);
    for (std::size_t i = 0; i < length; i += 3)
    {
        const std::uint32_t chunk = (static_cast<std::uint32_t>(bytes[i]) << 16) |
                                    (i + 1 < length ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0) |
                                    (i + 2 < length ? static_cast<std::uint32_t>(bytes[i + 2]) : 0);
        text.push_back(kAlphabet[(chunk >> 18) & 0x3F]);
        text.push_back(kAlphabet[(chunk >> 12) & 0x3F]);
        text.push_back(i + 1 < length ? kAlphabet[(chunk >> 6) & 0x3F] : '=');
        text.push_back(i + 2 < length ? kAlphabet[chunk & 0x3F] : '=');
    }
    return text;
}

bool ParseInteger(const std::string& text, SInt64& value)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    bool negative = false;
    if (begin < end && (*begin == '+' || *begin == '-'))
    {
        negative = *begin == '-';
        ++begin;
    }
    int base = 10;
    if (end - begin > 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X'))
    {
        base = 16;
        begin += 2;
    }
    if (begin == end || *begin == '-' || *begin == '+')
    {
        return false;
    }
    std::uint64_t magnitude = 0;
    const auto result = std::from_chars(begin, end, magnitude, base);
    if (result.ec != std::errc() || result.ptr != end)
    {
        return false;
    }
    if (negative)
    {
        if (magnitude > 9223372036854775808ULL)
        {
            return false;
        }
        value = magnitude == 9223372036854775808ULL ? INT64_MIN : -static_cast<SInt64>(magnitude);
        return true;
    }
    if (magnitude > static_cast<std::uint64_t>(INT64_MAX))
    {
        return false;
    }
    value = static_cast<SInt64>(magnitude);
    return true;
}

bool ParseReal(const std::string& text, double& value)
{
    if (text == "nan" || text == "NaN")
    {
        value = std::nan("");
        return true;
    }
    if (text == "+infinity" || text == "infinity" || text == "inf" || text == "+inf")
    {
        value = HUGE_VAL;
        return true;
    }
    if (text == "-infinity" || text == "-inf")
    {
        value = -HUGE_VAL;
        return true;
    }
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin < end && *begin == '+')
    {
        ++begin;
    }
    if (begin == end)
    {
        return false;
    }
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end;
}

// ---------------------------------------------------------------------------------------------
// Reading

class Reader
{
public:
    explicit Reader(CFOptionFlags mutability) : mMutability(mutability) {}

    CFPropertyListRef ReadDocument(const char* data, std::size_t length)
    {
        if (length == 0)
        {
            mError = "Property list data is empty";
            return nullptr;
        }
        if (std::memchr(data, '\0', length) != nullptr)
        {
            mError = "Property list data contains a NUL byte";
            return nullptr;
        }
        const std::string text = ProtectWhiteSpaceText(data, length);
        tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
        if (document.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
        {
            mError = Format("Malformed XML: %s", document.ErrorStr());
            return nullptr;
        }
        const tinyxml2::XMLElement* root = document.RootElement();
        if (root == nullptr)
        {
            mError = "Property list has no element";
            return nullptr;
        }
        if (std::strcmp(root->Name(), "plist") != 0)
        {
            return ReadValue(root, 0);
        }
        const tinyxml2::XMLElement* value = nullptr;
        if (!ChildElements(root,
                           [&](const tinyxml2::XMLElement* child)
                           {
                               if (value != nullptr)
                               {
                                   mError = Format("Unexpected <%s> at line %d: a <plist> holds one value",
                                                   child->Name(), child->GetLineNum());
                                   return false;
                               }
                               value = child;
                               return true;
                           }))
        {
            return nullptr;
        }
        if (value == nullptr)
        {
            mError = Format("Empty <plist> at line %d", root->GetLineNum());
            return nullptr;
        }
        return ReadValue(value, 0);
    }

    const std::string& Error() const { return mError; }

private:
    // Calls visit for each child element; text other than white space is an error.
    template <class Visit>
    bool ChildElements(const tinyxml2::XMLElement* parent, Visit visit)
    {
        for (const tinyxml2::XMLNode* node = parent->FirstChild(); node != nullptr;
             node = node->NextSibling())
        {
            if (const tinyxml2::XMLElement* element = node->ToElement())
            {
                if (!visit(element))
                {
                    return false;
                }
            }
            else if (const tinyxml2::XMLText* text = node->ToText())
            {
                if (!Trim(text->Value()).empty())
                {
                    mError =
                        Format("Unexpected text in <%s> at line %d", parent->Name(), parent->GetLineNum());
                    return false;
                }
            }
        }
        return true;
    }

    // The character content of an element (text and CDATA, comments skipped).
    bool Text(const tinyxml2::XMLElement* element, std::string& text)
    {
        for (const tinyxml2::XMLNode* node = element->FirstChild(); node != nullptr;
             node = node->NextSibling())
        {
            if (const tinyxml2::XMLText* part = node->ToText())
            {
                text += part->Value();
            }
            else if (node->ToElement() != nullptr)
            {
                mError = Format("Unexpected element <%s> inside <%s> at line %d", node->Value(),
                                element->Name(), node->GetLineNum());
                return false;
            }
        }
        return true;
    }

    CFStringRef ReadString(const tinyxml2::XMLElement* element, bool isMutable)
    {
        std::string text;
        if (!Text(element, text))
        {
            return nullptr;
        }
        CFStringRef string =
            CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.data()),
                                    static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false);
        if (string == nullptr)
        {
            mError = Format("Invalid UTF-8 in <%s> at line %d", element->Name(), element->GetLineNum());
            return nullptr;
        }
        if (isMutable)
        {
            CFMutableStringRef mutableString = CFStringCreateMutableCopy(kCFAllocatorDefault, 0, string);
            CFRelease(string);
            return mutableString;
        }
        return string;
    }

    CFPropertyListRef ReadDictionary(const tinyxml2::XMLElement* element, int depth)
    {
        CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        CFStringRef key = nullptr;
        const bool complete =
            ChildElements(element,
                          [&](const tinyxml2::XMLElement* child)
                          {
                              if (key == nullptr)
                              {
                                  if (std::strcmp(child->Name(), "key") != 0)
                                  {
                                      mError = Format("Expected <key> in <dict> at line %d, found <%s>",
                                                      child->GetLineNum(), child->Name());
                                      return false;
                                  }
                                  key = ReadString(child, false);
                                  return key != nullptr;
                              }
                              CFPropertyListRef value = ReadValue(child, depth + 1);
                              if (value == nullptr)
                              {
                                  return false;
                              }
                              CFDictionarySetValue(dictionary, key, value);
                              CFRelease(value);
                              CFRelease(key);
                              key = nullptr;
                              return true;
                          });
        if (complete && key != nullptr)
        {
            mError = Format("Missing value for the last <key> in <dict> at line %d", element->GetLineNum());
        }
        if (!complete || key != nullptr)
        {
            if (key != nullptr)
            {
                CFRelease(key);
            }
            CFRelease(dictionary);
            return nullptr;
        }
        if (mMutability != kCFPropertyListImmutable)
        {
            return dictionary;
        }
        CFDictionaryRef immutable = CFDictionaryCreateCopy(kCFAllocatorDefault, dictionary);
        CFRelease(dictionary);
        return immutable;
    }

    CFPropertyListRef ReadArray(const tinyxml2::XMLElement* element, int depth)
    {
        CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        const bool complete = ChildElements(element,
                                            [&](const tinyxml2::XMLElement* child)
                                            {
                                                CFPropertyListRef value = ReadValue(child, depth + 1);
                                                if (value == nullptr)
                                                {
                                                    return false;
                                                }
                                                CFArrayAppendValue(array, value);
                                                CFRelease(value);
                                                return true;
                                            });
        if (!complete)
        {
            CFRelease(array);
            return nullptr;
        }
        if (mMutability != kCFPropertyListImmutable)
        {
            return array;
        }
        CFArrayRef immutable = CFArrayCreateCopy(kCFAllocatorDefault, array);
        CFRelease(array);
        return immutable;
    }

    // Text content without surrounding white space; empty content is an error.
    bool ScalarText(const tinyxml2::XMLElement* element, std::string& text)
    {
        if (!Text(element, text))
        {
            return false;
        }
        text = Trim(text);
        if (text.empty())
        {
            mError = Format("Empty <%s> at line %d", element->Name(), element->GetLineNum());
            return false;
        }
        return true;
    }

    CFPropertyListRef ReadValue(const tinyxml2::XMLElement* element, int depth)
    {
        if (depth >= kCFPropertyListMaxNestingDepth)
        {
            mError = Format("Property list nests deeper than %d levels at line %d",
                            kCFPropertyListMaxNestingDepth, element->GetLineNum());
            return nullptr;
        }
        const char* name = element->Name();
        const int line = element->GetLineNum();
        if (std::strcmp(name, "dict") == 0)
        {
            return ReadDictionary(element, depth);
        }
        if (std::strcmp(name, "array") == 0)
        {
            return ReadArray(element, depth);
        }
        if (std::strcmp(name, "string") == 0)
        {
            return ReadString(element, mMutability == kCFPropertyListMutableContainersAndLeaves);
        }
        if (std::strcmp(name, "true") == 0 || std::strcmp(name, "false") == 0)
        {
            std::string text;
            if (!Text(element, text) || !Trim(text).empty())
            {
                mError = Format("<%s> at line %d is not empty", name, line);
                return nullptr;
            }
            return name[0] == 't' ? kCFBooleanTrue : kCFBooleanFalse;
        }
        std::string text;
        if (std::strcmp(name, "data") == 0)
        {
            std::vector<UInt8> bytes;
            if (!Text(element, text))
            {
                return nullptr;
            }
            if (!DecodeBase64(text, bytes))
            {
                mError = Format("Invalid base64 in <data> at line %d", line);
                return nullptr;
            }
            if (mMutability == kCFPropertyListMutableContainersAndLeaves)
            {
                CFMutableDataRef data = CFDataCreateMutable(kCFAllocatorDefault, 0);
                CFDataAppendBytes(data, bytes.data(), static_cast<CFIndex>(bytes.size()));
                return data;
            }
            return CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size()));
        }
        if (std::strcmp(name, "integer") == 0)
        {
            SInt64 value = 0;
            if (!ScalarText(element, text))
            {
                return nullptr;
            }
            if (!ParseInteger(text, value))
            {
                mError = Format("Invalid <integer> at line %d", line);
                return nullptr;
            }
            return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value);
        }
        if (std::strcmp(name, "real") == 0)
        {
            double value = 0.0;
            if (!ScalarText(element, text))
            {
                return nullptr;
            }
            if (!ParseReal(text, value))
            {
                mError = Format("Invalid <real> at line %d", line);
                return nullptr;
            }
            return CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &value);
        }
        if (std::strcmp(name, "date") == 0)
        {
            CFAbsoluteTime at = 0.0;
            if (!ScalarText(element, text))
            {
                return nullptr;
            }
            if (!cfimpl::ParseISO8601(text, at))
            {
                mError = Format("Invalid <date> at line %d", line);
                return nullptr;
            }
            return CFDateCreate(kCFAllocatorDefault, at);
        }
        mError = Format("Unknown tag <%.64s> at line %d", name, line);
        return nullptr;
    }

    const CFOptionFlags mMutability;
    std::string mError;
};

// ---------------------------------------------------------------------------------------------
// Writing

// Indents with tabs, as property-list files are, and writes text with a carriage return as a
// character reference, so that reading the text back does not turn it into a line feed.
class Printer : public tinyxml2::XMLPrinter
{
public:
    void PushEscapedText(const std::string& text)
    {
        PushText(""); // closes the start tag and keeps the end tag on the same line
        std::string escaped;
        escaped.reserve(text.size());
        for (const char c : text)
        {
            switch (c)
            {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '\r':
                escaped += "&#13;";
                break;
            default:
                escaped.push_back(c);
                break;
            }
        }
        Write(escaped.c_str(), escaped.size());
    }

protected:
    void PrintSpace(int depth) override
    {
        for (int i = 0; i < depth; ++i)
        {
            Write("\t");
        }
    }
};

std::vector<CFStringRef> SortedKeys(CFDictionaryRef dictionary)
{
    std::vector<const void*> keys(static_cast<std::size_t>(CFDictionaryGetCount(dictionary)));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), nullptr);
    std::vector<CFStringRef> strings;
    for (const void* key : keys)
    {
        strings.push_back(static_cast<CFStringRef>(key));
    }
    std::sort(strings.begin(), strings.end(),
              [](CFStringRef a, CFStringRef b) { return CFStringCompare(a, b, 0) == kCFCompareLessThan; });
    return strings;
}

class Writer
{
public:
    bool Write(CFPropertyListRef value, int depth)
    {
        if (depth >= kCFPropertyListMaxNestingDepth)
        {
            mError = Format("Property list nests deeper than %d levels", kCFPropertyListMaxNestingDepth);
            return false;
        }
        const CFTypeID type = CFGetTypeID(value);
        if (type == CFStringGetTypeID())
        {
            Element("string", cfimpl::StringToUTF8(static_cast<CFStringRef>(value)));
        }
        else if (type == CFNumberGetTypeID())
        {
            WriteNumber(static_cast<CFNumberRef>(value));
        }
        else if (type == CFBooleanGetTypeID())
        {
            mPrinter.OpenElement(CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? "true" : "false");
            mPrinter.CloseElement();
        }
        else if (type == CFDataGetTypeID())
        {
            CFDataRef data = static_cast<CFDataRef>(value);
            Element("data",
                    EncodeBase64(CFDataGetBytePtr(data), static_cast<std::size_t>(CFDataGetLength(data))));
        }
        else if (type == CFDateGetTypeID())
        {
            Element("date", cfimpl::FormatISO8601(CFDateGetAbsoluteTime(static_cast<CFDateRef>(value))));
        }
        else if (type == CFArrayGetTypeID())
        {
            CFArrayRef array = static_cast<CFArrayRef>(value);
            mPrinter.OpenElement("array");
            for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
            {
                if (!Write(CFArrayGetValueAtIndex(array, i), depth + 1))
                {
                    return false;
                }
            }
            mPrinter.CloseElement();
        }
        else if (type == CFDictionaryGetTypeID())
        {
            CFDictionaryRef dictionary = static_cast<CFDictionaryRef>(value);
            const std::vector<CFStringRef> keys = SortedKeys(dictionary);
            mPrinter.OpenElement("dict");
            for (CFStringRef key : keys)
            {
                if (CFGetTypeID(key) != CFStringGetTypeID())
                {
                    mError = "Property list dictionary keys must be strings";
                    return false;
                }
                Element("key", cfimpl::StringToUTF8(key));
                if (!Write(CFDictionaryGetValue(dictionary, key), depth + 1))
                {
                    return false;
                }
            }
            mPrinter.CloseElement();
        }
        else
        {
            mError = value == nullptr
                         ? "Property list holds a NULL value"
                         : Format("Property list holds a value of type %lu, which property lists cannot "
                                  "represent",
                                  static_cast<unsigned long>(type));
            return false;
        }
        return true;
    }

    CFDataRef CreateData(CFPropertyListRef value)
    {
        mPrinter.PushDeclaration(kDeclaration);
        mPrinter.PushUnknown(kDocumentType);
        mPrinter.OpenElement("plist");
        mPrinter.PushAttribute("version", "1.0");
        if (!Write(value, 0))
        {
            return nullptr;
        }
        mPrinter.CloseElement();
        return CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(mPrinter.CStr()),
                            static_cast<CFIndex>(mPrinter.CStrSize() - 1));
    }

    const std::string& Error() const { return mError; }

private:
    void Element(const char* name, const std::string& text)
    {
        mPrinter.OpenElement(name);
        if (!text.empty())
        {
            mPrinter.PushEscapedText(text);
        }
        mPrinter.CloseElement();
    }

    void WriteNumber(CFNumberRef number)
    {
        if (!CFNumberIsFloatType(number))
        {
            SInt64 value = 0;
            CFNumberGetValue(number, kCFNumberSInt64Type, &value);
            Element("integer", std::to_string(static_cast<long long>(value)));
            return;
        }
        double value = 0.0;
        CFNumberGetValue(number, kCFNumberFloat64Type, &value);
        if (std::isnan(value))
        {
            Element("real", "nan");
        }
        else if (std::isinf(value))
        {
            Element("real", value > 0 ? "+infinity" : "-infinity");
        }
        else
        {
            char text[64];
            const auto result = std::to_chars(text, text + sizeof(text), value);
            Element("real", std::string(text, result.ptr));
        }
    }

    Printer mPrinter;
    std::string mError;
};

CFErrorRef CreateError(CFIndex code, const std::string& description)
{
    CFStringRef text = cfimpl::CreateStringFromUTF8(description);
    const void* keys[] = {kCFErrorDescriptionKey};
    const void* values[] = {text};
    CFDictionaryRef userInfo =
        CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    CFErrorRef error = CFErrorCreate(kCFAllocatorDefault, kCFErrorDomainCocoa, code, userInfo);
    CFRelease(userInfo);
    CFRelease(text);
    return error;
}

CFPropertyListRef DeepCopy(CFPropertyListRef value, CFOptionFlags mutability, int depth)
{
    if (depth >= kCFPropertyListMaxNestingDepth)
    {
        return nullptr;
    }
    const CFTypeID type = CFGetTypeID(value);
    const bool mutableLeaves = mutability == kCFPropertyListMutableContainersAndLeaves;
    if (type == CFStringGetTypeID())
    {
        return mutableLeaves ? static_cast<CFTypeRef>(CFStringCreateMutableCopy(
                                   kCFAllocatorDefault, 0, static_cast<CFStringRef>(value)))
                             : CFStringCreateCopy(kCFAllocatorDefault, static_cast<CFStringRef>(value));
    }
    if (type == CFDataGetTypeID())
    {
        return mutableLeaves ? static_cast<CFTypeRef>(CFDataCreateMutableCopy(kCFAllocatorDefault, 0,
                                                                              static_cast<CFDataRef>(value)))
                             : CFDataCreateCopy(kCFAllocatorDefault, static_cast<CFDataRef>(value));
    }
    if (type == CFNumberGetTypeID() || type == CFBooleanGetTypeID() || type == CFDateGetTypeID())
    {
        return CFRetain(value);
    }
    if (type == CFArrayGetTypeID())
    {
        CFArrayRef source = static_cast<CFArrayRef>(value);
        CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        for (CFIndex i = 0; i < CFArrayGetCount(source); ++i)
        {
            CFPropertyListRef copy = DeepCopy(CFArrayGetValueAtIndex(source, i), mutability, depth + 1);
            if (copy == nullptr)
            {
                CFRelease(array);
                return nullptr;
            }
            CFArrayAppendValue(array, copy);
            CFRelease(copy);
        }
        if (mutability != kCFPropertyListImmutable)
        {
            return array;
        }
        CFArrayRef immutable = CFArrayCreateCopy(kCFAllocatorDefault, array);
        CFRelease(array);
        return immutable;
    }
    if (type == CFDictionaryGetTypeID())
    {
        CFDictionaryRef source = static_cast<CFDictionaryRef>(value);
        CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        for (CFStringRef key : SortedKeys(source))
        {
            CFStringRef keyCopy = CFStringCreateCopy(kCFAllocatorDefault, key);
            CFPropertyListRef copy = DeepCopy(CFDictionaryGetValue(source, key), mutability, depth + 1);
            if (keyCopy == nullptr || copy == nullptr)
            {
                CFRelease(keyCopy);
                CFRelease(copy);
                CFRelease(dictionary);
                return nullptr;
            }
            CFDictionarySetValue(dictionary, keyCopy, copy);
            CFRelease(keyCopy);
            CFRelease(copy);
        }
        if (mutability != kCFPropertyListImmutable)
        {
            return dictionary;
        }
        CFDictionaryRef immutable = CFDictionaryCreateCopy(kCFAllocatorDefault, dictionary);
        CFRelease(dictionary);
        return immutable;
    }
    return nullptr;
}
} // namespace

CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef /*allocator*/, CFDataRef xmlData,
                                                  CFOptionFlags mutabilityOption, CFStringRef* errorString)
{
    if (errorString != nullptr)
    {
        *errorString = nullptr;
    }
    Reader reader(mutabilityOption);
    CFPropertyListRef result = nullptr;
    if (CFGetTypeID(xmlData) != CFDataGetTypeID())
    {
        if (errorString != nullptr)
        {
            *errorString = cfimpl::CreateStringFromUTF8("Property list data is missing");
        }
        return nullptr;
    }
    result = reader.ReadDocument(reinterpret_cast<const char*>(CFDataGetBytePtr(xmlData)),
                                 static_cast<std::size_t>(CFDataGetLength(xmlData)));
    if (result == nullptr && errorString != nullptr)
    {
        *errorString = cfimpl::CreateStringFromUTF8(reader.Error());
    }
    return result;
}

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef allocator, CFDataRef data,
                                               CFOptionFlags options, CFPropertyListFormat* format,
                                               CFErrorRef* error)
{
    if (error != nullptr)
    {
        *error = nullptr;
    }
    CFStringRef errorString = nullptr;
    CFPropertyListRef result = CFPropertyListCreateFromXMLData(allocator, data, options, &errorString);
    if (result == nullptr)
    {
        if (error != nullptr)
        {
            *error = CreateError(kCFPropertyListReadCorruptError, cfimpl::StringToUTF8(errorString));
        }
        CFRelease(errorString);
        return nullptr;
    }
    if (format != nullptr)
    {
        *format = kCFPropertyListXMLFormat_v1_0;
    }
    return result;
}

CFDataRef CFPropertyListCreateXMLData(CFAllocatorRef allocator, CFPropertyListRef propertyList)
{
    return CFPropertyListCreateData(allocator, propertyList, kCFPropertyListXMLFormat_v1_0, 0, nullptr);
}

CFDataRef CFPropertyListCreateData(CFAllocatorRef /*allocator*/, CFPropertyListRef propertyList,
                                   CFPropertyListFormat format, CFOptionFlags /*options*/, CFErrorRef* error)
{
    if (error != nullptr)
    {
        *error = nullptr;
    }
    if (format != kCFPropertyListXMLFormat_v1_0)
    {
        if (error != nullptr)
        {
            *error = CreateError(kCFPropertyListWriteStreamError, "Only XML property lists can be written");
        }
        return nullptr;
    }
    Writer writer;
    CFDataRef data = writer.CreateData(propertyList);
    if (data == nullptr && error != nullptr)
    {
        *error = CreateError(kCFPropertyListWriteStreamError, writer.Error());
    }
    return data;
}

CFPropertyListRef CFPropertyListCreateDeepCopy(CFAllocatorRef /*allocator*/, CFPropertyListRef propertyList,
                                               CFOptionFlags mutabilityOption)
{
    return DeepCopy(propertyList, mutabilityOption, 0);
}

Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format)
{
    if (format != kCFPropertyListXMLFormat_v1_0)
    {
        return false;
    }
    Writer writer;
    return writer.Write(plist, 0);
}
