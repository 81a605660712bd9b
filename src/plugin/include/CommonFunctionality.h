#pragma once
// The host-independent steps every host integration shares: the startup checks that decide
// whether the plug-in may work at all, the activation of one document's fonts with the
// resolution of problem fonts, the pruning of the host's internal pseudo-fonts from problem lists,
// and reading font names from a document file's bytes.

#include "GTypes.h"
#include "TrackedDocuments.h"

#include <CoreFoundation/CoreFoundation.h>

#include <vector>

namespace CommonFunctionality
{
// 0 success, -1 incompatible or a repeated call, 2 no framework facade.
TSInt32 Startup(bool allowDialogs);

// Activates the fonts of the document at path for the record; problem fonts go to the
// resolve-fonts dialog unless "PickBestMatch" is on; what stays unresolved is kept on the record.
// Returns -1 (or -148 when an array cannot be made); numFontsActivated says what happened.
TSInt32 ActivateFontsForDocument(bool openingNewDocument, TSInt32& numFontsActivated, const TUTF8String& path,
                                 const TrackedDocumentPtr& record);
// The same without dialogs; returns the tracker's code (0 when skipped).
TErrorCode ActivateDocumentFontsSilently(TSInt32& numFontsActivated, const TUTF8String& path,
                                         const TrackedDocumentPtr& record, CFMutableArrayRef extra);
// Drops "PhotoshopKinsokuHard" and "AdobeInvisFont" entries that have no possible replacement.
void RemoveFontsThatHaveNoPossibleReplacement(CFMutableArrayRef problemFonts);
// The font names the document file's bytes declare, in name order; none on an error.
void GetFontNamesFromNonXMPSectionOfAdobeDocument(const TUTF8String& path,
                                                  std::vector<TUTF8String>& fontNames);

// Test support: the next Startup runs again.
void ResetStartupForTesting();
} // namespace CommonFunctionality
