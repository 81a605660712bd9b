// libFuzzer target: documents' XMP as the core reads and rewrites it. The first byte picks what
// the rest is:
//   0  an XMP packet: whatever slug it yields, a merge into it must read back the same fonts
//   1  a Photoshop document: a rewrite must give a document whose resources read again, with the
//      new packet as resource 1060 and every other resource as it was
//   2  a PDF document: a rewrite must give the original followed by an update whose metadata is
//      the new packet
// Nothing may read out of bounds (AddressSanitizer) or take unbounded memory.

#include "DocumentXMP.h"
#include "GByteStreams.h"
#include "GPDFMetadata.h"
#include "GPhotoshopResources.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace typehold;

namespace
{
std::vector<FontUsageRecord> Fonts()
{
    FontUsageRecord font;
    font.Set("PostScriptName", "Carlito-Bold");
    font.Set("Version", "1.103");
    font.Set("Checksum", "3735928559");
    font.Set("Family", "Carlito & <co>");
    return {font};
}

void Check(bool condition)
{
    if (!condition)
    {
        std::abort();
    }
}

bool SameFonts(const std::vector<FontUsageRecord>& a, const std::vector<FontUsageRecord>& b)
{
    if (a.size() != b.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (a[i].fields != b[i].fields)
        {
            return false;
        }
    }
    return true;
}

void FuzzPacket(const std::string& packet)
{
    std::vector<FontUsageRecord> fonts;
    bool present = false;
    std::string error;
    ReadFontUsage(packet, fonts, present, error);
    std::string merged;
    if (!MergeFontUsage(packet, Fonts(), merged, error))
    {
        return;
    }
    Check(ReadFontUsage(merged, fonts, present, error) && present && SameFonts(fonts, Fonts()));
    std::string again;
    Check(MergeFontUsage(merged, {}, again, error) && ReadFontUsage(again, fonts, present, error) &&
          present && fonts.empty());
}

// A rewrite with a packet of its own, whatever the document had.
TErrorCode Rewrite(DocumentKind kind, const std::string& bytes, std::string& packet, std::string& out)
{
    std::string error;
    Check(MergeFontUsage("", Fonts(), packet, error));
    GMemorySource source(bytes);
    GStringSink sink;
    const TErrorCode code = RewriteDocumentXMP(
        kind, source, sink,
        [&packet](const GExistingXMP& existing, std::string& made, std::string&)
        {
            Check(existing.readable || existing.packet.empty());
            made = packet;
            return CoreErrorCodes::kSuccess;
        },
        nullptr, error);
    out = sink.Bytes();
    return code;
}

void FuzzPhotoshop(const std::string& bytes)
{
    GMemorySource source(bytes);
    GPhotoshopResources before;
    std::string error;
    const bool readable = before.Read(source, error);
    std::string packet;
    std::string out;
    if (Rewrite(DocumentKind::kPhotoshop, bytes, packet, out) != CoreErrorCodes::kSuccess)
    {
        Check(!readable);
        return;
    }
    Check(readable);
    GMemorySource written(out);
    GPhotoshopResources after;
    std::string xmp;
    Check(after.Read(written, error) && after.FindXMP(xmp) && xmp == packet);
    std::vector<std::string> others[2];
    const GPhotoshopResources* both[2] = {&before, &after};
    for (int i = 0; i < 2; ++i)
    {
        for (const auto& block : both[i]->Blocks())
        {
            if (block.id != GPhotoshopResources::kXMPResourceID)
            {
                others[i].push_back(both[i]->Section().substr(block.start, block.end - block.start));
            }
        }
    }
    Check(others[0] == others[1]);
}

void FuzzPDF(const std::string& bytes)
{
    std::string packet;
    std::string out;
    if (Rewrite(DocumentKind::kPDF, bytes, packet, out) != CoreErrorCodes::kSuccess)
    {
        return;
    }
    Check(out.size() > bytes.size() && out.compare(0, bytes.size(), bytes) == 0);
    GMemorySource written(out);
    GPDFMetadata after;
    std::string error;
    Check(after.Read(written, error) == CoreErrorCodes::kSuccess);
    Check(after.Metadata() == GPDFMetadata::EMetadata::kReadable && after.Packet() == packet);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
    {
        return 0;
    }
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3)
    {
    case 0:
        FuzzPacket(bytes);
        break;
    case 1:
        FuzzPhotoshop(bytes);
        break;
    default:
        FuzzPDF(bytes);
        break;
    }
    return 0;
}
