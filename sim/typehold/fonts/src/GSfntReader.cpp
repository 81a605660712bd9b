#include "GSfntReader.h"

#include "GCrc32.h"
#include "GFontText.h"
#include "GLogger.h"

#include <cstdarg>
#include <cstdio>

namespace typehold
{
namespace
{
constexpr TUInt32 Tag(const char (&text)[5])
{
    return TUInt32(TUInt8(text[0])) << 24 | TUInt32(TUInt8(text[1])) << 16 | TUInt32(TUInt8(text[2])) << 8 |
           TUInt32(TUInt8(text[3]));
}

constexpr TUInt32 kTrueTypeVersion = 0x00010000;
constexpr TUInt32 kAppleTrueTypeVersion = Tag("true");
constexpr TUInt32 kOpenTypeCFFVersion = Tag("OTTO");
constexpr TUInt32 kCollectionTag = Tag("ttcf");

constexpr std::size_t kOffsetTableSize = 12;
constexpr std::size_t kTableRecordSize = 16;
constexpr std::size_t kNameRecordSize = 12;
constexpr std::size_t kNameHeaderSize = 6;
constexpr std::size_t kMinHeadSize = 54;
constexpr std::size_t kHeadFontRevisionOffset = 4;
constexpr std::size_t kOS2VendorIDOffset = 58;
constexpr TUInt32 kKerningMask = 0xFFFFF;

enum : TUInt16
{
    kNameFamily = 1,
    kNameSubfamily = 2,
    kNameFullName = 4,
    kNameVersion = 5,
    kNamePostScript = 6,
    kNameManufacturer = 8,
    kNameTypographicFamily = 16,
    kNameTypographicSubfamily = 17,
};

enum : TUInt16
{
    kPlatformUnicode = 0,
    kPlatformMacintosh = 1,
    kPlatformWindows = 3,
};
constexpr TUInt16 kLanguageUSEnglish = 0x0409;

bool IsSfntVersion(TUInt32 version)
{
    return version == kTrueTypeVersion || version == kOpenTypeCFFVersion || version == kAppleTrueTypeVersion;
}

std::string Format(const char* format, ...) G_PRINTF_FORMAT(1, 2);
std::string Format(const char* format, ...)
{
    char buffer[256];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return length < 0 ? std::string() : std::string(buffer);
}

// The rank of a name record's platform, encoding and language: lower is better, -1 for a record
// whose text this reader does not decode.
int NameRecordRank(TUInt16 platform, TUInt16 encoding, TUInt16 language)
{
    if (platform == kPlatformWindows && (encoding == 0 || encoding == 1 || encoding == 10))
    {
        if (encoding == 1 && language == kLanguageUSEnglish)
        {
            return 0;
        }
        return language == kLanguageUSEnglish ? 1 : 2;
    }
    if (platform == kPlatformMacintosh && encoding == 0)
    {
        return language == 0 ? 3 : 4;
    }
    if (platform == kPlatformUnicode)
    {
        return 5;
    }
    return -1;
}

// Without NUL characters and blanks at either end.
TUTF8String Trimmed(const TUTF8String& text)
{
    static const std::string blanks(" \t\r\n\v\f\0", 7);
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
    {
        return TUTF8String();
    }
    const std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// The version number of a version string: its first run of digits with the groups of digits
// that follow it after points ("Version 2.37; ttfautohint" -> "2.37"); empty without digits.
TUTF8String VersionNumber(const TUTF8String& text)
{
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t start = 0;
    while (start < text.size() && !isDigit(text[start]))
    {
        ++start;
    }
    std::size_t end = start;
    while (end < text.size())
    {
        if (isDigit(text[end]))
        {
            ++end;
        }
        else if (text[end] == '.' && end + 1 < text.size() && isDigit(text[end + 1]))
        {
            end += 2;
        }
        else
        {
            break;
        }
    }
    return text.substr(start, end - start);
}
} // namespace

bool GSfntReader::ReadHeader(std::string& error)
{
    mFaceOffsets.clear();
    if (mSize < 4)
    {
        error = Format("too short for a font (%llu bytes)", static_cast<unsigned long long>(mSize));
        return false;
    }
    const TUInt32 tag = U32(0);
    if (tag == kCollectionTag)
    {
        if (mSize < kOffsetTableSize)
        {
            error = "collection header truncated";
            return false;
        }
        const TUInt32 faceCount = U32(8);
        if (faceCount == 0)
        {
            error = "collection without faces";
            return false;
        }
        if (faceCount > kMaxFaces)
        {
            error = Format("collection claims %u faces (at most %u are read)", faceCount, kMaxFaces);
            return false;
        }
        if ((mSize - kOffsetTableSize) / 4 < faceCount)
        {
            error = Format("collection's %u face offsets run past the end of the file", faceCount);
            return false;
        }
        for (TUInt32 i = 0; i < faceCount; ++i)
        {
            mFaceOffsets.push_back(U32(kOffsetTableSize + 4 * std::size_t(i)));
        }
        return true;
    }
    if (IsSfntVersion(tag))
    {
        mFaceOffsets.push_back(0);
        return true;
    }
    if (tag == Tag("wOFF") || tag == Tag("wOF2"))
    {
        error = "a WOFF web font, not a TrueType/OpenType file";
    }
    else if (mpData[0] == '%' && mpData[1] == '!')
    {
        error = "a PostScript (Type 1) font, not a TrueType/OpenType file";
    }
    else if (mpData[0] == 0x80 && mpData[1] == 0x01)
    {
        error = "a PostScript Type 1 font (PFB), not a TrueType/OpenType file";
    }
    else
    {
        error = Format("not a TrueType/OpenType font (starts with 0x%08X)", tag);
    }
    return false;
}

bool GSfntReader::ReadTableDirectory(TUInt32 faceOffset, std::vector<TableRecord>& tables,
                                     std::string& error) const
{
    tables.clear();
    if (faceOffset > mSize || mSize - faceOffset < kOffsetTableSize)
    {
        error = Format("table directory at offset %u lies past the end of the file (%llu bytes)", faceOffset,
                       static_cast<unsigned long long>(mSize));
        return false;
    }
    const TUInt32 version = U32(faceOffset);
    if (!IsSfntVersion(version))
    {
        error = Format("no sfnt header at offset %u (0x%08X)", faceOffset, version);
        return false;
    }
    const std::size_t tableCount = U16(faceOffset + 4);
    if (tableCount == 0)
    {
        error = "no tables";
        return false;
    }
    if ((mSize - faceOffset - kOffsetTableSize) / kTableRecordSize < tableCount)
    {
        error = Format("table directory of %u tables runs past the end of the file",
                       static_cast<unsigned>(tableCount));
        return false;
    }
    // Tables of one face never overlap, so together they fit in the file; this also bounds the
    // work of the checksums for directories that point every record at the same bytes.
    std::uint64_t totalLength = 0;
    for (std::size_t i = 0; i < tableCount; ++i)
    {
        const std::size_t record = faceOffset + kOffsetTableSize + i * kTableRecordSize;
        TableRecord table;
        table.tag = U32(record);
        table.offset = U32(record + 8);
        table.length = U32(record + 12);
        if (table.offset > mSize || table.length > mSize - table.offset)
        {
            error = Format("table '%s' (offset %u, length %u) runs past the end of the file (%llu bytes)",
                           GFontText::TagText(table.tag).c_str(), table.offset, table.length,
                           static_cast<unsigned long long>(mSize));
            return false;
        }
        totalLength += table.length;
        if (totalLength > mSize)
        {
            error = "table lengths add up to more than the file size (overlapping tables)";
            return false;
        }
        tables.push_back(table);
    }
    return true;
}

const GSfntReader::TableRecord* GSfntReader::FindTable(const std::vector<TableRecord>& tables,
                                                       TUInt32 tag) const
{
    for (const TableRecord& table : tables)
    {
        if (table.tag == tag)
        {
            return &table;
        }
    }
    return nullptr;
}

bool GSfntReader::ReadNameTable(const TableRecord& table, std::string& error)
{
    mNames.clear();
    if (table.length < kNameHeaderSize)
    {
        error = Format("name table too short (%u bytes)", table.length);
        return false;
    }
    const std::size_t base = table.offset;
    const std::size_t recordCount = U16(base + 2);
    const std::size_t storageOffset = U16(base + 4);
    if ((table.length - kNameHeaderSize) / kNameRecordSize < recordCount)
    {
        error = Format("name table's %u records run past its end", static_cast<unsigned>(recordCount));
        return false;
    }
    std::map<TUInt16, int> bestRanks;
    for (std::size_t i = 0; i < recordCount; ++i)
    {
        const std::size_t record = base + kNameHeaderSize + i * kNameRecordSize;
        const TUInt16 platform = U16(record);
        const TUInt16 encoding = U16(record + 2);
        const TUInt16 language = U16(record + 4);
        const TUInt16 nameID = U16(record + 6);
        const std::size_t length = U16(record + 8);
        const std::size_t offset = storageOffset + U16(record + 10);
        const int rank = NameRecordRank(platform, encoding, language);
        // A record whose string lies outside the table is passed over, like one in an encoding
        // this reader does not decode.
        if (rank < 0 || offset > table.length || length > table.length - offset)
        {
            continue;
        }
        const auto best = bestRanks.find(nameID);
        if (best != bestRanks.end() && best->second <= rank)
        {
            continue;
        }
        const TUInt8* const bytes = mpData + base + offset;
        const TUTF8String text =
            Trimmed(platform == kPlatformMacintosh ? GFontText::FromMacRoman(bytes, length)
                                                   : GFontText::FromUTF16BE(bytes, length));
        if (text.empty())
        {
            continue;
        }
        mNames[nameID] = text;
        bestRanks[nameID] = rank;
    }
    return true;
}

bool GSfntReader::ReadFace(TUInt32 faceIndex, FontFace& face, std::string& error)
{
    mNames.clear();
    if (faceIndex >= mFaceOffsets.size())
    {
        error = Format("no face %u", faceIndex);
        return false;
    }
    std::vector<TableRecord> tables;
    if (!ReadTableDirectory(mFaceOffsets[faceIndex], tables, error))
    {
        return false;
    }
    const TableRecord* const name = FindTable(tables, Tag("name"));
    if (name == nullptr)
    {
        error = "no name table";
        return false;
    }
    const TableRecord* const head = FindTable(tables, Tag("head"));
    if (head == nullptr)
    {
        error = "no head table";
        return false;
    }
    if (head->length < kMinHeadSize)
    {
        error = Format("head table too short (%u bytes)", head->length);
        return false;
    }
    if (!ReadNameTable(*name, error))
    {
        return false;
    }
    const auto nameText = [this](TUInt16 nameID)
    {
        const auto found = mNames.find(nameID);
        return found == mNames.end() ? TUTF8String() : found->second;
    };
    face.postScriptName = nameText(kNamePostScript);
    if (face.postScriptName.empty())
    {
        error = "no PostScript name (name ID 6)";
        return false;
    }
    face.family = nameText(kNameTypographicFamily);
    if (face.family.empty())
    {
        face.family = nameText(kNameFamily);
    }
    face.style = nameText(kNameTypographicSubfamily);
    if (face.style.empty())
    {
        face.style = nameText(kNameSubfamily);
    }
    face.fullName = nameText(kNameFullName);
    face.version = VersionNumber(nameText(kNameVersion));
    if (face.version.empty())
    {
        const auto revision = static_cast<TSInt32>(U32(head->offset + kHeadFontRevisionOffset));
        face.version = Format("%.3f", revision / 65536.0);
    }
    face.foundry = nameText(kNameManufacturer);
    const TableRecord* const os2 = FindTable(tables, Tag("OS/2"));
    if (face.foundry.empty() && os2 != nullptr && os2->length >= kOS2VendorIDOffset + 4)
    {
        TUTF8String vendor;
        for (std::size_t i = 0; i < 4; ++i)
        {
            const char c = static_cast<char>(mpData[os2->offset + kOS2VendorIDOffset + i]);
            if (c != 0 && (c < 0x20 || c > 0x7E))
            {
                vendor.clear();
                break;
            }
            vendor += c;
        }
        face.foundry = Trimmed(vendor);
    }

    const TableRecord* const cff = FindTable(tables, Tag("CFF "));
    const TableRecord* const cff2 = FindTable(tables, Tag("CFF2"));
    const TableRecord* const glyf = FindTable(tables, Tag("glyf"));
    const TableRecord* const loca = FindTable(tables, Tag("loca"));
    const auto add = [this](GCrc32& crc, const TableRecord* table)
    {
        if (table != nullptr)
        {
            crc.Update(mpData + table->offset, table->length);
        }
    };
    GCrc32 outline;
    if (cff != nullptr || cff2 != nullptr)
    {
        face.kind = "OpenType";
        add(outline, cff);
        add(outline, cff2);
        face.outlineChecksum = outline.Value();
    }
    else if (glyf != nullptr)
    {
        face.kind = "TrueType";
        add(outline, glyf);
        add(outline, loca);
        face.outlineChecksum = outline.Value();
    }
    else
    {
        // No outlines this reader knows (bitmap-only faces): the header says what it is meant to be.
        face.kind = U32(mFaceOffsets[faceIndex]) == kOpenTypeCFFVersion ? "OpenType" : "TrueType";
        face.outlineChecksum = 0;
    }

    const TableRecord* const kern = FindTable(tables, Tag("kern"));
    const TableRecord* const gpos = FindTable(tables, Tag("GPOS"));
    GCrc32 kerning;
    add(kerning, kern);
    add(kerning, gpos);
    face.kerningChecksum = (kern != nullptr || gpos != nullptr) ? (kerning.Value() & kKerningMask) : 0;

    GCrc32 whole;
    for (const TableRecord& table : tables)
    {
        add(whole, &table);
    }
    face.checksum = whole.Value();
    face.faceIndex = faceIndex;
    return true;
}

bool GSfntReader::ReadAllFaces(const TUInt8* data, std::size_t size, std::vector<FontFace>& faces,
                               std::string& error)
{
    faces.clear();
    GSfntReader reader(data, size);
    if (!reader.ReadHeader(error))
    {
        return false;
    }
    const bool collection = size >= 4 && reader.U32(0) == kCollectionTag;
    for (TUInt32 i = 0; i < reader.FaceCount(); ++i)
    {
        FontFace face;
        if (!reader.ReadFace(i, face, error))
        {
            if (collection)
            {
                error = Format("face %u: ", i) + error;
            }
            faces.clear();
            return false;
        }
        faces.push_back(std::move(face));
    }
    return true;
}
} // namespace typehold
