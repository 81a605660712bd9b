#pragma once
// What the plug-in asks Photoshop about its documents, through the action system's Get with an
// action reference: the active document's ID and path, the number of open documents with the
// path and ID of each, whether a document ID is still open, and the font names a document's file
// uses. Results are the action system's error codes (0 = success, kSPBadParameterError for a
// missing output); a suite that cannot be acquired raises its error (see PhotoshopSuites).
//
// Document indices are 1-based; IDs are Photoshop's unsigned 32-bit 'DocI' values; paths UTF-8.

#include "GTypes.h"
#include "PhotoshopPluginAPI.h"

#include <CoreFoundation/CoreFoundation.h>

#include <vector>

namespace PhotoshopFontUtils
{
constexpr DescriptorClassID kDocumentClass = PSFourCharCode("Dcmn");
constexpr DescriptorClassID kApplicationClass = PSFourCharCode("capp");
constexpr DescriptorKeyID kDocumentIDKey = PSFourCharCode("DocI");
constexpr DescriptorKeyID kFileReferenceKey = PSFourCharCode("FilR");
constexpr DescriptorKeyID kNumberOfDocumentsKey = PSFourCharCode("NmbD");
constexpr DescriptorClassID kPropertyClass = PSFourCharCode("Prpr");
constexpr DescriptorEnumTypeID kOrdinalType = PSFourCharCode("Ordn");
constexpr DescriptorEnumID kTargetEnum = PSFourCharCode("Trgt");

// A value read from a result descriptor, by the key's stored type. The caller owns an alias
// handle, an object descriptor and a list (Release frees them).
struct InfoValue
{
    DescriptorTypeID type = 0;
    std::int32_t integer = 0;
    double number = 0.0;
    DescriptorUnitID unit = 0;
    bool boolean = false;
    TUTF8String text;
    DescriptorEnumTypeID enumType = 0;
    DescriptorEnumID enumValue = 0;
    DescriptorClassID classID = 0;
    Handle alias = nullptr;
    PIActionDescriptor object = nullptr; // also the whole result when no key was asked for
    PIActionList list = nullptr;

    void Release();
};

// The value of key (0: the whole result) of the target object of the class.
OSErr GetInfo(DescriptorClassID classID, DescriptorKeyID key, InfoValue* value);
// The same for the object of the class at a 1-based index.
OSErr GetInfoByIndex(std::uint32_t index, DescriptorClassID classID, DescriptorKeyID key, InfoValue* value);

OSErr GetActiveDocumentID(TUInt32& documentID);
// Empty (or an error) for an untitled document.
OSErr GetActiveDocumentPath(TUTF8String& path);
OSErr GetDocumentCount(std::int32_t& count);
// The paths of the open documents that have files, in document order.
OSErr GetOpenDocumentPaths(std::vector<TUTF8String>& paths);
// The index of the last document with this path (the active document's path when empty), or -1.
std::int32_t IndexOfDocumentWithPath(const TUTF8String& path);
// 0 and the ID of the document with this path, or -1.
std::int32_t GetDocumentID(TUInt32& documentID, const TUTF8String& path);
// Whether a document with the ID is open; the first read error ends the scan and is returned.
OSErr DocumentHandleIsValid(TUInt32 documentID, bool& exists);

// The full path an alias names, in UTF-8; empty when no existing file is found. The alias data
// holds the path as narrow text in the system code page (NUL-terminated), followed by the same
// path stored as UTF-16 strings; a narrow path that no longer names a file (renamed folders,
// characters the code page cannot hold) is corrected from the UTF-16 copies.
TUTF8String GetUTF8EncodedPathFromFileAlias(Handle alias);

// The document file's font names (from its bytes).
void GetDocumentFonts(const TUTF8String& path, std::vector<TUTF8String>& fontNames);
// A new mutable array (the caller releases it) of font dictionaries, one per PostScript name.
void PSGetDocumentFonts(CFMutableArrayRef* fontNames, const TUTF8String& path);
// The part of the path after its last ':', '/' or '\'.
TUTF8String GetFileNameOfPath(const TUTF8String& path);
} // namespace PhotoshopFontUtils
