#pragma once
// Font identification data: the small records (PostScript name, family, kind, foundry, version,
// outline file, checksums) by which a document remembers its fonts, and the rules that compare
// names and prepare records for the font manager and for documents. Records are mutable CF
// dictionaries whose values are CF strings.

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

#include <cstddef>

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

    // --- Matching document fonts to the font manager's identification data ----------------------
    // A new string without spaces and ( ) / [ ] { }; null when nothing is left.
    static CFStringRef CreateStringStrippingIllegalCharsInPostScriptName(CFStringRef name);
    // A shorter name without a subset prefix ("ABCDEF+") or, failing that, without its last
    // separated part ("-Bold", " Light"); false when there is nothing to cut.
    static bool PSNameMightHaveCruftAppended(const char* name, std::size_t capacity, char* outShorterName);
    // The identification records of every font with the name (kind 0 PostScript, 1 family) in the
    // workgroup; outFonts receives a new array. -50 without a name or output.
    static TSInt32 GetFaceTraceDataForFontName(const char* name, TSInt32 kind, bool* excludedRemote,
                                               TSInt32 workgroupID, CFMutableArrayRef* outFonts);
    // The candidates for a record by its PostScript name (kind 0) or family (kind 1), with the
    // fallbacks of normalised and shortened names, best first. inOutFonts receives a new array.
    static TSInt32 GetFaceTraceData(CFDictionaryRef font, TSInt32 kind, bool* excludedRemote,
                                    TSInt32 workgroupID, CFMutableArrayRef* inOutFonts);
    // The comparator that puts the better of two candidates first; context: the document's record.
    static CFComparisonResult PickBestMatchCallBack(const void* font1, const void* font2, void* context);
    // A mutable copy of the best candidate for the record, or null.
    static TSInt32 GetFaceTraceDataForBestMatch(CFDictionaryRef font, TSInt32 workgroupID,
                                                CFMutableDictionaryRef* outBest);
    // Completes document font records with the font manager's identification data (dropping those
    // it cannot identify when excludeInactiveFonts is set).
    static TSInt32 AppendFaceTraceDataToFonts(CFMutableArrayRef fonts, TSInt32 workgroupID,
                                              bool excludeInactiveFonts, bool getAllFontInfo,
                                              bool tryFamilyNames);
    static CFIndex MergeFacetraceDictionaryIntoArray(CFMutableArrayRef fonts, CFDictionaryRef font);
    static void MergeFontsIntoFontsArray(CFArrayRef source, CFMutableArrayRef destination);
    static bool IsSluggableKey(CFStringRef key);
    // Reduces every record to the sluggable keys; true when a key was removed from one.
    static bool RemoveUnsluggableFaceTraceKeys(CFMutableArrayRef fonts);
    static CFMutableDictionaryRef CreateFaceTraceDictionary(CFStringRef postScriptName);
    // Appends a record for the cleaned name unless one exists (or duplicates are allowed).
    static bool AddFontToArray(CFStringRef postScriptName, CFMutableArrayRef fonts, bool allowDuplicates);
    // Appends each record's "MatchedFont"; false when a record has none.
    static bool CollectMatchedFonts(CFArrayRef fonts, CFMutableArrayRef outFonts);
    static CFIndex CountActiveFonts(CFArrayRef fonts);
    static CFIndex CountFontsWithoutReplacements(CFArrayRef fonts);
    // A deep copy whose arrays and dictionaries are mutable.
    static CFMutableArrayRef CreateMutableDeepCopy(CFArrayRef fonts);
};
