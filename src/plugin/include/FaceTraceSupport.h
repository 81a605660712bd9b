#pragma once
// Font identification data: the small records (PostScript name, family, kind, foundry, version,
// outline file, checksums) by which a document remembers its fonts, and the rules that compare
// names and prepare records for the font manager and for documents. Records are mutable CF
// dictionaries whose values are CF strings.

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

class FaceTraceSupport
{
public:
    // Keeps letters and digits and drops everything else. Strict also drops a "#" with the digits
    // that follow it, and ends the result at the second "-" of the text. Bytes of non-ASCII
    // characters are kept.
    static TUTF8String NormalizeName(const TUTF8String& text, bool strict);
    // Level 1: equal texts; level 2: also equal after NormalizeName; level 3: also equal after the
    // strict NormalizeName.
    static bool NamesMatch(const TUTF8String& a, const TUTF8String& b, int level);
    // The index of the first record whose "PostScriptName" matches the name at the lowest level
    // (1, then 2, then 3); -1 when none matches.
    static CFIndex IndexOfPostScriptName(CFArrayRef fonts, CFStringRef postScriptName);
    // Fills a missing or zero "Checksum" from "FaceTrace_1.2_Checksum" and sets a
    // "KerningChecksum" of 0x100000 or more to "0"; true when the record changed.
    static bool NormalizeChecksums(CFMutableDictionaryRef font);
    // The records as XML property-list text. -50 without an output, -1 when the array cannot be
    // written, else 0.
    static TSInt32 CreateXMLFaceTraceSlug(CFArrayRef fonts, TUTF8String* outText);
};
