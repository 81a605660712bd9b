#include "GDocumentScanner.h"

#include "GFontText.h"

#include <cstring>

namespace typehold
{
namespace
{
enum class EMatch
{
    kNo,
    kYes,
    kNeedMore, // the bytes end before it can be told
};

// PDF and PostScript white space.
bool IsWhite(TUInt8 c)
{
    return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool IsDelimiter(TUInt8 c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' ||
           c == '/' || c == '%';
}

bool IsRegular(TUInt8 c)
{
    return !IsWhite(c) && !IsDelimiter(c);
}

// The key "/<key>" at position slash, as a whole name (not the start of a longer one).
EMatch MatchKey(const TUInt8* bytes, std::size_t slash, std::size_t size, bool atEnd, const char* key)
{
    const std::size_t length = std::strlen(key);
    const std::size_t available = size - slash - 1;
    const std::size_t compared = available < length ? available : length;
    if (std::memcmp(bytes + slash + 1, key, compared) != 0)
    {
        return EMatch::kNo;
    }
    if (available <= length)
    {
        return atEnd ? EMatch::kNo : EMatch::kNeedMore;
    }
    return IsRegular(bytes[slash + 1 + length]) ? EMatch::kNo : EMatch::kYes;
}

int HexDigit(TUInt8 c)
{
    if (c >= '0' && c <= '9')
    {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F')
    {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f')
    {
        return c - 'a' + 10;
    }
    return -1;
}

// A PDF name's characters: #xx escapes decoded, a subset tag (six capital letters and '+')
// removed.
TUTF8String DecodePDFName(const TUInt8* bytes, std::size_t count)
{
    TByteVector name;
    for (std::size_t i = 0; i < count; ++i)
    {
        if (bytes[i] == '#' && i + 2 < count && HexDigit(bytes[i + 1]) >= 0 && HexDigit(bytes[i + 2]) >= 0)
        {
            name.push_back(static_cast<TUInt8>(HexDigit(bytes[i + 1]) * 16 + HexDigit(bytes[i + 2])));
            i += 2;
        }
        else
        {
            name.push_back(bytes[i]);
        }
    }
    std::size_t start = 0;
    if (name.size() > 7 && name[6] == '+')
    {
        bool tag = true;
        for (std::size_t i = 0; i < 6; ++i)
        {
            tag = tag && name[i] >= 'A' && name[i] <= 'Z';
        }
        start = tag ? 7 : 0;
    }
    return GFontText::FromPlainBytes(name.data() + start, name.size() - start);
}

// A Photoshop font name string's bytes: UTF-16BE after a byte-order mark, else plain bytes;
// trailing NUL characters dropped.
TUTF8String DecodePhotoshopName(const TByteVector& bytes)
{
    TUTF8String name = (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)
                           ? GFontText::FromUTF16BE(bytes.data() + 2, bytes.size() - 2)
                           : GFontText::FromPlainBytes(bytes.data(), bytes.size());
    while (!name.empty() && name.back() == '\0')
    {
        name.pop_back();
    }
    return name;
}

enum class EString
{
    kDone,
    kNeedMore,
    kMalformed,
};

// A literal string "(...)" starting at position open: balanced parentheses inside it, and a
// backslash taking the next byte as it is (the text engine data escapes '(', ')' and '\' that
// way, including the bytes of UTF-16 text).
EString ReadLiteralString(const TUInt8* bytes, std::size_t open, std::size_t size, bool atEnd,
                          TByteVector& text, std::size_t& end)
{
    text.clear();
    int depth = 1;
    std::size_t k = open + 1;
    while (k < size && k - open <= GDocumentScanner::kMaxCarry)
    {
        const TUInt8 c = bytes[k];
        if (c == '\\')
        {
            if (k + 1 >= size)
            {
                break;
            }
            text.push_back(bytes[k + 1]);
            k += 2;
            continue;
        }
        if (c == '(')
        {
            ++depth;
        }
        else if (c == ')' && --depth == 0)
        {
            end = k + 1;
            return EString::kDone;
        }
        text.push_back(c);
        ++k;
    }
    if (atEnd || size - open > GDocumentScanner::kMaxCarry)
    {
        return EString::kMalformed;
    }
    return EString::kNeedMore;
}
} // namespace

void GDocumentScanner::AddName(const TUTF8String& name)
{
    if (!name.empty() && mSeen.insert(name).second)
    {
        mNames.push_back(name);
    }
}

TErrorCode GDocumentScanner::ScanAll(const TReader& reader, std::size_t chunkSize)
{
    if (chunkSize == 0)
    {
        chunkSize = 1;
    }
    TByteVector buffer(kMaxCarry + chunkSize);
    std::size_t carried = 0;
    while (true)
    {
        std::size_t got = 0;
        const TErrorCode result = reader(buffer.data() + carried, chunkSize, got);
        if (result != CoreErrorCodes::kSuccess)
        {
            return result;
        }
        got = got < chunkSize ? got : chunkSize;
        const bool atEnd = got < chunkSize;
        const std::size_t size = carried + got;
        std::size_t used = Scan(buffer.data(), size, atEnd);
        if (atEnd)
        {
            return CoreErrorCodes::kSuccess;
        }
        used = used < size ? used : size;
        carried = size - used;
        if (carried > kMaxCarry)
        {
            // Never left by the scanners; the bytes are passed over rather than overrun the buffer.
            carried = 0;
        }
        std::memmove(buffer.data(), buffer.data() + used, carried);
    }
}

void GDocumentScanner::ScanMemory(const TUInt8* bytes, std::size_t size, std::size_t chunkSize)
{
    std::size_t position = 0;
    ScanAll(
        [&](TUInt8* buffer, std::size_t count, std::size_t& got)
        {
            got = size - position < count ? size - position : count;
            if (got > 0)
            {
                std::memcpy(buffer, bytes + position, got);
            }
            position += got;
            return CoreErrorCodes::kSuccess;
        },
        chunkSize);
}

std::size_t GPDFFontScanner::Scan(const TUInt8* bytes, std::size_t size, bool atEnd)
{
    static const char* const kKeys[] = {"BaseFont", "FontName"};
    std::size_t position = 0;
    while (position < size)
    {
        const auto* slash = static_cast<const TUInt8*>(std::memchr(bytes + position, '/', size - position));
        if (slash == nullptr)
        {
            return size;
        }
        const std::size_t start = static_cast<std::size_t>(slash - bytes);
        EMatch match = EMatch::kNo;
        std::size_t k = start;
        for (const char* key : kKeys)
        {
            match = MatchKey(bytes, start, size, atEnd, key);
            if (match != EMatch::kNo)
            {
                k = start + 1 + std::strlen(key);
                break;
            }
        }
        if (match == EMatch::kYes)
        {
            while (k < size && IsWhite(bytes[k]))
            {
                ++k;
            }
            if (k == size)
            {
                match = atEnd ? EMatch::kNo : EMatch::kNeedMore;
            }
            else if (bytes[k] != '/')
            {
                match = EMatch::kNo;
            }
        }
        std::size_t end = k + 1;
        if (match == EMatch::kYes)
        {
            while (end < size && IsRegular(bytes[end]))
            {
                ++end;
            }
            if (end == size && !atEnd)
            {
                match = EMatch::kNeedMore;
            }
        }
        if (match == EMatch::kNeedMore && size - start <= kMaxCarry)
        {
            return start;
        }
        if (match == EMatch::kYes && end - start <= kMaxCarry)
        {
            AddName(DecodePDFName(bytes + k + 1, end - k - 1));
            position = end;
        }
        else
        {
            position = start + 1;
        }
    }
    return size;
}

std::size_t GPhotoshopFontScanner::Scan(const TUInt8* bytes, std::size_t size, bool atEnd)
{
    static const char* const kFontSetKey = "FontSet";
    std::size_t position = 0;
    while (position < size)
    {
        if (!mInFontSet)
        {
            const auto* slash =
                static_cast<const TUInt8*>(std::memchr(bytes + position, '/', size - position));
            if (slash == nullptr)
            {
                return size;
            }
            const std::size_t start = static_cast<std::size_t>(slash - bytes);
            const EMatch match = MatchKey(bytes, start, size, atEnd, kFontSetKey);
            if (match == EMatch::kNeedMore)
            {
                return start;
            }
            position = start + 1;
            if (match == EMatch::kYes)
            {
                position = start + 1 + std::strlen(kFontSetKey);
                mInFontSet = true;
                mInArray = false;
                mDepth = 0;
                mAfterNameKey = false;
                mFontSetBytes = 0;
            }
            continue;
        }

        // One token of the font set.
        const std::size_t start = position;
        const TUInt8 c = bytes[position];
        if (IsWhite(c))
        {
            while (position < size && IsWhite(bytes[position]))
            {
                ++position;
            }
        }
        else if (c == '[')
        {
            mInArray = true;
            ++mDepth;
            ++position;
        }
        else if (!mInArray)
        {
            // "/FontSet" not followed by an array: not the font set; look on from here.
            mInFontSet = false;
            continue;
        }
        else if (c == ']')
        {
            ++position;
            if (--mDepth <= 0)
            {
                mInFontSet = false;
                continue;
            }
        }
        else if (c == '(')
        {
            TByteVector text;
            std::size_t end = 0;
            const EString string = ReadLiteralString(bytes, start, size, atEnd, text, end);
            if (string == EString::kNeedMore)
            {
                return start;
            }
            if (string == EString::kMalformed)
            {
                mInFontSet = false;
                position = start + 1;
                continue;
            }
            if (mAfterNameKey)
            {
                const TUTF8String name = DecodePhotoshopName(text);
                if (name != "AdobeInvisFont")
                {
                    AddName(name);
                }
            }
            mAfterNameKey = false;
            position = end;
        }
        else if (c == '/')
        {
            std::size_t end = start + 1;
            while (end < size && IsRegular(bytes[end]))
            {
                ++end;
            }
            if (end == size && !atEnd && size - start <= kMaxCarry)
            {
                return start;
            }
            mAfterNameKey = end - start - 1 == 4 && std::memcmp(bytes + start + 1, "Name", 4) == 0;
            position = end;
        }
        else
        {
            // Dictionary brackets, numbers and the like: nothing to take.
            ++position;
            while (IsRegular(c) && position < size && IsRegular(bytes[position]))
            {
                ++position;
            }
            mAfterNameKey = false;
        }
        mFontSetBytes += position - start;
        if (mFontSetBytes > kMaxFontSetSize)
        {
            mInFontSet = false;
        }
    }
    return size;
}
} // namespace typehold
