#pragma once
// The image resources of Photoshop documents (.psd, version 1, and .psb, version 2), where the
// XMP packet is resource 1060:
//   header             26 bytes ("8BPS", version, ...)
//   color mode data    32-bit length, data
//   image resources    32-bit length; blocks of "8BIM", 16-bit ID, Pascal name padded to an even
//                      size, 32-bit data size, data padded to an even size
//   layer and mask information (32-bit length, 64-bit in .psb), image data
// A rewrite replaces resource 1060's data (adding the resource when there is none) and the
// section's length; every other byte is copied as it was. Lengths are checked against the file
// before anything is read through them.

#include "GByteStreams.h"

#include <functional>
#include <string>
#include <vector>

namespace typehold
{
class GPhotoshopResources
{
public:
    static constexpr TUInt16 kXMPResourceID = 1060;

    struct GBlock
    {
        TUInt16 id = 0;
        std::size_t start = 0;     // in the section
        std::size_t end = 0;       // after the padding
        std::size_t dataStart = 0; // in the section
        TUInt32 dataSize = 0;
    };

    // Reads the header, the color mode data's length, the image resources section (loaded) and
    // the length of the layer and mask section. False with a one-line reason for anything that
    // is not a well-formed document.
    bool Read(GByteSource& source, std::string& error);

    bool IsLargeDocument() const { return mVersion == 2; }
    const std::vector<GBlock>& Blocks() const { return mBlocks; }
    const std::string& Section() const { return mSection; }
    // The data of resource 1060; false when the document has none.
    bool FindXMP(std::string& packet) const;

    // The image resources section with resource 1060's data replaced (or the resource added).
    bool BuildSection(const std::string& packet, std::string& section, std::string& error) const;
    // Writes the whole document with the new section: the bytes before the section as they were,
    // its new length and content, then the rest of the source (afterSection is called once the
    // section is written, before the rest is copied).
    bool Write(GByteSource& source, GByteSink& sink, const std::string& packet,
               const std::function<void()>& afterSection, std::string& error) const;

private:
    TUInt16 mVersion = 0;
    TUInt64 mSectionOffset = 0; // of the section's length field
    std::string mSection;
    TUInt64 mRestOffset = 0;
    std::vector<GBlock> mBlocks;
};
} // namespace typehold
