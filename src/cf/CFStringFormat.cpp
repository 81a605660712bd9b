// CFStringCreateWithFormat: the printf conversions plus %@ for Core Foundation objects.

#include "CFStringEncodings.h"
#include "CFStringObject.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace
{
// Appends snprintf's output for one conversion.
template <class T>
void AppendPrintf(std::string& out, const std::string& directive, T value)
{
    char small[128];
    const int needed = std::snprintf(small, sizeof(small), directive.c_str(), value);
    if (needed < 0)
    {
        return;
    }
    if (static_cast<std::size_t>(needed) < sizeof(small))
    {
        out.append(small, static_cast<std::size_t>(needed));
        return;
    }
    std::string large(static_cast<std::size_t>(needed) + 1, '\0');
    std::snprintf(large.data(), large.size(), directive.c_str(), value);
    out.append(large.data(), static_cast<std::size_t>(needed));
}

// A %s argument: UTF-8, or Latin 1 when it is not valid UTF-8.
std::string TextArgument(const char* text)
{
    if (text == nullptr)
    {
        return "(null)";
    }
    std::u16string units;
    const std::size_t length = std::strlen(text);
    if (cfimpl::DecodeBytes(reinterpret_cast<const UInt8*>(text), length, kCFStringEncodingUTF8, units))
    {
        return std::string(text, length);
    }
    cfimpl::DecodeBytes(reinterpret_cast<const UInt8*>(text), length, kCFStringEncodingISOLatin1, units);
    std::string utf8;
    cfimpl::UTF16ToUTF8(units.data(), units.size(), utf8);
    return utf8;
}

void AppendPadded(std::string& out, const std::string& text, bool leftAlign, int width)
{
    // Width counts bytes, as printf does.
    const std::size_t padding = (width > 0 && static_cast<std::size_t>(width) > text.size())
                                    ? static_cast<std::size_t>(width) - text.size()
                                    : 0;
    if (!leftAlign)
    {
        out.append(padding, ' ');
    }
    out += text;
    if (leftAlign)
    {
        out.append(padding, ' ');
    }
}

enum class Length
{
    kNone,
    kChar,
    kShort,
    kLong,
    kLongLong,
    kSize,
    kIntMax,
    kPtrDiff,
    kLongDouble
};

// Formats format into out, consuming the arguments.
void FormatUTF8(const std::string& format, va_list arguments, std::string& out)
{
    const std::size_t n = format.size();
    std::size_t i = 0;
    while (i < n)
    {
        const std::size_t percent = format.find('%', i);
        if (percent == std::string::npos)
        {
            out.append(format, i, std::string::npos);
            break;
        }
        out.append(format, i, percent - i);
        std::size_t p = percent + 1;
        std::string flags;
        while (p < n && std::strchr("-+ #0", format[p]) != nullptr)
        {
            flags.push_back(format[p++]);
        }
        int width = -1;
        if (p < n && format[p] == '*')
        {
            width = va_arg(arguments, int);
            if (width < 0)
            {
                flags.push_back('-');
                width = -width;
            }
            ++p;
        }
        else
        {
            while (p < n && format[p] >= '0' && format[p] <= '9')
            {
                width = (width < 0 ? 0 : width) * 10 + (format[p++] - '0');
                if (width > 100000)
                {
                    width = 100000;
                }
            }
        }
        int precision = -1;
        if (p < n && format[p] == '.')
        {
            ++p;
            precision = 0;
            if (p < n && format[p] == '*')
            {
                precision = va_arg(arguments, int);
                ++p;
            }
            else
            {
                while (p < n && format[p] >= '0' && format[p] <= '9')
                {
                    precision = precision * 10 + (format[p++] - '0');
                    if (precision > 100000)
                    {
                        precision = 100000;
                    }
                }
            }
        }
        Length length = Length::kNone;
        if (p < n)
        {
            switch (format[p])
            {
            case 'h':
                length = (p + 1 < n && format[p + 1] == 'h') ? Length::kChar : Length::kShort;
                p += (length == Length::kChar) ? 2 : 1;
                break;
            case 'l':
                length = (p + 1 < n && format[p + 1] == 'l') ? Length::kLongLong : Length::kLong;
                p += (length == Length::kLongLong) ? 2 : 1;
                break;
            case 'q':
                length = Length::kLongLong;
                ++p;
                break;
            case 'z':
                length = Length::kSize;
                ++p;
                break;
            case 'j':
                length = Length::kIntMax;
                ++p;
                break;
            case 't':
                length = Length::kPtrDiff;
                ++p;
                break;
            case 'L':
                length = Length::kLongDouble;
                ++p;
                break;
            default:
                break;
            }
        }
        if (p >= n)
        {
            out.append(format, percent, std::string::npos);
            break;
        }
        const char conversion = format[p];
        std::string directive = "%" + flags;
        if (width >= 0)
        {
            directive += std::to_string(width);
        }
        if (precision >= 0)
        {
            directive += "." + std::to_string(precision);
        }
        switch (conversion)
        {
        case 'd':
        case 'i':
        {
            long long value = 0;
            switch (length)
            {
            case Length::kChar:
                value = static_cast<signed char>(va_arg(arguments, int));
                break;
            case Length::kShort:
                value = static_cast<short>(va_arg(arguments, int));
                break;
            case Length::kLong:
                value = va_arg(arguments, long);
                break;
            case Length::kLongLong:
                value = va_arg(arguments, long long);
                break;
            case Length::kSize:
            case Length::kPtrDiff:
                value = va_arg(arguments, std::ptrdiff_t);
                break;
            case Length::kIntMax:
                value = va_arg(arguments, std::intmax_t);
                break;
            default:
                value = va_arg(arguments, int);
                break;
            }
            AppendPrintf(out, directive + "lld", value);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X':
        {
            unsigned long long value = 0;
            switch (length)
            {
            case Length::kChar:
                value = static_cast<unsigned char>(va_arg(arguments, unsigned));
                break;
            case Length::kShort:
                value = static_cast<unsigned short>(va_arg(arguments, unsigned));
                break;
            case Length::kLong:
                value = va_arg(arguments, unsigned long);
                break;
            case Length::kLongLong:
                value = va_arg(arguments, unsigned long long);
                break;
            case Length::kSize:
            case Length::kPtrDiff:
                value = va_arg(arguments, std::size_t);
                break;
            case Length::kIntMax:
                value = va_arg(arguments, std::uintmax_t);
                break;
            default:
                value = va_arg(arguments, unsigned);
                break;
            }
            AppendPrintf(out, directive + "ll" + conversion, value);
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
        {
            const double value = length == Length::kLongDouble
                                     ? static_cast<double>(va_arg(arguments, long double))
                                     : va_arg(arguments, double);
            AppendPrintf(out, directive + conversion, value);
            break;
        }
        case 'c':
        {
            const unsigned char value = static_cast<unsigned char>(va_arg(arguments, int));
            const char bytes[2] = {static_cast<char>(value), '\0'};
            AppendPadded(out, TextArgument(bytes), flags.find('-') != std::string::npos, width);
            break;
        }
        case 's':
        {
            std::string text = TextArgument(va_arg(arguments, const char*));
            if (precision >= 0 && static_cast<std::size_t>(precision) < text.size())
            {
                text.resize(static_cast<std::size_t>(precision));
            }
            AppendPadded(out, text, flags.find('-') != std::string::npos, width);
            break;
        }
        case 'p':
            AppendPrintf(out, directive + "p", va_arg(arguments, void*));
            break;
        case '@':
        {
            const void* object = va_arg(arguments, const void*);
            std::string text;
            if (object == nullptr)
            {
                text = "(null)";
            }
            else
            {
                cfimpl::AsObject(object)->AppendFormatting(text);
            }
            AppendPadded(out, text, flags.find('-') != std::string::npos, width);
            break;
        }
        case '%':
            out.push_back('%');
            break;
        default:
            // Not a conversion of this subset (%n among them): copied as it stands, no argument taken.
            out.append(format, percent, p + 1 - percent);
            break;
        }
        i = p + 1;
    }
}
} // namespace

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef /*alloc*/, CFDictionaryRef /*formatOptions*/,
                                                 CFStringRef format, va_list arguments)
{
    const __CFString* formatString = cfimpl::AsString(format);
    if (formatString == nullptr)
    {
        return nullptr;
    }
    std::string text;
    FormatUTF8(formatString->mUTF8, arguments, text);
    return cfimpl::CreateStringFromUTF8(text);
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format,
                                     ...)
{
    va_list arguments;
    va_start(arguments, format);
    CFStringRef result = CFStringCreateWithFormatAndArguments(alloc, formatOptions, format, arguments);
    va_end(arguments);
    return result;
}

void CFStringAppendFormat(CFMutableStringRef theString, CFDictionaryRef formatOptions, CFStringRef format,
                          ...)
{
    va_list arguments;
    va_start(arguments, format);
    CFStringRef formatted =
        CFStringCreateWithFormatAndArguments(kCFAllocatorDefault, formatOptions, format, arguments);
    va_end(arguments);
    CFStringAppend(theString, formatted);
    CFRelease(formatted);
}
