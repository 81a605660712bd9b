#pragma once
// Reads the faces of TrueType/OpenType data (a single sfnt font or a 'ttcf' collection) held in
// memory. Every offset and length is checked against the data before it is used; a face that
// cannot be read gives a one-line reason.

#include "TypeholdFonts.h"

#include <cstddef>
#include <map>

namespace typehold
{
class GSfntReader
{
public:
    // Largest collection accepted; real ones hold a few dozen faces.
    static constexpr TUInt32 kMaxFaces = 1024;

    GSfntReader(const TUInt8* data, std::size_t size) : mpData(data), mSize(size) {}

    // Recognises the data: a single font or a collection, and its number of faces.
    bool ReadHeader(std::string& error);
    TUInt32 FaceCount() const { return static_cast<TUInt32>(mFaceOffsets.size()); }

    // The font fields of one face (everything but the file's path, name and size).
    bool ReadFace(TUInt32 faceIndex, FontFace& face, std::string& error);
    // The text chosen for each name ID of the face read last (platform 3 Unicode before
    // Mac Roman, US English first).
    const std::map<TUInt16, TUTF8String>& Names() const { return mNames; }

    // Every face of the data, or false with the first face's reason.
    static bool ReadAllFaces(const TUInt8* data, std::size_t size, std::vector<FontFace>& faces,
                             std::string& error);

private:
    struct TableRecord
    {
        TUInt32 tag = 0;
        TUInt32 offset = 0;
        TUInt32 length = 0;
    };

    bool ReadTableDirectory(TUInt32 faceOffset, std::vector<TableRecord>& tables, std::string& error) const;
    bool ReadNameTable(const TableRecord& table, std::string& error);
    const TableRecord* FindTable(const std::vector<TableRecord>& tables, TUInt32 tag) const;

    TUInt16 U16(std::size_t offset) const
    {
        return static_cast<TUInt16>(mpData[offset] << 8 | mpData[offset + 1]);
    }
    TUInt32 U32(std::size_t offset) const
    {
        return TUInt32(mpData[offset]) << 24 | TUInt32(mpData[offset + 1]) << 16 |
               TUInt32(mpData[offset + 2]) << 8 | mpData[offset + 3];
    }

    const TUInt8* mpData;
    std::size_t mSize;
    std::vector<TUInt32> mFaceOffsets;
    std::map<TUInt16, TUTF8String> mNames;
};
} // namespace typehold
