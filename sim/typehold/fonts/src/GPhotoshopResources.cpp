#include "GPhotoshopResources.h"

#include <cstring>

namespace typehold
{
namespace
{
constexpr std::size_t kHeaderSize = 26;
// Larger image resources are not read (thumbnails and paths keep real sections far below it).
constexpr TUInt32 kMaxSection = 256u * 1024 * 1024;

bool KnownSignature(const std::string& bytes, std::size_t offset)
{
    // "8BIM" is Photoshop's; the others come from older Adobe programs.
    static const char* const kSignatures[] = {"8BIM", "MeSa", "AgHg", "PHUT", "DCSR"};
    for (const char* signature : kSignatures)
    {
        if (bytes.compare(offset, 4, signature) == 0)
        {
            return true;
        }
    }
    return false;
}

std::string At(std::size_t offset)
{
    return " (at byte " + std::to_string(offset) + " of the section)";
}
} // namespace

bool GPhotoshopResources::Read(GByteSource& source, std::string& error)
{
    mBlocks.clear();
    mSection.clear();
    std::string header;
    if (!source.ReadAt(0, kHeaderSize + 4, header))
    {
        error = "not a Photoshop document: shorter than its header";
        return false;
    }
    if (header.compare(0, 4, "8BPS") != 0)
    {
        error = "not a Photoshop document: no 8BPS signature";
        return false;
    }
    mVersion = BigEndian16(header, 4);
    if (mVersion != 1 && mVersion != 2)
    {
        error = "a Photoshop document of unknown version " + std::to_string(mVersion);
        return false;
    }
    const TUInt64 size = source.Size();
    const TUInt64 colorModeLength = BigEndian32(header, kHeaderSize);
    mSectionOffset = kHeaderSize + 4 + colorModeLength;
    std::string length;
    if (mSectionOffset + 4 > size || !source.ReadAt(mSectionOffset, 4, length))
    {
        error = "the color mode data (" + std::to_string(colorModeLength) +
                " bytes) runs past the end of the file";
        return false;
    }
    const TUInt32 sectionLength = BigEndian32(length, 0);
    if (sectionLength > kMaxSection)
    {
        error = "the image resources section is too large (" + std::to_string(sectionLength) + " bytes)";
        return false;
    }
    if (mSectionOffset + 4 + sectionLength > size ||
        !source.ReadAt(mSectionOffset + 4, sectionLength, mSection))
    {
        error = "the image resources section (" + std::to_string(sectionLength) +
                " bytes) runs past the end of the file";
        return false;
    }
    mRestOffset = mSectionOffset + 4 + sectionLength;

    // The layer and mask information must follow, within the file: a document cut short is not
    // rewritten.
    const std::size_t lengthSize = IsLargeDocument() ? 8 : 4;
    std::string layerLength;
    if (!source.ReadAt(mRestOffset, lengthSize, layerLength))
    {
        error = "the file ends before the layer and mask information";
        return false;
    }
    TUInt64 layers = 0;
    for (const char c : layerLength)
    {
        layers = layers << 8 | static_cast<unsigned char>(c);
    }
    if (layers > size - mRestOffset - lengthSize)
    {
        error = "the layer and mask information (" + std::to_string(layers) +
                " bytes) runs past the end of the file: the document is cut short";
        return false;
    }

    std::size_t position = 0;
    while (position < mSection.size())
    {
        GBlock block;
        block.start = position;
        if (mSection.size() - position < 4 + 2 + 2 + 4)
        {
            error = "a resource block is cut short" + At(position);
            return false;
        }
        if (!KnownSignature(mSection, position))
        {
            error = "resource block " + std::to_string(mBlocks.size() + 1) + " has no 8BIM signature" +
                    At(position);
            return false;
        }
        block.id = BigEndian16(mSection, position + 4);
        const std::size_t nameLength = static_cast<unsigned char>(mSection[position + 6]);
        const std::size_t namePadded = (1 + nameLength + 1) & ~static_cast<std::size_t>(1);
        const std::size_t sizeOffset = position + 6 + namePadded;
        if (sizeOffset + 4 > mSection.size())
        {
            error =
                "the name of resource " + std::to_string(block.id) + " runs past the section" + At(position);
            return false;
        }
        block.dataSize = BigEndian32(mSection, sizeOffset);
        block.dataStart = sizeOffset + 4;
        if (block.dataSize > mSection.size() - block.dataStart)
        {
            error = "the data of resource " + std::to_string(block.id) + " (" +
                    std::to_string(block.dataSize) + " bytes) runs past the section" + At(position);
            return false;
        }
        block.end = block.dataStart + block.dataSize;
        // Data of odd size is padded; some writers leave the pad out after the last block.
        if (block.dataSize % 2 != 0 && block.end < mSection.size())
        {
            ++block.end;
        }
        mBlocks.push_back(block);
        position = block.end;
    }
    return true;
}

bool GPhotoshopResources::FindXMP(std::string& packet) const
{
    for (const GBlock& block : mBlocks)
    {
        if (block.id == kXMPResourceID)
        {
            packet.assign(mSection, block.dataStart, block.dataSize);
            return true;
        }
    }
    return false;
}

bool GPhotoshopResources::BuildSection(const std::string& packet, std::string& section,
                                       std::string& error) const
{
    if (packet.size() > kMaxSection)
    {
        error = "the XMP packet is too large for an image resource";
        return false;
    }
    auto appendData = [&packet](std::string& out)
    {
        AppendBigEndian32(out, static_cast<TUInt32>(packet.size()));
        out += packet;
        if (packet.size() % 2 != 0)
        {
            out += '\0';
        }
    };
    section.clear();
    section.reserve(mSection.size() + packet.size() + 16);
    bool written = false;
    for (const GBlock& block : mBlocks)
    {
        if (block.id != kXMPResourceID)
        {
            section.append(mSection, block.start, block.end - block.start);
        }
        else if (!written)
        {
            // The signature, ID and name as they were; a second resource 1060 is dropped.
            section.append(mSection, block.start, block.dataStart - 4 - block.start);
            appendData(section);
            written = true;
        }
    }
    if (!written)
    {
        section += "8BIM";
        AppendBigEndian16(section, kXMPResourceID);
        section.append(2, '\0'); // an empty name, padded
        appendData(section);
    }
    if (section.size() > kMaxSection)
    {
        error = "the image resources section would be too large";
        return false;
    }
    return true;
}

bool GPhotoshopResources::Write(GByteSource& source, GByteSink& sink, const std::string& packet,
                                const std::function<void()>& afterSection, std::string& error) const
{
    std::string section;
    if (!BuildSection(packet, section, error))
    {
        return false;
    }
    std::string length;
    AppendBigEndian32(length, static_cast<TUInt32>(section.size()));
    if (!sink.CopyFrom(source, 0, mSectionOffset) || !sink.Write(length) || !sink.Write(section))
    {
        error = "cannot write the new document";
        return false;
    }
    if (afterSection)
    {
        afterSection();
    }
    if (!sink.CopyFrom(source, mRestOffset, source.Size() - mRestOffset))
    {
        error = "cannot copy the layers and image data into the new document";
        return false;
    }
    return true;
}
} // namespace typehold
