#pragma once
// GBinaryDocumentFontExtractor finds the PostScript names of the fonts an Adobe document uses by
// scanning the raw bytes of the file, without parsing its format. Photoshop, Illustrator (and
// PDF) and After Effects write fixed ASCII markers around font names in their text-engine and
// font-descriptor data; the scan cuts out the text between those markers and cleans it up.
//
// The file is read in chunks of GetChunkSize() bytes (opened, positioned, read and closed once
// per chunk). Consecutive chunks overlap by the length of the pass's section-start marker, and a
// section whose end marker lies beyond the chunk is scanned again from its start in the next
// chunk. Marker searches look for the first byte with memchr and compare the rest; an occurrence
// preceded by a backslash (an escaped occurrence inside a string) is skipped, with a Debug message.
// The scan remembers what its searches found, so each pass reads a chunk's bytes a small, fixed
// number of times whatever the input (about once for real documents); an escaped occurrence is
// reported by the search that first meets it.
//
// Decoding of name text: zero bytes are dropped (UTF-16BE text of ASCII characters loses its
// high bytes) and every other byte is one character. A byte of 0x80 or above is taken as the
// ISO Latin-1 character of that value and written as its two-byte UTF-8 form (0xE9 becomes
// U+00E9, "\xC3\xA9"). The names the rest of the system matches are ASCII PostScript names, so
// such a name never matches by accident, and every name this class returns is valid UTF-8 (it
// can be written to JSON or a log as it is). Control characters below 0x20 are kept as they are.
//
// Failures are reported (category "BinaryDocumentFontExtractor") and returned as error codes;
// names found before a failure stay in the result.

#include "GErrorCodes.h"
#include "GFileSystem.h"

#include <set>
#include <string_view>
#include <vector>

class GBinaryDocumentFontExtractor
{
public:
    // Font names without duplicates, in byte-wise order.
    using TFontNameSet = std::set<TUTF8String>;
    // The names of one section, in the order they occur.
    using TFontNameList = std::vector<TUTF8String>;

    // The markers one scan of GetFontNamesFromByteVector looks for.
    struct Markers
    {
        std::string_view sectionStart;
        std::string_view nameStart;
        std::string_view namePrefix; // dropped with everything before it (subset tag, byte-order mark)
        std::string_view nameEnd;
        std::string_view sectionEnd;
    };

    static constexpr TUInt64 kDefaultChunkSize = 0x20000000;
    // Files of an unrecognised type this large or larger are not scanned.
    static constexpr TUInt64 kUnknownTypeSizeLimit = 0x40000000;

    static const Markers kPhotoshopMarkers;
    static const Markers kIllustratorFirstPassMarkers;
    static const Markers kIllustratorSecondPassMarkers;
    static const Markers kAfterEffectsOuterMarkers; // nameStart only locates the section
    static const Markers kAfterEffectsInnerMarkers;

    explicit GBinaryDocumentFontExtractor(const TUTF8String& path);
    virtual ~GBinaryDocumentFontExtractor();

    // Number of bytes read and scanned at a time; asked each time the scan needs it.
    virtual TUInt64 GetChunkSize() const;

    // Empties fontNames, then runs the scans the file's extension calls for.
    TErrorCode ExtractFontNames(TFontNameSet& fontNames);

    // One scan of the whole file each; they add to fontNames.
    TErrorCode ExtractFromPhotoshop(TFontNameSet& fontNames);
    TErrorCode ExtractFromIllustrator(TFontNameSet& fontNames);
    TErrorCode ExtractFromAfterEffects(TFontNameSet& fontNames);

    // The per-chunk scans of the three passes: they add the chunk's names to fontNames and return
    // the advance to the next chunk's start (never 0 while GetChunkSize() exceeds the marker).
    TUInt64 ScanPhotoshopChunk(const TUInt8* chunk, TUInt64 size, TFontNameSet& fontNames) const;
    TUInt64 ScanIllustratorChunk(const TUInt8* chunk, TUInt64 size, TFontNameSet& fontNames) const;
    TUInt64 ScanAfterEffectsChunk(const TUInt8* chunk, TUInt64 size, TFontNameSet& fontNames) const;

    // The core scan of chunk[from, to): the names of every section (one list per section, in
    // order) and their set. When a section's end marker is missing and the section starts after
    // the chunk's first byte, consumed is set to its start; otherwise consumed is left alone.
    static void GetFontNamesFromByteVector(const TUInt8* chunk, TUInt64 size, TUInt64 from, TUInt64 to,
                                           const Markers& markers, TFontNameSet& fontNames,
                                           std::vector<TFontNameList>& nameLists, TUInt64& consumed);

    const GFileSystemSpec& GetFileSpec() const { return mFileSpec; }

private:
    template <typename ChunkScan>
    TErrorCode ScanFile(TUInt64 sectionStartLength, ChunkScan scanChunk);

    GFileSystemSpec mFileSpec;
};
