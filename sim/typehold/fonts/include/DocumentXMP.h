#pragma once
// The XMP metadata of documents, and the font-usage slug the font manager keeps in it.
//
// Where the packet lives: Photoshop documents (.psd, .psb) in image resource 1060; PDF and
// Illustrator documents (.pdf, .ai, .ait) in the catalog's metadata stream, rewritten as an
// incremental update. A rewrite never changes a byte outside the packet (and the lengths that
// frame it), and replaces the document in one step: the new content is written beside it,
// flushed, and renamed over it.
//
// The slug names each font twice: in the Paged-Text schema (xmpTPg:Fonts, a bag of stFnt font
// structures) so that any XMP reader sees the fonts, and in the font manager's own namespace
// (lmfu:Fonts, a sequence of structures) with every sluggable key and its value exactly.

#include "GErrorCodes.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace typehold
{
class GByteSource;
class GByteSink;

constexpr const char* kFontUsageNamespace = "http://ns.lumorand.com/portolan/fontusage/1.0/";
constexpr const char* kFontUsagePrefix = "lmfu";

// The keys of a font's identification record that a slug holds, in their order.
const std::vector<std::string>& SluggableKeys();
bool IsSluggableKey(const std::string& key);

struct FontUsageRecord
{
    std::vector<std::pair<std::string, std::string>> fields; // sluggable keys, in their order
    std::string faceStyle; // the face's style when the font manager knows the font (stFnt:fontFace)

    // The value of a key ("" when absent).
    std::string Value(const std::string& key) const;
    bool Has(const std::string& key) const;
    // Sets a sluggable key (others are ignored), keeping the fields in key order.
    void Set(const std::string& key, const std::string& value);
};

// The slug of a packet; present tells whether the packet has one (an empty one counts). False
// with a reason when the packet cannot be read.
bool ReadFontUsage(const std::string& packet, std::vector<FontUsageRecord>& fonts, bool& present,
                   std::string& error);
// The packet with its slug replaced by the fonts (an empty list leaves empty containers); the
// rest of the packet is kept. existing may be empty (a new packet). False with a reason when the
// existing packet cannot be read or a value cannot be written in XML.
bool MergeFontUsage(const std::string& existing, const std::vector<FontUsageRecord>& fonts,
                    std::string& packet, std::string& error);

// What a host writes into the XMP of a document it saves.
struct GSavedDocumentXMP
{
    std::string creatorTool; // "Adobe Photoshop 21.2 (Windows)"
    std::string format;      // dc:format, a MIME type
    std::string colorMode;   // photoshop:ColorMode ("" for none)
    std::string date;        // ISO 8601, the time of the save
    std::string instanceID;  // xmpMM:InstanceID of this save
    std::string documentID;  // xmpMM:DocumentID, kept when the packet has one
};
// The packet with the saved document's properties set (creation date, document IDs and the rest
// of the packet kept).
bool MergeSavedDocumentProperties(const std::string& existing, const GSavedDocumentXMP& saved,
                                  std::string& packet, std::string& error);

enum class DocumentKind
{
    kUnknown,
    kPhotoshop, // .psd, .psb
    kPDF,       // .pdf, .ai, .ait
};
DocumentKind DocumentKindOfPath(const std::string& path);

// The XMP packet a document has now.
struct GExistingXMP
{
    bool present = false;  // the document has a packet
    bool readable = false; // and it is known (a compressed PDF metadata stream is not)
    std::string packet;
    std::string note; // what was found, for a log line
};

// Reads the document's packet. GFileSystem::kFileNotFound, kNotSupported (another kind of
// document, a PDF this reader does not handle) or kError with a reason.
TErrorCode ReadDocumentXMP(const std::string& path, GExistingXMP& existing, std::string& error);

// Makes the new packet from the existing one; a non-zero code (with error) stops the rewrite.
using TPacketMaker =
    std::function<TErrorCode(const GExistingXMP& existing, std::string& packet, std::string& error)>;

// Moments of a rewrite where a caller may hold it (to test a process killed there):
//   "copying"    the temporary file is partly written
//   "replacing"  the temporary file is complete and flushed; the document is not replaced yet
//   "replaced"   the document has been replaced
using TRewritePause = std::function<void(const char* moment)>;

// The document's bytes with a new packet, from any source into any sink.
TErrorCode RewriteDocumentXMP(DocumentKind kind, GByteSource& source, GByteSink& sink,
                              const TPacketMaker& maker, const TRewritePause& pause, std::string& error);
// The document on disk rewritten crash-safe (see above); on any error it is left untouched.
// Temporary files left by an earlier rewrite that was killed are removed first.
TErrorCode UpdateDocumentXMP(const std::string& path, const TPacketMaker& maker, const TRewritePause& pause,
                             std::string& error);
} // namespace typehold
