#pragma once
// The metadata stream of PDF and Illustrator documents, rewritten as an incremental update: the
// original bytes stay as they are and a new revision is appended (a new metadata stream object, a
// new revision of the catalog naming it, a cross-reference section for the two and a trailer
// whose /Prev points at the previous section).
//
// Read: the trailer chain of classic cross-reference tables, the catalog (/Root) and its
// /Metadata stream. Documents whose index is a cross-reference stream, encrypted documents and
// catalogs kept in object streams are refused (kNotSupported); anything malformed is refused with
// kError and a reason. A compressed metadata stream cannot be read here (no zlib): it is
// reported as such, and may be replaced without being merged.

#include "GByteStreams.h"
#include "GErrorCodes.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace typehold
{
class GPDFMetadata
{
public:
    enum class EMetadata
    {
        kNone,       // the catalog names no metadata stream (or one that is not in the file)
        kReadable,   // an uncompressed stream: Packet() is its content
        kCompressed, // a filtered stream: its content is not known here
    };

    TErrorCode Read(GByteSource& source, std::string& error);

    EMetadata Metadata() const { return mMetadata; }
    const std::string& Packet() const { return mPacket; }
    // What was found about the metadata (for a log line), e.g. the filter of a compressed one.
    const std::string& Note() const { return mNote; }

    // The bytes appended to the document for a revision whose metadata is the packet.
    std::string BuildUpdate(const std::string& packet) const;
    // The document followed by that update (afterCopy is called between the two).
    bool Write(GByteSource& source, GByteSink& sink, const std::string& packet,
               const std::function<void()>& afterCopy, std::string& error) const;

private:
    struct GSubsection
    {
        TUInt64 first = 0;
        TUInt64 count = 0;
        TUInt64 entries = 0; // offset of the first entry
        TUInt64 entrySize = 20;
    };
    struct GSection
    {
        TUInt64 offset = 0;
        std::vector<GSubsection> subsections;
    };

    TErrorCode ReadSection(GByteSource& source, TUInt64 offset, GSection& section, TUInt64& previous,
                           bool newest, std::string& error);
    // The offset and generation of an object in use; false when no section lists it.
    bool FindObject(GByteSource& source, TUInt64 number, TUInt64& offset, TUInt64& generation) const;

    TUInt64 mSize = 0;
    bool mEndsWithEOL = true;
    TUInt64 mLastSection = 0;        // startxref
    std::vector<GSection> mSections; // newest first
    bool mHybrid = false;            // the newest trailer has /XRefStm
    TUInt64 mObjectCount = 0;        // /Size
    TUInt64 mCatalogNumber = 0;
    TUInt64 mCatalogGeneration = 0;
    std::string mInfo; // raw values of the trailer, copied into the new one
    std::string mID;
    std::vector<std::pair<std::string, std::string>> mCatalog; // raw keys (without '/') and values
    EMetadata mMetadata = EMetadata::kNone;
    std::string mPacket;
    std::string mNote;
};
} // namespace typehold
