#include "GBinaryDocumentFontExtractor.h"

#include "GErrorReport.h"
#include "GFile.h"
#include "GStringEncodings.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <span>

namespace
{
constexpr const char* kLogCategory = "BinaryDocumentFontExtractor";

// "No position": a marker that does not occur, a consumed offset that was not set.
constexpr TUInt64 kNone = ~TUInt64(0);
// An occurrence preceded by this byte is escaped inside a string and does not count.
constexpr TUInt8 kEscapeByte = 0x5C;

constexpr std::string_view kAdobeInvisFont = "AdobeInvisFont";
constexpr std::string_view kMyriadRoman = "Myriad-Roman";
constexpr std::string_view kMyriadProRegular = "MyriadPro-Regular";

// The first occurrence of the pattern in buffer[0, length) whose preceding byte in the buffer is
// not the excluded byte; kNone when there is none, or when the buffer or the pattern is empty or
// the buffer is shorter than the pattern. An occurrence at the buffer's first byte has no
// preceding byte and is always taken.
TUInt64 FindMarker(const TUInt8* buffer, TUInt64 length, std::string_view pattern, TUInt8 excluded)
{
    if (buffer == nullptr || length == 0 || pattern.empty() || length < pattern.size())
    {
        return kNone;
    }
    const TUInt8 first = static_cast<TUInt8>(pattern[0]);
    const TUInt64 rest = pattern.size() - 1;
    const TUInt64 lastStart = length - pattern.size();
    TUInt64 pos = 0;
    while (pos <= lastStart)
    {
        const void* hit = std::memchr(buffer + pos, first, lastStart - pos + 1);
        if (hit == nullptr)
        {
            return kNone;
        }
        const TUInt64 at = static_cast<TUInt64>(static_cast<const TUInt8*>(hit) - buffer);
        if (rest == 0 || (buffer[at + 1] == static_cast<TUInt8>(pattern[1]) &&
                          std::memcmp(buffer + at + 1, pattern.data() + 1, rest) == 0))
        {
            if (at == 0 || buffer[at - 1] != excluded)
            {
                return at;
            }
            GLogger::GetInstance().LogDebug(kLogCategory,
                                            "Ignoring match at offset %d because previous char is 0x%04x",
                                            static_cast<int>(at), static_cast<unsigned int>(excluded));
        }
        pos = at + 1;
    }
    return kNone;
}

// Searches one marker in one chunk, remembering the last answer. The scan asks for the same
// marker again and again from increasing offsets (the end of every name is searched up to the end
// of the chunk); a search from an offset between the last search's start and its result has that
// same result, unless an occurrence starts exactly at the new offset (an escaped one: at the start
// of the searched buffer it counts). So every byte is searched about once per marker, and hostile
// input with many unterminated sections cannot make the scan quadratic.
//
// A marker that begins with another marker of the same chunk (a name marker "/FontName /" and its
// section marker "/FontName") is found among the occurrences of the shorter one, so the bytes are
// not searched a second time.
class MarkerFinder
{
public:
    MarkerFinder(const TUInt8* chunk, TUInt64 size, std::string_view pattern, MarkerFinder* base)
        : mChunk(chunk), mSize(size), mPattern(pattern), mBase(base)
    {
    }

    std::string_view Pattern() const { return mPattern; }
    TUInt64 Length() const { return mPattern.size(); }
    TUInt64 ChunkSize() const { return mSize; }

    // The first occurrence in chunk[from, size), as FindMarker over that buffer finds it.
    TUInt64 Find(TUInt64 from)
    {
        if (from >= mSize || mPattern.empty())
        {
            return kNone;
        }
        if (mFrom != kNone && from >= mFrom && from <= mFound)
        {
            return (from == mFound || OccursAt(from)) ? from : mFound;
        }
        mFrom = from;
        mFound = mBase != nullptr
                     ? FindAmongBase(from, mSize)
                     : Offset(from, FindMarker(mChunk + from, mSize - from, mPattern, kEscapeByte));
        return mFound;
    }

    // The first occurrence that Find(from) finds if it starts before limit; kNone otherwise.
    TUInt64 FindStartingBefore(TUInt64 from, TUInt64 limit)
    {
        if (from >= limit || mPattern.empty())
        {
            return kNone;
        }
        TUInt64 found = kNone;
        if (limit >= mSize || (mFrom != kNone && from >= mFrom && from <= mFound))
        {
            found = Find(from);
        }
        else if (mBase != nullptr)
        {
            found = FindAmongBase(from, limit);
        }
        else
        {
            // Only the bytes an occurrence starting before limit can cover.
            const TUInt64 searchEnd = std::min(mSize, limit + mPattern.size() - 1);
            found = Offset(from, FindMarker(mChunk + from, searchEnd - from, mPattern, kEscapeByte));
        }
        return found < limit ? found : kNone;
    }

    // The last occurrence in the chunk that is not escaped (found once, from the chunk's end).
    TUInt64 Last()
    {
        if (!mLastKnown)
        {
            mLast = mPattern.empty() ? kNone : FindLast();
            mLastKnown = true;
        }
        return mLast;
    }

    // Whether Find(from) finds an occurrence, without searching forward.
    bool OccursFrom(TUInt64 from)
    {
        if (from >= mSize || mPattern.empty())
        {
            return false;
        }
        const TUInt64 last = Last();
        return (last != kNone && from <= last) || OccursAt(from);
    }

    // The first occurrence at or after pos that is not escaped (what a search that started
    // before pos finds there).
    TUInt64 FindNotEscaped(TUInt64 pos)
    {
        TUInt64 found = Find(pos);
        while (found != kNone && IsEscaped(found))
        {
            found = Find(found + 1);
        }
        return found;
    }

    // The first occurrence that lies whole inside chunk[from, limit).
    TUInt64 FindWithin(TUInt64 from, TUInt64 limit)
    {
        if (from >= limit || limit - from < mPattern.size())
        {
            return kNone;
        }
        return FindStartingBefore(from, limit - mPattern.size() + 1);
    }

private:
    static TUInt64 Offset(TUInt64 from, TUInt64 found) { return found == kNone ? kNone : from + found; }

    bool OccursAt(TUInt64 pos) const
    {
        return mSize - pos >= mPattern.size() &&
               std::memcmp(mChunk + pos, mPattern.data(), mPattern.size()) == 0;
    }

    bool IsEscaped(TUInt64 pos) const { return pos > 0 && mChunk[pos - 1] == kEscapeByte; }

    // Every occurrence of this marker is an occurrence of the base marker with the same preceding
    // byte: walk the base's occurrences that start before limit (each step searches from the byte
    // after the last one, so there an escaped occurrence would count: it is checked here).
    TUInt64 FindAmongBase(TUInt64 from, TUInt64 limit)
    {
        for (TUInt64 at = mBase->FindStartingBefore(from, limit); at != kNone;
             at = mBase->FindStartingBefore(at + 1, limit))
        {
            if ((at == from || !IsEscaped(at)) && OccursAt(at))
            {
                return at;
            }
        }
        return kNone;
    }

    // The last occurrence that is not escaped, searched block by block from the chunk's end.
    TUInt64 FindLast() const
    {
        constexpr TUInt64 kBlock = 4096;
        if (mSize < mPattern.size())
        {
            return kNone;
        }
        const TUInt8 first = static_cast<TUInt8>(mPattern[0]);
        TUInt64 blockEnd = mSize - mPattern.size() + 1; // candidate starts lie below it
        while (blockEnd > 0)
        {
            const TUInt64 blockStart = blockEnd > kBlock ? blockEnd - kBlock : 0;
            TUInt64 last = kNone;
            for (TUInt64 pos = blockStart; pos < blockEnd;)
            {
                const void* hit = std::memchr(mChunk + pos, first, blockEnd - pos);
                if (hit == nullptr)
                {
                    break;
                }
                const TUInt64 at = static_cast<TUInt64>(static_cast<const TUInt8*>(hit) - mChunk);
                if (!IsEscaped(at) && OccursAt(at))
                {
                    last = at;
                }
                pos = at + 1;
            }
            if (last != kNone)
            {
                return last;
            }
            blockEnd = blockStart;
        }
        return kNone;
    }

    const TUInt8* mChunk;
    TUInt64 mSize;
    std::string_view mPattern;
    MarkerFinder* mBase; // a shorter marker this one begins with, or null
    TUInt64 mFrom = kNone;
    TUInt64 mFound = kNone;
    bool mLastKnown = false;
    TUInt64 mLast = kNone;
};

// One chunk and the finders of the markers searched in it (one per distinct marker text).
class ChunkScan
{
public:
    ChunkScan(const TUInt8* chunk, TUInt64 size) : mChunk(chunk), mSize(size) {}

    const TUInt8* Chunk() const { return mChunk; }
    TUInt64 Size() const { return mSize; }

    MarkerFinder& Finder(std::string_view pattern)
    {
        MarkerFinder* base = nullptr;
        for (MarkerFinder& finder : mFinders)
        {
            if (finder.Pattern() == pattern)
            {
                return finder;
            }
            if (!finder.Pattern().empty() && pattern.size() > finder.Pattern().size() &&
                pattern.substr(0, finder.Pattern().size()) == finder.Pattern())
            {
                base = &finder;
            }
        }
        return mFinders.emplace_back(mChunk, mSize, pattern, base);
    }

private:
    const TUInt8* mChunk;
    TUInt64 mSize;
    std::deque<MarkerFinder> mFinders; // stable references while finders are added
};

struct Range
{
    TUInt64 begin = 0;
    TUInt64 end = 0;
};
using RangeList = std::vector<Range>; // ascending begins

// Where the next delimited range searched from pos begins, if the search goes on with it: a start
// marker before `to`; or, beyond `to`, the first start marker when its end marker is missing (a
// truncated range ends the search there, a complete one is not taken; `truncated` tells which).
// kNone when the search ends.
//
// Beyond `to` the bytes are searched as little as possible. `hint` is a known start marker at or
// beyond `to` (or kNone): when its end marker exists, the first start beyond `to` has one too.
// Otherwise a start without an end marker after it can only lie after the chunk's last end
// marker, so that tail is searched first, and the bytes before it only when it holds a start.
TUInt64 NextRangeStart(TUInt64 pos, TUInt64 to, MarkerFinder& start, MarkerFinder& end, TUInt64 hint,
                       bool& truncated)
{
    truncated = false;
    const TUInt64 begin = start.FindStartingBefore(pos, to);
    if (begin != kNone || to >= start.ChunkSize())
    {
        return begin;
    }
    if (hint != kNone && end.OccursFrom(hint + start.Length()))
    {
        return kNone;
    }
    const TUInt64 lastEnd = end.Last();
    const TUInt64 tail =
        (lastEnd == kNone || lastEnd < start.Length()) ? to : std::max(to, lastEnd - start.Length() + 1);
    const TUInt64 candidate = start.FindNotEscaped(tail);
    if (candidate == kNone || (tail > to && start.FindStartingBefore(pos, tail) != kNone) ||
        end.OccursFrom(candidate + start.Length()))
    {
        return kNone;
    }
    truncated = true;
    return candidate;
}

// The sections of chunk[from, to): the delimited ranges from a section start to the next section
// end, each recorded from its first name marker; a range without a name marker is not recorded.
// A section whose end marker is missing is recorded as [B, B) and ends the search with the
// truncated flag, even when it starts at or beyond `to`. The ranges depend only on the section
// markers, so one walk serves several name markers (one list of sections each). `hint`: see
// NextRangeStart.
void FindSections(TUInt64 from, TUInt64 to, MarkerFinder& sectionStart, MarkerFinder& sectionEnd,
                  std::span<MarkerFinder* const> nameStarts, std::span<RangeList> sections, bool& truncated,
                  TUInt64 hint)
{
    for (RangeList& list : sections)
    {
        list.clear();
    }
    truncated = false;
    TUInt64 pos = from;
    while (pos < to)
    {
        bool endMissing = false;
        const TUInt64 begin = NextRangeStart(pos, to, sectionStart, sectionEnd, hint, endMissing);
        if (begin == kNone)
        {
            return;
        }
        const TUInt64 end = endMissing ? kNone : sectionEnd.Find(begin + sectionStart.Length());
        if (end == kNone)
        {
            for (RangeList& list : sections)
            {
                list.push_back({begin, begin});
            }
            truncated = true;
            return;
        }
        for (std::size_t i = 0; i < nameStarts.size(); ++i)
        {
            const TUInt64 firstName = nameStarts[i]->FindWithin(begin, end);
            if (firstName != kNone)
            {
                sections[i].push_back({firstName, end});
            }
        }
        pos = end + sectionEnd.Length();
    }
}

// The name ranges of chunk[from, to); a name's end marker may lie beyond `to`. A name whose end
// marker is missing is recorded as [B, B) and ends the search, even when it starts at or beyond
// `to`. `hint` is a known name start at or beyond `to`, as for FindSections.
void FindNames(TUInt64 from, TUInt64 to, MarkerFinder& nameStart, MarkerFinder& nameEnd, RangeList& names,
               TUInt64 hint)
{
    names.clear();
    TUInt64 pos = from;
    while (pos < to)
    {
        bool endMissing = false;
        const TUInt64 begin = NextRangeStart(pos, to, nameStart, nameEnd, hint, endMissing);
        if (begin == kNone)
        {
            return;
        }
        const TUInt64 end = endMissing ? kNone : nameEnd.Find(begin + nameStart.Length());
        if (end == kNone)
        {
            names.push_back({begin, begin});
            return;
        }
        names.push_back({begin, end});
        pos = end + nameEnd.Length();
    }
}

// The first position P with from <= P < before where the prefix occurs; kNone when none.
TUInt64 FindPrefix(const TUInt8* chunk, TUInt64 size, TUInt64 from, TUInt64 before, std::string_view prefix)
{
    const TUInt8 first = static_cast<TUInt8>(prefix[0]);
    TUInt64 pos = from;
    while (pos < before)
    {
        const void* hit = std::memchr(chunk + pos, first, before - pos);
        if (hit == nullptr)
        {
            return kNone;
        }
        const TUInt64 at = static_cast<TUInt64>(static_cast<const TUInt8*>(hit) - chunk);
        if (size - at >= prefix.size() && std::memcmp(chunk + at, prefix.data(), prefix.size()) == 0)
        {
            return at;
        }
        pos = at + 1;
    }
    return kNone;
}

bool IsGraphicASCII(TUInt8 byte)
{
    return byte >= 0x21 && byte <= 0x7E;
}

// Appends one character (a byte taken as ISO Latin-1) in UTF-8.
void AppendCharacter(TUTF8String& text, TUInt8 byte)
{
    if (byte < 0x80)
    {
        text.push_back(static_cast<char>(byte));
    }
    else
    {
        text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
        text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
}

// The text of the name range [begin, end) of a chunk.
TUTF8String NameText(const TUInt8* chunk, TUInt64 size, Range name,
                     const GBinaryDocumentFontExtractor::Markers& markers)
{
    TUInt64 textStart = name.begin + markers.nameStart.size();
    // Drop everything up to and including the prefix (a byte-order mark, a subset tag and its "+").
    if (!markers.namePrefix.empty() && name.end >= 1 && textStart < name.end - 1)
    {
        const TUInt64 prefixAt = FindPrefix(chunk, size, textStart, name.end - 1, markers.namePrefix);
        if (prefixAt != kNone)
        {
            textStart = prefixAt + markers.namePrefix.size();
        }
    }
    // The text ends after its last graphic character that does not begin the end marker.
    const int endMarkerFirst = markers.nameEnd.empty() ? -1 : static_cast<TUInt8>(markers.nameEnd[0]);
    TUInt64 textEnd = name.end;
    for (TUInt64 i = name.end; i > textStart; --i)
    {
        if (i < size && IsGraphicASCII(chunk[i]) && chunk[i] != endMarkerFirst)
        {
            textEnd = i + 1;
            break;
        }
    }
    // Zero bytes are dropped; every other byte is one character.
    TUTF8String text;
    TUInt64 i = textStart;
    while (i < textEnd && i < size)
    {
        if (chunk[i] == 0)
        {
            ++i;
            if (i >= size)
            {
                break;
            }
        }
        AppendCharacter(text, chunk[i]);
        ++i;
    }
    return text;
}

// Steps 3 and 4 of the core scan: the names of each section, one list per section.
void NamesFromSections(ChunkScan& scan, const RangeList& sections, bool truncated,
                       const GBinaryDocumentFontExtractor::Markers& markers,
                       GBinaryDocumentFontExtractor::TFontNameSet& fontNames,
                       std::vector<GBinaryDocumentFontExtractor::TFontNameList>& nameLists, TUInt64& consumed)
{
    fontNames.clear();
    nameLists.clear();
    MarkerFinder& nameStart = scan.Finder(markers.nameStart);
    MarkerFinder& nameEnd = scan.Finder(markers.nameEnd);
    RangeList names;
    for (std::size_t index = 0; index < sections.size(); ++index)
    {
        const Range& section = sections[index];
        GBinaryDocumentFontExtractor::TFontNameList& list = nameLists.emplace_back();
        if (truncated && section.begin == section.end && section.begin > 0)
        {
            consumed = section.begin;
        }
        // A complete next section begins with a name marker.
        const bool nextIsComplete =
            index + 1 < sections.size() && sections[index + 1].begin < sections[index + 1].end;
        FindNames(section.begin, section.end, nameStart, nameEnd, names,
                  nextIsComplete ? sections[index + 1].begin : kNone);
        for (const Range& name : names)
        {
            TUTF8String text = NameText(scan.Chunk(), scan.Size(), name, markers);
            GLogger::GetInstance().LogDebug(kLogCategory, "In %s(), adding '%s'",
                                            "GBinaryDocumentFontExtractor::GetFontNamesFromByteVector",
                                            text.c_str());
            fontNames.insert(text);
            list.push_back(std::move(text));
        }
    }
}

// The core scan of chunk[from, to) with one set of markers.
void FontNamesFromChunk(ChunkScan& scan, TUInt64 from, TUInt64 to,
                        const GBinaryDocumentFontExtractor::Markers& markers,
                        GBinaryDocumentFontExtractor::TFontNameSet& fontNames,
                        std::vector<GBinaryDocumentFontExtractor::TFontNameList>& nameLists,
                        TUInt64& consumed, TUInt64 hint = kNone)
{
    MarkerFinder* const nameStart[] = {&scan.Finder(markers.sectionStart), &scan.Finder(markers.nameStart)};
    RangeList sections[1];
    bool truncated = false;
    FindSections(from, to, *nameStart[0], scan.Finder(markers.sectionEnd), std::span(nameStart + 1, 1),
                 sections, truncated, hint);
    NamesFromSections(scan, sections[0], truncated, markers, fontNames, nameLists, consumed);
}

TUInt64 DefaultAdvance(TUInt64 chunkSize, std::string_view sectionStart)
{
    return chunkSize > sectionStart.size() ? chunkSize - sectionStart.size() : 1;
}
} // namespace

const GBinaryDocumentFontExtractor::Markers GBinaryDocumentFontExtractor::kPhotoshopMarkers = {
    "/FontSet [", "/Name (", "\xFE\xFF", ")", "]"};
const GBinaryDocumentFontExtractor::Markers GBinaryDocumentFontExtractor::kIllustratorFirstPassMarkers = {
    "/FontName", "/FontName /", "+", "/", ">>"};
const GBinaryDocumentFontExtractor::Markers GBinaryDocumentFontExtractor::kIllustratorSecondPassMarkers = {
    "/FontName", "/FontName/", "+", "/", ">>"};
const GBinaryDocumentFontExtractor::Markers GBinaryDocumentFontExtractor::kAfterEffectsOuterMarkers = {
    ">> /0 << /1 << /0 [", "<< /99 /CoolTypeFont /0", "", "", "] >>"};
const GBinaryDocumentFontExtractor::Markers GBinaryDocumentFontExtractor::kAfterEffectsInnerMarkers = {
    "<< /99 /CoolTypeFont /0", "(", "\xFE\xFF", ") /", ">>"};

GBinaryDocumentFontExtractor::GBinaryDocumentFontExtractor(const TUTF8String& path) : mFileSpec(path)
{
}

GBinaryDocumentFontExtractor::~GBinaryDocumentFontExtractor() = default;

TUInt64 GBinaryDocumentFontExtractor::GetChunkSize() const
{
    return kDefaultChunkSize;
}

TErrorCode GBinaryDocumentFontExtractor::ExtractFontNames(TFontNameSet& fontNames)
{
    fontNames.clear();
    const TUTF8String extension = OSMakeLowerCaseUTF8String(mFileSpec.GetExtension());
    if (extension == "ai" || extension == "ait" || extension == "pdf")
    {
        G_FAIL_IF_ERROR(ExtractFromIllustrator(fontNames));
        return CoreErrorCodes::kSuccess;
    }
    if (extension == "psd" || extension == "psb")
    {
        G_FAIL_IF_ERROR(ExtractFromPhotoshop(fontNames));
        return CoreErrorCodes::kSuccess;
    }
    if (extension == "aep" || extension == "aet" || extension == "aepx")
    {
        G_FAIL_IF_ERROR(ExtractFromAfterEffects(fontNames));
        return CoreErrorCodes::kSuccess;
    }
    if (extension == "eps")
    {
        return CoreErrorCodes::kSuccess;
    }

    TUInt64 fileSize = 0;
    G_FAIL_IF_ERROR(GFileSystem::OSGetFileSize(mFileSpec, fileSize));
    if (fileSize >= kUnknownTypeSizeLimit)
    {
        return CoreErrorCodes::kSuccess;
    }
    G_FAIL_IF_ERROR(ExtractFromIllustrator(fontNames));
    G_FAIL_IF_ERROR(ExtractFromPhotoshop(fontNames));
    G_FAIL_IF_ERROR(ExtractFromAfterEffects(fontNames));
    return CoreErrorCodes::kSuccess;
}

template <typename ChunkScanner>
TErrorCode GBinaryDocumentFontExtractor::ScanFile(TUInt64 sectionStartLength, ChunkScanner scanChunk)
{
    TUInt64 fileSize = 0;
    G_FAIL_IF_ERROR(GFileSystem::OSGetFileSize(mFileSpec, fileSize));
    if (fileSize == 0)
    {
        return CoreErrorCodes::kSuccess;
    }
    // A chunk must be longer than the overlap between chunks, or the scan would not advance.
    G_FAIL_IF(GetChunkSize() <= sectionStartLength, CoreErrorCodes::kInvalidParam);

    TByteVector fileChunk; // kept across chunks, so its memory is allocated once
    TUInt64 currentPosition = 0;
    do
    {
        const TUInt64 numBytesToRead = std::min(fileSize - currentPosition, GetChunkSize());
        GFile file;
        G_FAIL_IF_ERROR(file.Open(mFileSpec, GFile::eBinary | GFile::eRead));
        G_FAIL_IF_ERROR(file.SetFilePosition(GFile::eBeginning, currentPosition));
        G_FAIL_IF_ERROR(file.Read(numBytesToRead, fileChunk));
        G_FAIL_IF_ERROR(file.Close());
        currentPosition += scanChunk(fileChunk.data(), fileChunk.size());
    } while (currentPosition < fileSize);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GBinaryDocumentFontExtractor::ExtractFromPhotoshop(TFontNameSet& fontNames)
{
    return ScanFile(kPhotoshopMarkers.sectionStart.size(),
                    [this, &fontNames](const TUInt8* chunk, TUInt64 size)
                    { return ScanPhotoshopChunk(chunk, size, fontNames); });
}

TErrorCode GBinaryDocumentFontExtractor::ExtractFromIllustrator(TFontNameSet& fontNames)
{
    return ScanFile(kIllustratorFirstPassMarkers.sectionStart.size(),
                    [this, &fontNames](const TUInt8* chunk, TUInt64 size)
                    { return ScanIllustratorChunk(chunk, size, fontNames); });
}

TErrorCode GBinaryDocumentFontExtractor::ExtractFromAfterEffects(TFontNameSet& fontNames)
{
    return ScanFile(kAfterEffectsOuterMarkers.sectionStart.size(),
                    [this, &fontNames](const TUInt8* chunk, TUInt64 size)
                    { return ScanAfterEffectsChunk(chunk, size, fontNames); });
}

TUInt64 GBinaryDocumentFontExtractor::ScanPhotoshopChunk(const TUInt8* chunk, TUInt64 size,
                                                         TFontNameSet& fontNames) const
{
    ChunkScan scan(chunk, size);
    TFontNameSet chunkNames;
    std::vector<TFontNameList> nameLists;
    TUInt64 consumed = kNone;
    FontNamesFromChunk(scan, 0, size, kPhotoshopMarkers, chunkNames, nameLists, consumed);
    // "AdobeInvisFont" first in a font set is skipped; anywhere later it ends the set.
    for (const TFontNameList& list : nameLists)
    {
        for (std::size_t index = 0; index < list.size(); ++index)
        {
            if (list[index] != kAdobeInvisFont)
            {
                fontNames.insert(list[index]);
            }
            else if (index > 0)
            {
                break;
            }
        }
    }
    return consumed != kNone ? consumed : DefaultAdvance(GetChunkSize(), kPhotoshopMarkers.sectionStart);
}

TUInt64 GBinaryDocumentFontExtractor::ScanIllustratorChunk(const TUInt8* chunk, TUInt64 size,
                                                           TFontNameSet& fontNames) const
{
    // Both passes share their section markers: one walk finds the sections of both.
    ChunkScan scan(chunk, size);
    const Markers* const passes[] = {&kIllustratorFirstPassMarkers, &kIllustratorSecondPassMarkers};
    MarkerFinder& sectionStart = scan.Finder(kIllustratorFirstPassMarkers.sectionStart);
    MarkerFinder* const nameStarts[] = {&scan.Finder(passes[0]->nameStart),
                                        &scan.Finder(passes[1]->nameStart)};
    RangeList sections[2];
    bool truncated = false;
    FindSections(0, size, sectionStart, scan.Finder(kIllustratorFirstPassMarkers.sectionEnd), nameStarts,
                 sections, truncated, kNone);

    std::vector<TFontNameList> nameLists;
    TUInt64 advance = kNone;
    for (std::size_t pass = 0; pass < 2; ++pass)
    {
        TFontNameSet passNames;
        TUInt64 consumed = kNone;
        NamesFromSections(scan, sections[pass], truncated, *passes[pass], passNames, nameLists, consumed);
        // A pass that found nothing but the application's default font contributes nothing.
        const bool onlyDefaultFont =
            passNames.size() == 1 && passNames.begin()->find(kMyriadProRegular) != TUTF8String::npos;
        if (!onlyDefaultFont)
        {
            fontNames.insert(passNames.begin(), passNames.end());
        }
        if (advance == kNone)
        {
            advance = consumed;
        }
    }
    return advance != kNone ? advance
                            : DefaultAdvance(GetChunkSize(), kIllustratorFirstPassMarkers.sectionStart);
}

TUInt64 GBinaryDocumentFontExtractor::ScanAfterEffectsChunk(const TUInt8* chunk, TUInt64 size,
                                                            TFontNameSet& fontNames) const
{
    ChunkScan scan(chunk, size);
    MarkerFinder& outerStart = scan.Finder(kAfterEffectsOuterMarkers.sectionStart);
    MarkerFinder* const outerNameStart[] = {&scan.Finder(kAfterEffectsOuterMarkers.nameStart)};
    RangeList outer[1];
    bool truncated = false;
    FindSections(0, size, outerStart, scan.Finder(kAfterEffectsOuterMarkers.sectionEnd), outerNameStart,
                 outer, truncated, kNone);
    const RangeList& outerSections = outer[0];

    TFontNameSet sectionNames;
    std::vector<TFontNameList> nameLists;
    for (std::size_t index = 0; index < outerSections.size(); ++index)
    {
        // A complete next outer section begins with an inner section start.
        const bool nextIsComplete =
            index + 1 < outerSections.size() && outerSections[index + 1].begin < outerSections[index + 1].end;
        TUInt64 innerConsumed = kNone;
        FontNamesFromChunk(scan, outerSections[index].begin, outerSections[index].end,
                           kAfterEffectsInnerMarkers, sectionNames, nameLists, innerConsumed,
                           nextIsComplete ? outerSections[index + 1].begin : kNone);
        // "Myriad-Roman" in the first list counts only when "AdobeInvisFont" ends the section.
        bool firstList = true;
        bool myriadSeen = false;
        bool ended = false;
        for (const TFontNameList& list : nameLists)
        {
            for (const TUTF8String& name : list)
            {
                if (name == kMyriadRoman)
                {
                    myriadSeen = myriadSeen || firstList;
                }
                else if (name == kAdobeInvisFont)
                {
                    if (myriadSeen)
                    {
                        fontNames.insert(TUTF8String(kMyriadRoman));
                    }
                    ended = true;
                    break;
                }
                else
                {
                    fontNames.insert(name);
                }
            }
            if (ended)
            {
                break;
            }
            firstList = false;
        }
    }
    const TUInt64 defaultAdvance = DefaultAdvance(GetChunkSize(), kAfterEffectsOuterMarkers.sectionStart);
    if (truncated && !outerSections.empty() && outerSections.back().begin > 0)
    {
        return outerSections.back().begin;
    }
    return defaultAdvance;
}

void GBinaryDocumentFontExtractor::GetFontNamesFromByteVector(const TUInt8* chunk, TUInt64 size, TUInt64 from,
                                                              TUInt64 to, const Markers& markers,
                                                              TFontNameSet& fontNames,
                                                              std::vector<TFontNameList>& nameLists,
                                                              TUInt64& consumed)
{
    ChunkScan scan(chunk, size);
    FontNamesFromChunk(scan, from, to, markers, fontNames, nameLists, consumed);
}
