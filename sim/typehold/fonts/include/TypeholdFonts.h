#pragma once
// The font manager core's view of font files and documents: the faces of TrueType/OpenType files
// read from their own sfnt tables, the font catalog with its stable database IDs, and the font
// names a document uses.

#include "GTypes.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace typehold
{
struct FontFace
{
    std::string postScriptName; // name ID 6
    std::string family;         // typographic family (name ID 16), else family (name ID 1)
    std::string style;          // typographic subfamily (17), else subfamily (2)
    std::string fullName;       // name ID 4
    std::string version;        // the version number: from name ID 5 ("Version 2.37; ..." -> "2.37"),
                                // else head.fontRevision as "%.3f"
    std::string foundry;        // manufacturer (name ID 8), else OS/2 achVendID (trimmed), else ""
    std::string kind;           // "OpenType" (CFF/CFF2 outlines), "TrueType" (glyf outlines)
    std::string filePath;       // full path as given to the reader (UTF-8)
    std::string fileName;       // file name part of filePath
    std::uint64_t fileSize = 0;
    std::uint32_t faceIndex = 0; // index in a collection (.ttc), else 0
    // Identification checksums, computed from the font data only (the same file gives the same
    // values on any machine): CRC-32 (IEEE) of
    std::uint32_t checksum = 0;        // the whole face: table directory order, every table's bytes
    std::uint32_t outlineChecksum = 0; // the outline table ('glyf' with 'loca', or 'CFF '/'CFF2')
    std::uint32_t kerningChecksum = 0; // 'kern' and 'GPOS' table bytes, masked to 20 bits
                                       // (& 0xFFFFF); 0 when the face has neither table
};

// Every face of a TrueType/OpenType file (.ttf, .otf, .ttc). False, with a one-line reason in
// error, when the file is not a readable font (truncated, bad offsets, no name table, ...).
// A collection is read whole: one face that cannot be read fails the file. Type 1 and web fonts
// fail with a reason that says what they are.
bool ReadFontFile(const std::string& path, std::vector<FontFace>& faces, std::string& error);

struct CatalogFont
{
    std::uint32_t databaseID = 0; // stable across restarts, never reused, starting at 1001
    FontFace face;
};

class FontCatalog
{
public:
    // Scans the folders recursively for font files, reads them, assigns database IDs. IDs come
    // from the ID table file (created when missing, rewritten atomically): the key of a font is its
    // PostScript name and whole-face checksum, so a font keeps its ID across restarts and moves,
    // and two versions of the same PostScript name are two fonts with two IDs. Unreadable files are
    // skipped and listed in Problems(). Returns 0, or an error code when the ID table cannot be
    // written.
    //
    // Files are visited folder by folder, each folder's files in path order; the faces of a file in
    // collection order. A face whose key was already seen in this scan (the same font file in two
    // places) is skipped with a problem line. An ID table that exists but cannot be read fails the
    // build before anything is assigned; when the table cannot be written, the catalog still holds
    // the fonts with the IDs it would have written.
    TErrorCode Build(const std::vector<std::string>& folders, const std::string& idTableFile);
    const std::vector<CatalogFont>& Fonts() const;
    const CatalogFont* FindByID(std::uint32_t databaseID) const;
    std::vector<const CatalogFont*> FindByPostScriptName(const std::string& name) const; // every version
    std::vector<const CatalogFont*> FindByFamily(const std::string& family) const;
    const std::vector<std::string>& Problems() const; // "<path>: <reason>" per skipped file

private:
    std::vector<CatalogFont> mFonts;
    std::vector<std::string> mProblems;
    std::unordered_map<std::uint32_t, std::size_t> mByID;
    std::unordered_map<std::string, std::vector<std::size_t>> mByPostScriptName;
    std::unordered_map<std::string, std::vector<std::size_t>> mByFamily;
};

// The PostScript names of the fonts a document uses, in first-seen order without duplicates:
// Photoshop files (.psd, .psb: the text engine data's font set, "/Name (...)" entries, UTF-16BE
// with BOM or plain bytes) and PDF/Illustrator files (.pdf, .ai: /BaseFont and /FontName names,
// subset tags "ABCDEF+" removed, #xx escapes decoded). False with a reason when the file cannot
// be read. It reads the file in bounded chunks (documents can be gigabytes).
// An empty file, another extension, or a .psd/.psb without the "8BPS" signature fails; a
// document without fonts gives true and no names.
bool ReadDocumentFontNames(const std::string& path, std::vector<std::string>& names, std::string& error);
} // namespace typehold
