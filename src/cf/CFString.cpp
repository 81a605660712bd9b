// CFString: creation, access, comparison, search, mutation and the constant-string table.

#include "CFStringEncodings.h"
#include "CFStringObject.h"

#include <utf8.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

using cfimpl::AsString;

namespace
{
bool IsASCII(const std::u16string& chars)
{
    return std::all_of(chars.begin(), chars.end(), [](char16_t c) { return c < 0x80; });
}

__CFString* AsMutableString(CFMutableStringRef string)
{
    __CFString* object = cfimpl::AsMutable<__CFString>(string);
    return (object != nullptr && object->mMutable) ? object : nullptr;
}

bool IsValidRange(CFRange range, std::size_t length)
{
    return range.location >= 0 && range.length >= 0 && static_cast<std::size_t>(range.location) <= length &&
           static_cast<std::size_t>(range.length) <= length - static_cast<std::size_t>(range.location);
}

// Simple case folding of Latin, Greek and Cyrillic letters.
char16_t FoldCase(char16_t c)
{
    if (c < 0x80)
    {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    }
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
    {
        return static_cast<char16_t>(c + 32);
    }
    if (c >= 0x400 && c <= 0x40F)
    {
        return static_cast<char16_t>(c + 80);
    }
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177) ||
        (c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF))
    {
        return static_cast<char16_t>(c | 1);
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
    {
        return (c & 1) ? static_cast<char16_t>(c + 1) : c;
    }
    if (c == 0x178)
    {
        return 0xFF;
    }
    return c;
}

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool UnitsEqual(char16_t a, char16_t b, bool caseInsensitive)
{
    return a == b || (caseInsensitive && FoldCase(a) == FoldCase(b));
}

CFComparisonResult Sign(int value)
{
    return value < 0 ? kCFCompareLessThan : (value > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo);
}

CFComparisonResult CompareUnits(const std::u16string& a, const std::u16string& b,
                                CFStringCompareFlags options)
{
    const bool caseInsensitive = (options & kCFCompareCaseInsensitive) != 0;
    const bool numerically = (options & kCFCompareNumerically) != 0;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size())
    {
        if (numerically && IsDigit(a[i]) && IsDigit(b[j]))
        {
            // Runs of digits compare by value: without leading zeros, the longer run is larger.
            std::size_t iEnd = i;
            std::size_t jEnd = j;
            while (iEnd < a.size() && IsDigit(a[iEnd]))
            {
                ++iEnd;
            }
            while (jEnd < b.size() && IsDigit(b[jEnd]))
            {
                ++jEnd;
            }
            std::size_t iStart = i;
            std::size_t jStart = j;
            while (iStart + 1 < iEnd && a[iStart] == u'0')
            {
                ++iStart;
            }
            while (jStart + 1 < jEnd && b[jStart] == u'0')
            {
                ++jStart;
            }
            if (iEnd - iStart != jEnd - jStart)
            {
                return (iEnd - iStart) < (jEnd - jStart) ? kCFCompareLessThan : kCFCompareGreaterThan;
            }
            const int digits = a.compare(iStart, iEnd - iStart, b, jStart, jEnd - jStart);
            if (digits != 0)
            {
                return Sign(digits);
            }
            i = iEnd;
            j = jEnd;
            continue;
        }
        const char16_t ca = caseInsensitive ? FoldCase(a[i]) : a[i];
        const char16_t cb = caseInsensitive ? FoldCase(b[j]) : b[j];
        if (ca != cb)
        {
            return ca < cb ? kCFCompareLessThan : kCFCompareGreaterThan;
        }
        ++i;
        ++j;
    }
    if (i < a.size())
    {
        return kCFCompareGreaterThan;
    }
    return j < b.size() ? kCFCompareLessThan : kCFCompareEqualTo;
}

bool MatchesAt(const std::u16string& text, std::size_t at, const std::u16string& pattern,
               bool caseInsensitive)
{
    for (std::size_t k = 0; k < pattern.size(); ++k)
    {
        if (!UnitsEqual(text[at + k], pattern[k], caseInsensitive))
        {
            return false;
        }
    }
    return true;
}

// Finds pattern within text[begin, end); npos when absent or the pattern is empty.
std::size_t FindUnits(const std::u16string& text, std::size_t begin, std::size_t end,
                      const std::u16string& pattern, CFStringCompareFlags options)
{
    if (pattern.empty() || pattern.size() > end - begin)
    {
        return std::u16string::npos;
    }
    const bool caseInsensitive = (options & kCFCompareCaseInsensitive) != 0;
    const bool anchored = (options & kCFCompareAnchored) != 0;
    const std::size_t last = end - pattern.size();
    if ((options & kCFCompareBackwards) != 0)
    {
        for (std::size_t at = last + 1; at-- > begin;)
        {
            if (MatchesAt(text, at, pattern, caseInsensitive))
            {
                return at;
            }
            if (anchored)
            {
                break;
            }
        }
        return std::u16string::npos;
    }
    for (std::size_t at = begin; at <= last; ++at)
    {
        if (MatchesAt(text, at, pattern, caseInsensitive))
        {
            return at;
        }
        if (anchored)
        {
            break;
        }
    }
    return std::u16string::npos;
}

CFStringRef CreateFromBytes(const UInt8* bytes, std::size_t length, CFStringEncoding encoding, bool isMutable)
{
    std::u16string chars;
    if (!cfimpl::DecodeBytes(bytes, length, encoding, chars))
    {
        return nullptr;
    }
    return cfimpl::CreateString(std::move(chars), isMutable);
}
} // namespace

// ---------------------------------------------------------------------------------------------
// The object

__CFString::__CFString(std::u16string chars, bool isMutable, bool isConstant)
    : CFObject(kTypeID, isConstant), mChars(std::move(chars)), mMutable(isMutable)
{
    Update();
}

bool __CFString::Equal(const CFObject& other) const
{
    return mChars == static_cast<const __CFString&>(other).mChars;
}

CFHashCode __CFString::Hash() const
{
    return cfimpl::HashBytes(mChars.data(), mChars.size() * sizeof(char16_t));
}

void __CFString::Describe(std::string& out, int /*depth*/) const
{
    out += mUTF8;
}

void __CFString::AppendFormatting(std::string& out) const
{
    out += mUTF8;
}

void __CFString::Update()
{
    mUTF8.clear();
    mUTF8.reserve(mChars.size());
    mUTF8Valid = cfimpl::UTF16ToUTF8(mChars.data(), mChars.size(), mUTF8);
    mASCII = IsASCII(mChars);
}

void __CFString::Append(const char16_t* units, std::size_t length)
{
    const bool joinsSurrogates = !mChars.empty() && mChars.back() >= 0xD800 && mChars.back() <= 0xDBFF;
    mChars.append(units, length);
    if (!mUTF8Valid || joinsSurrogates)
    {
        Update();
        return;
    }
    mUTF8Valid = cfimpl::UTF16ToUTF8(units, length, mUTF8);
    mASCII = mASCII && std::all_of(units, units + length, [](char16_t c) { return c < 0x80; });
}

void __CFString::Replace(std::size_t location, std::size_t length, const std::u16string& replacement)
{
    mChars.replace(location, length, replacement);
    Update();
}

CFStringRef cfimpl::CreateString(std::u16string chars, bool isMutable)
{
    return new __CFString(std::move(chars), isMutable, false);
}

CFStringRef cfimpl::CreateStringFromUTF8(const std::string& text)
{
    std::u16string chars;
    if (!DecodeBytes(reinterpret_cast<const UInt8*>(text.data()), text.size(), kCFStringEncodingUTF8, chars))
    {
        chars.clear();
        std::string valid;
        utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(valid));
        DecodeBytes(reinterpret_cast<const UInt8*>(valid.data()), valid.size(), kCFStringEncodingUTF8, chars);
    }
    return CreateString(std::move(chars), false);
}

std::string cfimpl::StringToUTF8(CFStringRef string)
{
    const __CFString* object = AsString(string);
    return object == nullptr ? std::string() : object->mUTF8;
}

CFTypeID CFStringGetTypeID(void)
{
    return cfimpl::kStringTypeID;
}

// ---------------------------------------------------------------------------------------------
// Constant strings: one object per text for the life of the process.

CFStringRef __CFStringMakeConstantString(const char* cStr)
{
    if (cStr == nullptr)
    {
        return nullptr;
    }
    using Table = std::unordered_map<std::string, const __CFString*>;
    // Never destroyed: constants stay valid while other modules shut down.
    static std::shared_mutex* sMutex = new std::shared_mutex;
    static Table* sTable = new Table;
    std::string key(cStr);
    {
        std::shared_lock<std::shared_mutex> lock(*sMutex);
        const auto found = sTable->find(key);
        if (found != sTable->end())
        {
            return found->second;
        }
    }
    std::unique_lock<std::shared_mutex> lock(*sMutex);
    const auto found = sTable->find(key);
    if (found != sTable->end())
    {
        return found->second;
    }
    std::u16string chars;
    // Constants are UTF-8 (ASCII in practice); other bytes are taken as Mac Roman, which accepts
    // every byte.
    if (!cfimpl::DecodeBytes(reinterpret_cast<const UInt8*>(key.data()), key.size(), kCFStringEncodingUTF8,
                             chars))
    {
        cfimpl::DecodeBytes(reinterpret_cast<const UInt8*>(key.data()), key.size(), kCFStringEncodingMacRoman,
                            chars);
    }
    const __CFString* constant = new __CFString(std::move(chars), false, true);
    sTable->emplace(std::move(key), constant);
    return constant;
}

// ---------------------------------------------------------------------------------------------
// Creation

CFStringRef CFStringCreateWithCString(CFAllocatorRef /*alloc*/, const char* cStr, CFStringEncoding encoding)
{
    if (cStr == nullptr)
    {
        return nullptr;
    }
    return CreateFromBytes(reinterpret_cast<const UInt8*>(cStr), std::strlen(cStr), encoding, false);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef /*alloc*/, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation)
{
    if (numBytes < 0 || (bytes == nullptr && numBytes > 0))
    {
        return nullptr;
    }
    std::size_t length = static_cast<std::size_t>(numBytes);
    // An external UTF-8 representation may start with a byte-order mark.
    if (isExternalRepresentation && encoding == kCFStringEncodingUTF8 && length >= 3 && bytes[0] == 0xEF &&
        bytes[1] == 0xBB && bytes[2] == 0xBF)
    {
        bytes += 3;
        length -= 3;
    }
    return CreateFromBytes(bytes, length, encoding, false);
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef /*alloc*/, const UniChar* chars, CFIndex numChars)
{
    if (numChars < 0 || (chars == nullptr && numChars > 0))
    {
        return nullptr;
    }
    std::u16string units(static_cast<std::size_t>(numChars), u'\0');
    std::copy_n(chars, numChars, units.begin());
    return cfimpl::CreateString(std::move(units), false);
}

CFStringRef CFStringCreateWithSubstring(CFAllocatorRef /*alloc*/, CFStringRef str, CFRange range)
{
    const __CFString* string = AsString(str);
    if (string == nullptr || !IsValidRange(range, string->mChars.size()))
    {
        return nullptr;
    }
    return cfimpl::CreateString(string->mChars.substr(static_cast<std::size_t>(range.location),
                                                      static_cast<std::size_t>(range.length)),
                                false);
}

CFStringRef CFStringCreateCopy(CFAllocatorRef /*alloc*/, CFStringRef theString)
{
    const __CFString* string = AsString(theString);
    if (string == nullptr)
    {
        return nullptr;
    }
    if (!string->mMutable)
    {
        return static_cast<CFStringRef>(CFRetain(string));
    }
    return cfimpl::CreateString(string->mChars, false);
}

CFMutableStringRef CFStringCreateMutable(CFAllocatorRef /*alloc*/, CFIndex /*maxLength*/)
{
    return new __CFString(std::u16string(), true, false);
}

CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef /*alloc*/, CFIndex /*maxLength*/,
                                             CFStringRef theString)
{
    const __CFString* string = AsString(theString);
    if (string == nullptr)
    {
        return nullptr;
    }
    return new __CFString(string->mChars, true, false);
}

// ---------------------------------------------------------------------------------------------
// Access

CFIndex CFStringGetLength(CFStringRef theString)
{
    const __CFString* string = AsString(theString);
    return string == nullptr ? 0 : static_cast<CFIndex>(string->mChars.size());
}

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx)
{
    const __CFString* string = AsString(theString);
    if (string == nullptr || idx < 0 || static_cast<std::size_t>(idx) >= string->mChars.size())
    {
        return 0;
    }
    return string->mChars[static_cast<std::size_t>(idx)];
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer)
{
    const __CFString* string = AsString(theString);
    if (string == nullptr || buffer == nullptr || !IsValidRange(range, string->mChars.size()))
    {
        return;
    }
    std::copy_n(string->mChars.data() + range.location, range.length, buffer);
}

CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean /*isExternalRepresentation*/, UInt8* buffer, CFIndex maxBufLen,
                         CFIndex* usedBufLen)
{
    const __CFString* string = AsString(theString);
    if (usedBufLen != nullptr)
    {
        *usedBufLen = 0;
    }
    if (string == nullptr || !IsValidRange(range, string->mChars.size()) || maxBufLen < 0)
    {
        return 0;
    }
    std::string bytes;
    bool supported = false;
    std::size_t converted =
        cfimpl::EncodeUnits(string->mChars.data() + range.location, static_cast<std::size_t>(range.length),
                            encoding, lossByte, bytes, &supported);
    if (!supported)
    {
        return 0;
    }
    if (buffer != nullptr && bytes.size() > static_cast<std::size_t>(maxBufLen))
    {
        // Keep whole characters only: re-encode until the bytes fit.
        std::size_t fitting = converted;
        while (bytes.size() > static_cast<std::size_t>(maxBufLen) && fitting > 0)
        {
            --fitting;
            bytes.clear();
            converted = cfimpl::EncodeUnits(string->mChars.data() + range.location, fitting, encoding,
                                            lossByte, bytes, &supported);
        }
    }
    if (buffer != nullptr)
    {
        std::memcpy(buffer, bytes.data(), bytes.size());
    }
    if (usedBufLen != nullptr)
    {
        *usedBufLen = static_cast<CFIndex>(bytes.size());
    }
    return static_cast<CFIndex>(converted);
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding)
{
    const __CFString* string = AsString(theString);
    if (buffer == nullptr || bufferSize <= 0)
    {
        return false;
    }
    buffer[0] = '\0';
    if (string == nullptr)
    {
        return false;
    }
    const std::string* text = nullptr;
    std::string converted;
    if (encoding == kCFStringEncodingUTF8 && string->mUTF8Valid)
    {
        text = &string->mUTF8;
    }
    else
    {
        bool supported = false;
        const std::size_t count = cfimpl::EncodeUnits(string->mChars.data(), string->mChars.size(), encoding,
                                                      0, converted, &supported);
        if (!supported || count != string->mChars.size())
        {
            return false;
        }
        text = &converted;
    }
    if (text->size() >= static_cast<std::size_t>(bufferSize))
    {
        return false;
    }
    std::memcpy(buffer, text->data(), text->size());
    buffer[text->size()] = '\0';
    return true;
}

const char* CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding)
{
    const __CFString* string = AsString(theString);
    if (string == nullptr)
    {
        return nullptr;
    }
    if (encoding == kCFStringEncodingUTF8)
    {
        return string->mUTF8Valid ? string->mUTF8.c_str() : nullptr;
    }
    const bool asciiCompatible =
        encoding == kCFStringEncodingASCII || encoding == kCFStringEncodingMacRoman ||
        encoding == kCFStringEncodingWindowsLatin1 || encoding == kCFStringEncodingISOLatin1;
    return (asciiCompatible && string->mASCII) ? string->mUTF8.c_str() : nullptr;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding)
{
    const CFIndex perUnit = cfimpl::MaxBytesPerUnit(encoding);
    if (perUnit == 0 || length < 0)
    {
        return kCFNotFound;
    }
    if (length > std::numeric_limits<CFIndex>::max() / perUnit)
    {
        return kCFNotFound;
    }
    return length * perUnit;
}

Boolean CFStringIsEncodingAvailable(CFStringEncoding encoding)
{
    return cfimpl::IsSupportedEncoding(encoding);
}

// ---------------------------------------------------------------------------------------------
// Comparison and search

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                   CFStringCompareFlags compareOptions)
{
    const __CFString* a = AsString(theString1);
    const __CFString* b = AsString(theString2);
    if (a == nullptr || b == nullptr)
    {
        return a == b ? kCFCompareEqualTo : (a == nullptr ? kCFCompareLessThan : kCFCompareGreaterThan);
    }
    return CompareUnits(a->mChars, b->mChars, compareOptions);
}

Boolean CFStringFindWithOptions(CFStringRef theString, CFStringRef stringToFind, CFRange rangeToSearch,
                                CFStringCompareFlags searchOptions, CFRange* result)
{
    const __CFString* string = AsString(theString);
    const __CFString* pattern = AsString(stringToFind);
    if (string == nullptr || pattern == nullptr || !IsValidRange(rangeToSearch, string->mChars.size()))
    {
        return false;
    }
    const std::size_t begin = static_cast<std::size_t>(rangeToSearch.location);
    const std::size_t at =
        FindUnits(string->mChars, begin, begin + static_cast<std::size_t>(rangeToSearch.length),
                  pattern->mChars, searchOptions);
    if (at == std::u16string::npos)
    {
        return false;
    }
    if (result != nullptr)
    {
        *result = CFRangeMake(static_cast<CFIndex>(at), static_cast<CFIndex>(pattern->mChars.size()));
    }
    return true;
}

CFRange CFStringFind(CFStringRef theString, CFStringRef stringToFind, CFStringCompareFlags compareOptions)
{
    CFRange result = CFRangeMake(kCFNotFound, 0);
    CFStringFindWithOptions(theString, stringToFind, CFRangeMake(0, CFStringGetLength(theString)),
                            compareOptions, &result);
    return result;
}

Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix)
{
    return CFStringFindWithOptions(theString, prefix, CFRangeMake(0, CFStringGetLength(theString)),
                                   kCFCompareAnchored, nullptr);
}

Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix)
{
    return CFStringFindWithOptions(theString, suffix, CFRangeMake(0, CFStringGetLength(theString)),
                                   kCFCompareAnchored | kCFCompareBackwards, nullptr);
}

SInt32 CFStringGetIntValue(CFStringRef str)
{
    const __CFString* string = AsString(str);
    if (string == nullptr)
    {
        return 0;
    }
    const std::u16string& chars = string->mChars;
    std::size_t i = 0;
    while (i < chars.size() && (chars[i] == u' ' || (chars[i] >= u'\t' && chars[i] <= u'\r')))
    {
        ++i;
    }
    bool negative = false;
    if (i < chars.size() && (chars[i] == u'+' || chars[i] == u'-'))
    {
        negative = chars[i] == u'-';
        ++i;
    }
    long long value = 0;
    for (; i < chars.size() && IsDigit(chars[i]); ++i)
    {
        value = std::min(value * 10 + (chars[i] - u'0'), 1LL + INT32_MAX);
    }
    if (negative)
    {
        return static_cast<SInt32>(std::max(-value, static_cast<long long>(INT32_MIN)));
    }
    return static_cast<SInt32>(std::min(value, static_cast<long long>(INT32_MAX)));
}

// ---------------------------------------------------------------------------------------------
// Mutation

void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString)
{
    __CFString* string = AsMutableString(theString);
    const __CFString* appended = AsString(appendedString);
    if (string == nullptr || appended == nullptr)
    {
        return;
    }
    const std::u16string units = appended->mChars; // the string may be appended to itself
    string->Append(units.data(), units.size());
}

void CFStringAppendCharacters(CFMutableStringRef theString, const UniChar* chars, CFIndex numChars)
{
    __CFString* string = AsMutableString(theString);
    if (string == nullptr || chars == nullptr || numChars <= 0)
    {
        return;
    }
    const std::u16string units(chars, chars + numChars);
    string->Append(units.data(), units.size());
}

void CFStringAppendCString(CFMutableStringRef theString, const char* cStr, CFStringEncoding encoding)
{
    __CFString* string = AsMutableString(theString);
    std::u16string units;
    if (string == nullptr || cStr == nullptr ||
        !cfimpl::DecodeBytes(reinterpret_cast<const UInt8*>(cStr), std::strlen(cStr), encoding, units))
    {
        return;
    }
    string->Append(units.data(), units.size());
}

void CFStringInsert(CFMutableStringRef str, CFIndex idx, CFStringRef insertedStr)
{
    CFStringReplace(str, CFRangeMake(idx, 0), insertedStr);
}

void CFStringDelete(CFMutableStringRef theString, CFRange range)
{
    __CFString* string = AsMutableString(theString);
    if (string == nullptr || !IsValidRange(range, string->mChars.size()))
    {
        return;
    }
    string->Replace(static_cast<std::size_t>(range.location), static_cast<std::size_t>(range.length),
                    std::u16string());
}

void CFStringReplace(CFMutableStringRef theString, CFRange range, CFStringRef replacement)
{
    __CFString* string = AsMutableString(theString);
    const __CFString* with = AsString(replacement);
    if (string == nullptr || with == nullptr || !IsValidRange(range, string->mChars.size()))
    {
        return;
    }
    const std::u16string units = with->mChars;
    string->Replace(static_cast<std::size_t>(range.location), static_cast<std::size_t>(range.length), units);
}

void CFStringReplaceAll(CFMutableStringRef theString, CFStringRef replacement)
{
    CFStringReplace(theString, CFRangeMake(0, CFStringGetLength(theString)), replacement);
}

CFIndex CFStringFindAndReplace(CFMutableStringRef theString, CFStringRef stringToFind,
                               CFStringRef replacementString, CFRange rangeToSearch,
                               CFStringCompareFlags compareOptions)
{
    __CFString* string = AsMutableString(theString);
    const __CFString* pattern = AsString(stringToFind);
    const __CFString* with = AsString(replacementString);
    if (string == nullptr || pattern == nullptr || with == nullptr || pattern->mChars.empty() ||
        !IsValidRange(rangeToSearch, string->mChars.size()))
    {
        return 0;
    }
    const std::u16string find = pattern->mChars;
    const std::u16string replacement = with->mChars;
    const std::size_t begin = static_cast<std::size_t>(rangeToSearch.location);
    const std::size_t end = begin + static_cast<std::size_t>(rangeToSearch.length);
    std::u16string result = string->mChars.substr(0, begin);
    CFIndex count = 0;
    std::size_t at = begin;
    if ((compareOptions & kCFCompareAnchored) != 0)
    {
        // One match at the start (or, backwards, at the end) of the range.
        const std::size_t found = FindUnits(string->mChars, begin, end, find, compareOptions);
        if (found != std::u16string::npos)
        {
            result.append(string->mChars, begin, found - begin);
            result += replacement;
            at = found + find.size();
            count = 1;
        }
    }
    else
    {
        // Non-overlapping matches from left to right.
        while (true)
        {
            const std::size_t found =
                FindUnits(string->mChars, at, end, find, compareOptions & ~kCFCompareBackwards);
            if (found == std::u16string::npos)
            {
                break;
            }
            result.append(string->mChars, at, found - at);
            result += replacement;
            at = found + find.size();
            ++count;
        }
    }
    if (count > 0)
    {
        result.append(string->mChars, at, std::u16string::npos);
        string->mChars.swap(result);
        string->Update();
    }
    return count;
}
