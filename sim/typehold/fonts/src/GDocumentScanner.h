#pragma once
// Finds the font names in a document's bytes, which arrive chunk by chunk: a scanner looks at the
// bytes it is given and says how many it is done with; the rest (an entry cut by the end of the
// chunk, never more than kMaxCarry bytes) is handed in again in front of the next chunk. The
// names found do not depend on where the chunks end.

#include "GErrorCodes.h"

#include <cstddef>
#include <functional>
#include <set>
#include <vector>

namespace typehold
{
class GDocumentScanner
{
public:
    // The longest entry a scanner waits for; a longer one is passed over as malformed.
    static constexpr std::size_t kMaxCarry = 4096;

    virtual ~GDocumentScanner() = default;

    // Looks at bytes[0, size); returns the number of bytes done with (all of them when atEnd).
    virtual std::size_t Scan(const TUInt8* bytes, std::size_t size, bool atEnd) = 0;

    // The names found so far, in first-seen order without duplicates.
    const std::vector<TUTF8String>& Names() const { return mNames; }

    // Reads bytes through the reader (into the buffer it is given, at most the count it is
    // given; fewer than asked only at the end) chunkSize at a time and scans them. Returns the
    // reader's first error, or 0.
    using TReader = std::function<TErrorCode(TUInt8* buffer, std::size_t count, std::size_t& got)>;
    TErrorCode ScanAll(const TReader& reader, std::size_t chunkSize);
    // The same over bytes in memory.
    void ScanMemory(const TUInt8* bytes, std::size_t size, std::size_t chunkSize);

protected:
    void AddName(const TUTF8String& name);

private:
    std::vector<TUTF8String> mNames;
    std::set<TUTF8String> mSeen;
};

// PDF and Illustrator files: the names after /BaseFont and /FontName, with #xx escapes decoded and
// subset tags ("ABCDEF+") removed.
class GPDFFontScanner : public GDocumentScanner
{
public:
    std::size_t Scan(const TUInt8* bytes, std::size_t size, bool atEnd) override;
};

// Photoshop files (.psd, .psb): the /Name strings of the text engine data's /FontSet arrays,
// UTF-16BE after a byte-order mark or plain bytes. Photoshop's placeholder "AdobeInvisFont" is
// not a font a document uses and is left out.
class GPhotoshopFontScanner : public GDocumentScanner
{
public:
    // The most bytes of one font set; a set that does not close within them is given up.
    static constexpr std::size_t kMaxFontSetSize = 1024 * 1024;

    std::size_t Scan(const TUInt8* bytes, std::size_t size, bool atEnd) override;

private:
    bool mInFontSet = false;
    bool mInArray = false;
    int mDepth = 0;
    bool mAfterNameKey = false;
    std::size_t mFontSetBytes = 0;
};
} // namespace typehold
