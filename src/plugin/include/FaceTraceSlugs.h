#pragma once
// The font-usage slug: on save, the document's fonts with the font manager's identification data
// (checksums, version, foundry, outline file) are written into the document's XMP by the
// interface library, so that a later open finds exactly those fonts. Only the sluggable keys
// reach the file.

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

// The document's fonts with their identification data: 0, or -43 when no array could be made.
// allIdentified tells whether every font of the document was identified.
TSInt32 CreateFaceTraceDataForDocument(const TUTF8String& path, CFMutableArrayRef* fonts, TSInt32 workgroupID,
                                       bool getAllFontInformation, bool* allIdentified);
void UpdateFaceTraceSlugsForDocument(const TUTF8String& path);
// Writes an empty font list over any earlier slug.
void RemoveAllFaceTraceSlugsForDocument(const TUTF8String& path);
// Writes the slug of the fonts (null: an empty list) and records the save with the font manager.
TErrorCode WriteXMPFaceTraceSlugToFile(const TUTF8String& fullPath, CFArrayRef docFaceTraceData,
                                       TUInt32 hint);
// Has Photoshop parse and re-serialise the active document's XMP, so a new document has a packet.
void ReserializeActiveDocumentXMP();
