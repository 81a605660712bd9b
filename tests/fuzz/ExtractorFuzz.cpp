// libFuzzer target: the byte scans of the three passes of the binary document font extractor
// over one chunk. Each input is its own chunk, in a buffer of exactly its size, so any read
// beyond it is caught by AddressSanitizer. Names and advances must equal those of a plain,
// literal rendering of the scans (ExtractorReference.h).
#include "ExtractorReference.h"
#include "GBinaryDocumentFontExtractor.h"
#include "GStringEncodings.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace
{
using Extractor = GBinaryDocumentFontExtractor;

// The advance is either a section start inside the chunk or the default overlap step.
void CheckAdvance(TUInt64 advance, TUInt64 size, const Extractor::Markers& markers)
{
    const TUInt64 defaultAdvance = Extractor::kDefaultChunkSize - markers.sectionStart.size();
    if (advance != defaultAdvance && (advance == 0 || advance >= size))
    {
        std::abort();
    }
}

void CheckNames(const Extractor::TFontNameSet& names)
{
    for (const TUTF8String& name : names)
    {
        if (!name.empty() && UTF8ToUTF16(name).empty())
        {
            std::abort(); // every name must be valid UTF-8
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const Extractor extractor("");
    const std::unique_ptr<TUInt8[]> chunk(new TUInt8[size == 0 ? 1 : size]);
    std::copy(data, data + size, chunk.get());

    using Scan = TUInt64 (Extractor::*)(const TUInt8*, TUInt64, Extractor::TFontNameSet&) const;
    using Reference = TUInt64 (*)(const TUInt8*, TUInt64, TUInt64, Extractor::TFontNameSet&);
    const struct
    {
        Scan scan;
        Reference reference;
        const Extractor::Markers& markers;
    } passes[] = {
        {&Extractor::ScanPhotoshopChunk, &reference::Photoshop, Extractor::kPhotoshopMarkers},
        {&Extractor::ScanIllustratorChunk, &reference::Illustrator, Extractor::kIllustratorFirstPassMarkers},
        {&Extractor::ScanAfterEffectsChunk, &reference::AfterEffects, Extractor::kAfterEffectsOuterMarkers},
    };
    for (const auto& pass : passes)
    {
        Extractor::TFontNameSet names;
        Extractor::TFontNameSet expected;
        const TUInt64 advance = (extractor.*pass.scan)(chunk.get(), size, names);
        const TUInt64 defaultAdvance = Extractor::kDefaultChunkSize - pass.markers.sectionStart.size();
        if (advance != pass.reference(chunk.get(), size, defaultAdvance, expected) || names != expected)
        {
            std::abort();
        }
        CheckAdvance(advance, size, pass.markers);
        CheckNames(names);
    }
    return 0;
}
