#include "GPDFMetadata.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace typehold
{
namespace
{
constexpr TUInt64 kWindow = 64 * 1024;
constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxTokenBytes = 1024 * 1024;       // a name, number or string
constexpr std::size_t kMaxItems = 100000;                 // of one array or dictionary
constexpr std::size_t kMaxCatalogBytes = 4 * 1024 * 1024; // raw values of the catalog
constexpr TUInt64 kMaxMetadata = 64 * 1024 * 1024;
constexpr std::size_t kMaxSections = 1000;
constexpr std::size_t kMaxSubsections = 1000000;
constexpr TUInt64 kMaxObjectNumber = 8388607; // PDF's limit

bool IsWhite(int c)
{
    return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool IsDelimiter(int c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' ||
           c == '/' || c == '%';
}

bool IsRegular(int c)
{
    return c >= 0 && !IsWhite(c) && !IsDelimiter(c);
}

bool IsDigit(int c)
{
    return c >= '0' && c <= '9';
}

// A value of the document: where it is, and what the update needs to know about it.
struct GValue
{
    enum class EKind
    {
        kNone,
        kNumber,
        kName,
        kString,
        kArray,
        kDictionary,
        kReference,
        kKeyword,
    };
    EKind kind = EKind::kNone;
    TUInt64 start = 0;
    TUInt64 end = 0;
    bool integer = false;
    TUInt64 number = 0; // an integer's value; a reference's object number
    bool negative = false;
    TUInt64 generation = 0;
    std::string text; // a name (without '/') or a keyword
    std::size_t itemCount = 0;
    std::vector<std::string> keys; // of a dictionary, with its values
    std::vector<GValue> values;
    const GValue* Find(const char* key) const
    {
        for (std::size_t i = 0; i < keys.size(); ++i)
        {
            if (keys[i] == key)
            {
                return &values[i];
            }
        }
        return nullptr;
    }
};

// Tokens and values read from any offset of the source, through a window of cached bytes.
class GParser
{
public:
    GParser(GByteSource& source, TUInt64 position) : mSource(source), mPosition(position) {}

    TUInt64 Position() const { return mPosition; }
    void Seek(TUInt64 position) { mPosition = position; }

    int Byte(TUInt64 at)
    {
        if (at >= mSource.Size())
        {
            return -1;
        }
        if (at < mWindowStart || at >= mWindowStart + mWindow.size())
        {
            const TUInt64 count = std::min(kWindow, mSource.Size() - at);
            if (!mSource.ReadAt(at, static_cast<std::size_t>(count), mWindow))
            {
                mWindow.clear();
                return -1;
            }
            mWindowStart = at;
        }
        return static_cast<unsigned char>(mWindow[static_cast<std::size_t>(at - mWindowStart)]);
    }
    int Peek() { return Byte(mPosition); }

    void SkipWhite()
    {
        for (;;)
        {
            const int c = Peek();
            if (IsWhite(c))
            {
                ++mPosition;
            }
            else if (c == '%')
            {
                while (Peek() >= 0 && Peek() != '\n' && Peek() != '\r')
                {
                    ++mPosition;
                }
            }
            else
            {
                return;
            }
        }
    }

    // A keyword (a run of regular characters) equal to the text, after white space.
    bool Keyword(const char* expected)
    {
        SkipWhite();
        const TUInt64 start = mPosition;
        std::string word;
        while (IsRegular(Peek()) && word.size() < 64)
        {
            word += static_cast<char>(Peek());
            ++mPosition;
        }
        if (word == expected)
        {
            return true;
        }
        mPosition = start;
        return false;
    }

    bool UnsignedInteger(TUInt64& value)
    {
        SkipWhite();
        const TUInt64 start = mPosition;
        value = 0;
        int digits = 0;
        while (IsDigit(Peek()) && digits < 19)
        {
            value = value * 10 + static_cast<TUInt64>(Peek() - '0');
            ++mPosition;
            ++digits;
        }
        if (digits == 0 || IsRegular(Peek()))
        {
            mPosition = start;
            return false;
        }
        return true;
    }

    bool Value(GValue& value, int depth, std::string& error)
    {
        value = GValue();
        SkipWhite();
        value.start = mPosition;
        const int c = Peek();
        if (depth > kMaxDepth)
        {
            return Fail("values nested too deeply", error);
        }
        if (c < 0)
        {
            return Fail("the file ends inside an object", error);
        }
        bool ok = true;
        if (c == '/')
        {
            ++mPosition;
            value.kind = GValue::EKind::kName;
            ok = Run(value.text, error);
        }
        else if (c == '(')
        {
            value.kind = GValue::EKind::kString;
            ok = LiteralString(error);
        }
        else if (c == '<' && Byte(mPosition + 1) == '<')
        {
            value.kind = GValue::EKind::kDictionary;
            ok = Dictionary(value, depth, error);
        }
        else if (c == '<')
        {
            value.kind = GValue::EKind::kString;
            ok = HexString(error);
        }
        else if (c == '[')
        {
            value.kind = GValue::EKind::kArray;
            ok = Array(value, depth, error);
        }
        else if (IsDigit(c) || c == '+' || c == '-' || c == '.')
        {
            ok = Number(value, error);
        }
        else if (IsRegular(c))
        {
            value.kind = GValue::EKind::kKeyword;
            ok = Run(value.text, error);
        }
        else
        {
            return Fail("unexpected '" + std::string(1, static_cast<char>(c)) + "' at byte " +
                            std::to_string(mPosition),
                        error);
        }
        value.end = mPosition;
        return ok;
    }

private:
    static bool Fail(const std::string& reason, std::string& error)
    {
        error = reason;
        return false;
    }

    bool Run(std::string& text, std::string& error)
    {
        while (IsRegular(Peek()))
        {
            if (text.size() >= kMaxTokenBytes)
            {
                return Fail("a token longer than " + std::to_string(kMaxTokenBytes) + " bytes", error);
            }
            text += static_cast<char>(Peek());
            ++mPosition;
        }
        return true;
    }

    bool LiteralString(std::string& error)
    {
        const TUInt64 start = mPosition;
        int open = 0;
        do
        {
            const int c = Peek();
            if (c < 0 || mPosition - start > kMaxTokenBytes)
            {
                return Fail("a string that does not end", error);
            }
            if (c == '\\')
            {
                ++mPosition;
            }
            else if (c == '(')
            {
                ++open;
            }
            else if (c == ')')
            {
                --open;
            }
            ++mPosition;
        } while (open > 0);
        return true;
    }

    bool HexString(std::string& error)
    {
        const TUInt64 start = mPosition;
        ++mPosition;
        for (;;)
        {
            const int c = Peek();
            if (c < 0 || mPosition - start > kMaxTokenBytes)
            {
                return Fail("a hexadecimal string that does not end", error);
            }
            ++mPosition;
            if (c == '>')
            {
                return true;
            }
        }
    }

    bool Array(GValue& value, int depth, std::string& error)
    {
        ++mPosition;
        for (;;)
        {
            SkipWhite();
            if (Peek() == ']')
            {
                ++mPosition;
                return true;
            }
            GValue item;
            if (++value.itemCount > kMaxItems || !Value(item, depth + 1, error))
            {
                return value.itemCount > kMaxItems ? Fail("an array of too many items", error) : false;
            }
        }
    }

    bool Dictionary(GValue& value, int depth, std::string& error)
    {
        mPosition += 2;
        for (;;)
        {
            SkipWhite();
            if (Peek() == '>' && Byte(mPosition + 1) == '>')
            {
                mPosition += 2;
                return true;
            }
            GValue key;
            if (!Value(key, depth + 1, error))
            {
                return false;
            }
            if (key.kind != GValue::EKind::kName)
            {
                return Fail("a dictionary key that is not a name at byte " + std::to_string(key.start),
                            error);
            }
            GValue entry;
            if (value.keys.size() >= kMaxItems || !Value(entry, depth + 1, error))
            {
                return value.keys.size() >= kMaxItems ? Fail("a dictionary of too many entries", error)
                                                      : false;
            }
            value.keys.push_back(key.text);
            value.values.push_back(std::move(entry));
        }
    }

    bool Number(GValue& value, std::string& error)
    {
        value.kind = GValue::EKind::kNumber;
        std::string text;
        if (!Run(text, error))
        {
            return false;
        }
        std::size_t digits = 0;
        value.negative = !text.empty() && text[0] == '-';
        value.integer = true;
        for (std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0; i < text.size(); ++i)
        {
            if (!IsDigit(text[i]))
            {
                value.integer = false;
                break;
            }
            if (++digits > 18)
            {
                value.integer = false; // too large to be an object number or a length
                break;
            }
            value.number = value.number * 10 + static_cast<TUInt64>(text[i] - '0');
        }
        value.integer = value.integer && digits > 0;
        // "N G R" is a reference.
        if (value.integer && !value.negative)
        {
            const TUInt64 after = mPosition;
            TUInt64 generation = 0;
            if (UnsignedInteger(generation) && Keyword("R"))
            {
                value.kind = GValue::EKind::kReference;
                value.generation = generation;
                return true;
            }
            mPosition = after;
        }
        return true;
    }

    GByteSource& mSource;
    TUInt64 mPosition;
    std::string mWindow;
    TUInt64 mWindowStart = 0;
};

bool RawText(GByteSource& source, const GValue& value, std::string& text)
{
    return value.end >= value.start && value.end - value.start <= kMaxCatalogBytes &&
           source.ReadAt(value.start, static_cast<std::size_t>(value.end - value.start), text);
}

// "N G obj" at the offset, then the object's value.
bool ReadObject(TUInt64 offset, TUInt64 number, GParser& parser, GValue& value, std::string& error)
{
    parser.Seek(offset);
    TUInt64 foundNumber = 0;
    TUInt64 generation = 0;
    if (!parser.UnsignedInteger(foundNumber) || !parser.UnsignedInteger(generation) || !parser.Keyword("obj"))
    {
        error = "object " + std::to_string(number) + " is not at byte " + std::to_string(offset) +
                " where the cross-reference table puts it";
        return false;
    }
    if (foundNumber != number)
    {
        error = "the cross-reference table puts object " + std::to_string(number) + " at byte " +
                std::to_string(offset) + ", where object " + std::to_string(foundNumber) + " is";
        return false;
    }
    return parser.Value(value, 0, error);
}
} // namespace

TErrorCode GPDFMetadata::ReadSection(GByteSource& source, TUInt64 offset, GSection& section,
                                     TUInt64& previous, bool newest, std::string& error)
{
    previous = 0;
    section.offset = offset;
    GParser parser(source, offset);
    if (!parser.Keyword("xref"))
    {
        TUInt64 number = 0;
        TUInt64 generation = 0;
        parser.Seek(offset);
        if (parser.UnsignedInteger(number) && parser.UnsignedInteger(generation) && parser.Keyword("obj"))
        {
            error = "the document indexes its objects with a cross-reference stream (PDF 1.5 and later), "
                    "which this writer does not update";
            return CoreErrorCodes::kNotSupported;
        }
        error = "no cross-reference table at byte " + std::to_string(offset);
        return CoreErrorCodes::kError;
    }
    for (;;)
    {
        if (parser.Keyword("trailer"))
        {
            break;
        }
        GSubsection subsection;
        if (!parser.UnsignedInteger(subsection.first) || !parser.UnsignedInteger(subsection.count))
        {
            error = "a malformed cross-reference table at byte " + std::to_string(parser.Position());
            return CoreErrorCodes::kError;
        }
        parser.SkipWhite();
        subsection.entries = parser.Position();
        // Entries are 20 bytes ("oooooooooo ggggg n" and a two-byte line end); some writers end
        // them with one byte.
        if (subsection.count > 0)
        {
            const int first = parser.Byte(subsection.entries + 18);
            const int second = parser.Byte(subsection.entries + 19);
            subsection.entrySize = (first == '\n' || first == '\r') && IsDigit(second) ? 19 : 20;
        }
        const TUInt64 bytes = subsection.count * subsection.entrySize;
        if (subsection.count > source.Size() || bytes > source.Size() - subsection.entries ||
            section.subsections.size() >= kMaxSubsections)
        {
            error = "a cross-reference subsection of " + std::to_string(subsection.count) +
                    " entries runs past the end of the file";
            return CoreErrorCodes::kError;
        }
        section.subsections.push_back(subsection);
        parser.Seek(subsection.entries + bytes);
    }
    GValue trailer;
    if (!parser.Value(trailer, 0, error) || trailer.kind != GValue::EKind::kDictionary)
    {
        error = "a malformed trailer after the cross-reference table at byte " + std::to_string(offset) +
                (error.empty() ? "" : ": " + error);
        return CoreErrorCodes::kError;
    }
    if (trailer.Find("Encrypt") != nullptr)
    {
        error = "the document is encrypted";
        return CoreErrorCodes::kNotSupported;
    }
    const GValue* prev = trailer.Find("Prev");
    if (prev != nullptr)
    {
        if (prev->kind != GValue::EKind::kNumber || !prev->integer || prev->negative)
        {
            error = "the trailer's /Prev is not an offset";
            return CoreErrorCodes::kError;
        }
        previous = prev->number;
        if (previous == 0)
        {
            previous = ~TUInt64(0); // an offset of 0 cannot be a table (the header is there)
        }
    }
    if (newest)
    {
        const GValue* root = trailer.Find("Root");
        const GValue* size = trailer.Find("Size");
        if (root == nullptr || root->kind != GValue::EKind::kReference)
        {
            error = "the trailer names no catalog (/Root)";
            return CoreErrorCodes::kError;
        }
        if (size == nullptr || size->kind != GValue::EKind::kNumber || !size->integer || size->negative ||
            size->number == 0 || size->number > kMaxObjectNumber + 1)
        {
            error = "the trailer has no valid /Size";
            return CoreErrorCodes::kError;
        }
        mCatalogNumber = root->number;
        mCatalogGeneration = root->generation;
        mObjectCount = size->number;
        mHybrid = trailer.Find("XRefStm") != nullptr;
        const GValue* info = trailer.Find("Info");
        const GValue* id = trailer.Find("ID");
        if ((info != nullptr && !RawText(source, *info, mInfo)) ||
            (id != nullptr && !RawText(source, *id, mID)))
        {
            error = "the trailer's /Info or /ID cannot be read";
            return CoreErrorCodes::kError;
        }
    }
    return CoreErrorCodes::kSuccess;
}

bool GPDFMetadata::FindObject(GByteSource& source, TUInt64 number, TUInt64& offset, TUInt64& generation) const
{
    for (const GSection& section : mSections)
    {
        for (const GSubsection& subsection : section.subsections)
        {
            if (number < subsection.first || number - subsection.first >= subsection.count)
            {
                continue;
            }
            std::string entry;
            if (!source.ReadAt(subsection.entries + (number - subsection.first) * subsection.entrySize, 18,
                               entry))
            {
                return false;
            }
            offset = 0;
            generation = 0;
            for (std::size_t i = 0; i < 10; ++i)
            {
                if (!IsDigit(entry[i]))
                {
                    return false;
                }
                offset = offset * 10 + static_cast<TUInt64>(entry[i] - '0');
            }
            for (std::size_t i = 11; i < 16; ++i)
            {
                if (!IsDigit(entry[i]))
                {
                    return false;
                }
                generation = generation * 10 + static_cast<TUInt64>(entry[i] - '0');
            }
            // The newest section that lists the object decides: a free entry means deleted.
            return entry[17] == 'n';
        }
    }
    return false;
}

TErrorCode GPDFMetadata::Read(GByteSource& source, std::string& error)
{
    *this = GPDFMetadata();
    mSize = source.Size();
    std::string head;
    if (!source.ReadAt(0, static_cast<std::size_t>(std::min<TUInt64>(mSize, 1024)), head) ||
        head.find("%PDF-") == std::string::npos)
    {
        error = "not a PDF document: no %PDF- header";
        return CoreErrorCodes::kError;
    }
    std::string tail;
    const TUInt64 tailSize = std::min<TUInt64>(mSize, 4096);
    if (!source.ReadAt(mSize - tailSize, static_cast<std::size_t>(tailSize), tail))
    {
        error = "cannot read the end of the document";
        return CoreErrorCodes::kError;
    }
    mEndsWithEOL = !tail.empty() && (tail.back() == '\n' || tail.back() == '\r');
    const std::size_t startxref = tail.rfind("startxref");
    if (startxref == std::string::npos)
    {
        error = "no startxref at the end of the document: it is cut short";
        return CoreErrorCodes::kError;
    }
    {
        GMemorySource rest(tail.data() + startxref + 9, tail.size() - startxref - 9);
        GParser parser(rest, 0);
        if (!parser.UnsignedInteger(mLastSection) || mLastSection >= mSize)
        {
            error = "the startxref offset is missing or past the end of the document";
            return CoreErrorCodes::kError;
        }
    }

    std::set<TUInt64> seen;
    for (TUInt64 offset = mLastSection; offset != 0;)
    {
        if (offset >= mSize || !seen.insert(offset).second || mSections.size() >= kMaxSections)
        {
            error = offset >= mSize ? "a /Prev offset past the end of the document"
                                    : "the chain of cross-reference sections loops";
            return CoreErrorCodes::kError;
        }
        GSection section;
        TUInt64 previous = 0;
        const TErrorCode code = ReadSection(source, offset, section, previous, mSections.empty(), error);
        if (code != CoreErrorCodes::kSuccess)
        {
            return code;
        }
        mSections.push_back(std::move(section));
        offset = previous;
    }

    // The new metadata object takes the first free number: /Size, unless the tables (or the
    // catalog) already use numbers beyond it.
    for (const GSection& section : mSections)
    {
        for (const GSubsection& subsection : section.subsections)
        {
            mObjectCount = std::max(mObjectCount, subsection.first + subsection.count);
        }
    }
    mObjectCount = std::max(mObjectCount, mCatalogNumber + 1);
    if (mObjectCount > kMaxObjectNumber)
    {
        error = "the cross-reference tables use object numbers beyond what PDF allows";
        return CoreErrorCodes::kError;
    }

    TUInt64 offset = 0;
    TUInt64 generation = 0;
    if (!FindObject(source, mCatalogNumber, offset, generation))
    {
        error =
            "the catalog (object " + std::to_string(mCatalogNumber) +
            ") is not in the cross-reference table" +
            (mHybrid ? ": it is kept in a cross-reference stream, which this writer does not update" : "");
        return mHybrid ? CoreErrorCodes::kNotSupported : CoreErrorCodes::kError;
    }
    GParser parser(source, offset);
    GValue catalog;
    if (!ReadObject(offset, mCatalogNumber, parser, catalog, error))
    {
        error = "the catalog cannot be read: " + error;
        return CoreErrorCodes::kError;
    }
    const GValue* type = catalog.Find("Type");
    if (catalog.kind != GValue::EKind::kDictionary ||
        (type != nullptr && (type->kind != GValue::EKind::kName || type->text != "Catalog")))
    {
        error = "object " + std::to_string(mCatalogNumber) + " named by /Root is not a catalog";
        return CoreErrorCodes::kError;
    }
    std::size_t catalogBytes = 0;
    for (std::size_t i = 0; i < catalog.keys.size(); ++i)
    {
        const GValue& value = catalog.values[i];
        std::string raw;
        catalogBytes += value.end - value.start;
        if (catalogBytes > kMaxCatalogBytes || !RawText(source, value, raw))
        {
            error = "the catalog is too large";
            return CoreErrorCodes::kError;
        }
        mCatalog.emplace_back(catalog.keys[i], raw);
    }

    const GValue* metadata = catalog.Find("Metadata");
    if (metadata == nullptr)
    {
        mNote = "the document has no metadata stream";
        return CoreErrorCodes::kSuccess;
    }
    if (metadata->kind != GValue::EKind::kReference ||
        !FindObject(source, metadata->number, offset, generation))
    {
        mNote = "the catalog's /Metadata names no object of the file";
        return CoreErrorCodes::kSuccess;
    }
    GValue stream;
    if (!ReadObject(offset, metadata->number, parser, stream, error) ||
        stream.kind != GValue::EKind::kDictionary || !parser.Keyword("stream"))
    {
        error = "the metadata stream (object " + std::to_string(metadata->number) + ") cannot be read" +
                (error.empty() ? "" : ": " + error);
        return CoreErrorCodes::kError;
    }
    const GValue* filter = stream.Find("Filter");
    if (filter != nullptr && !(filter->kind == GValue::EKind::kArray && filter->itemCount == 0))
    {
        std::string name;
        RawText(source, *filter, name);
        mMetadata = EMetadata::kCompressed;
        mNote = "the metadata stream is compressed (/Filter " + name + ")";
        return CoreErrorCodes::kSuccess;
    }
    TUInt64 dataStart = parser.Position();
    if (parser.Byte(dataStart) == '\r')
    {
        ++dataStart;
    }
    if (parser.Byte(dataStart) == '\n')
    {
        ++dataStart;
    }
    TUInt64 length = 0;
    bool lengthKnown = false;
    const GValue* lengthValue = stream.Find("Length");
    if (lengthValue != nullptr && lengthValue->kind == GValue::EKind::kNumber && lengthValue->integer &&
        !lengthValue->negative)
    {
        length = lengthValue->number;
        lengthKnown = true;
    }
    else if (lengthValue != nullptr && lengthValue->kind == GValue::EKind::kReference &&
             FindObject(source, lengthValue->number, offset, generation))
    {
        GParser lengthParser(source, offset);
        GValue indirect;
        std::string ignored;
        if (ReadObject(offset, lengthValue->number, lengthParser, indirect, ignored) &&
            indirect.kind == GValue::EKind::kNumber && indirect.integer && !indirect.negative)
        {
            length = indirect.number;
            lengthKnown = true;
        }
    }
    // Trust the length when "endstream" follows it; otherwise look for "endstream".
    bool found = false;
    if (lengthKnown && length <= kMaxMetadata && length <= mSize - dataStart)
    {
        parser.Seek(dataStart + length);
        found = parser.Keyword("endstream") &&
                source.ReadAt(dataStart, static_cast<std::size_t>(length), mPacket);
    }
    if (!found)
    {
        std::string window;
        const TUInt64 count = std::min<TUInt64>(kMaxMetadata, mSize - dataStart);
        const std::size_t end = source.ReadAt(dataStart, static_cast<std::size_t>(count), window)
                                    ? window.find("endstream")
                                    : std::string::npos;
        if (end == std::string::npos)
        {
            error = "the metadata stream (object " + std::to_string(metadata->number) + ") does not end";
            return CoreErrorCodes::kError;
        }
        std::size_t dataEnd = end;
        if (dataEnd > 0 && window[dataEnd - 1] == '\n')
        {
            --dataEnd;
        }
        if (dataEnd > 0 && window[dataEnd - 1] == '\r')
        {
            --dataEnd;
        }
        mPacket = window.substr(0, dataEnd);
    }
    mMetadata = EMetadata::kReadable;
    mNote = "the metadata stream is object " + std::to_string(metadata->number);
    return CoreErrorCodes::kSuccess;
}

std::string GPDFMetadata::BuildUpdate(const std::string& packet) const
{
    std::string update = mEndsWithEOL ? "" : "\n";
    const TUInt64 metadataNumber = mObjectCount;
    const TUInt64 metadataOffset = mSize + update.size();
    update += std::to_string(metadataNumber) + " 0 obj\n<< /Type /Metadata /Subtype /XML /Length " +
              std::to_string(packet.size()) + " >>\nstream\n" + packet + "\nendstream\nendobj\n";
    const TUInt64 catalogOffset = mSize + update.size();
    update += std::to_string(mCatalogNumber) + " " + std::to_string(mCatalogGeneration) + " obj\n<<";
    for (const auto& [key, value] : mCatalog)
    {
        if (key != "Metadata")
        {
            update += " /" + key + " " + value;
        }
    }
    update += " /Metadata " + std::to_string(metadataNumber) + " 0 R >>\nendobj\n";
    const TUInt64 xrefOffset = mSize + update.size();

    auto entry = [](TUInt64 offset, TUInt64 generation)
    {
        char line[32];
        std::snprintf(line, sizeof line, "%010llu %05llu n\r\n", static_cast<unsigned long long>(offset),
                      static_cast<unsigned long long>(generation));
        return std::string(line);
    };
    update += "xref\n";
    std::vector<std::pair<TUInt64, std::string>> entries{
        {mCatalogNumber, entry(catalogOffset, mCatalogGeneration)},
        {metadataNumber, entry(metadataOffset, 0)}};
    std::sort(entries.begin(), entries.end());
    for (const auto& [number, line] : entries)
    {
        update += std::to_string(number) + " 1\n" + line;
    }
    update += "trailer\n<< /Size " + std::to_string(std::max(mObjectCount, metadataNumber + 1)) + " /Root " +
              std::to_string(mCatalogNumber) + " " + std::to_string(mCatalogGeneration) + " R";
    if (!mInfo.empty())
    {
        update += " /Info " + mInfo;
    }
    if (!mID.empty())
    {
        update += " /ID " + mID;
    }
    update += " /Prev " + std::to_string(mLastSection) + " >>\nstartxref\n" + std::to_string(xrefOffset) +
              "\n%%EOF\n";
    return update;
}

bool GPDFMetadata::Write(GByteSource& source, GByteSink& sink, const std::string& packet,
                         const std::function<void()>& afterCopy, std::string& error) const
{
    if (!sink.CopyFrom(source, 0, mSize))
    {
        error = "cannot copy the document";
        return false;
    }
    if (afterCopy)
    {
        afterCopy();
    }
    if (!sink.Write(BuildUpdate(packet)))
    {
        error = "cannot write the update";
        return false;
    }
    return true;
}
} // namespace typehold
