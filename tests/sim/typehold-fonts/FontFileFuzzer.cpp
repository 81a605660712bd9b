// libFuzzer target: the sfnt reader over any bytes, in a buffer of exactly their size so that
// AddressSanitizer catches any read beyond it. A face that is read has its identifying fields;
// a failure has a one-line reason.
#include "GFontText.h"
#include "GSfntReader.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
void Require(bool condition)
{
    if (!condition)
    {
        std::abort();
    }
}

bool IsText(const std::string& text)
{
    return typehold::GFontText::IsValidUTF8(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    std::vector<typehold::FontFace> faces;
    std::string error;
    if (!typehold::GSfntReader::ReadAllFaces(bytes.data(), bytes.size(), faces, error))
    {
        Require(faces.empty() && !error.empty() && error.find('\n') == std::string::npos);
        return 0;
    }
    Require(!faces.empty() && faces.size() <= typehold::GSfntReader::kMaxFaces);
    for (std::size_t i = 0; i < faces.size(); ++i)
    {
        const typehold::FontFace& face = faces[i];
        Require(face.faceIndex == i && !face.postScriptName.empty() && !face.version.empty());
        Require(face.kind == "OpenType" || face.kind == "TrueType");
        Require(face.kerningChecksum <= 0xFFFFF);
        Require(IsText(face.postScriptName) && IsText(face.family) && IsText(face.style) &&
                IsText(face.fullName) && IsText(face.version) && IsText(face.foundry));
    }
    return 0;
}
