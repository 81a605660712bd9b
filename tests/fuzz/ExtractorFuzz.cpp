// libFuzzer target: the byte scans of the three passes of the binary document font extractor
// over one chunk. Each input is its own chunk, in a buffer of exactly its size, so any read
// beyond it is caught by AddressSanitizer.
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

    Extractor::TFontNameSet names;
    CheckAdvance(extractor.ScanPhotoshopChunk(chunk.get(), size, names), size, Extractor::kPhotoshopMarkers);
    CheckAdvance(extractor.ScanIllustratorChunk(chunk.get(), size, names), size,
                 Extractor::kIllustratorFirstPassMarkers);
    CheckAdvance(extractor.ScanAfterEffectsChunk(chunk.get(), size, names), size,
                 Extractor::kAfterEffectsOuterMarkers);
    CheckNames(names);
    return 0;
}
