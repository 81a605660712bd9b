#pragma once
// The plug-in's own list of the host's documents. The host sends no reliable "opened" signal, and
// the fonts activated for a document must be closed when it goes away, so the plug-in keeps one
// record per document it has seen. Records are shared: a record removed from the list stays
// valid for a caller that still holds it. Only the host's user-interface thread touches the list.

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

#include <memory>
#include <vector>

class OneTrackedDocument
{
public:
    OneTrackedDocument() = default;
    ~OneTrackedDocument();
    OneTrackedDocument(const OneTrackedDocument&) = delete;
    OneTrackedDocument& operator=(const OneTrackedDocument&) = delete;

    // The host's document ID ('DocI'); 0 when not known.
    TUInt32 GetDocumentHandle() const { return mDocumentHandle; }
    void SetDocumentHandle(TUInt32 handle) { mDocumentHandle = handle; }
    // Seconds since 1970; 0 = never.
    TSInt64 GetOpenEventTime() const { return mOpenEventTime; }
    void SetOpenEventTimeToNow();
    TSInt64 GetSaveTime() const { return mSaveTime; }
    void SetSaveTimeToNow();
    const TUTF8String& GetDocumentFilePath() const { return mFilePath; }
    void SetDocumentFilePath(const TUTF8String& path);
    const TUTF8String& GetIdentifier() const { return mIdentifier; }
    void SetIdentifier(const TUTF8String& identifier) { mIdentifier = identifier; }
    bool GetCanExport() const { return mCanExport; }
    void SetCanExport(bool canExport) { mCanExport = canExport; }
    // The fonts that could not be activated (not retained for the caller), or null.
    CFArrayRef GetProblemFonts() const { return mProblemFonts; }
    // Replaces the problem fonts (the new array is retained, the old one released).
    void SetProblemFonts(CFArrayRef problemFonts);
    // True when a problem font has no possible replacement.
    bool HasMissingFonts() const;

private:
    TUInt32 mDocumentHandle = 0;
    TSInt64 mOpenEventTime = 0;
    TSInt64 mSaveTime = 0;
    TUTF8String mFilePath;
    TUTF8String mIdentifier;
    bool mCanExport = false;
    CFArrayRef mProblemFonts = nullptr;
};

using TrackedDocumentPtr = std::shared_ptr<OneTrackedDocument>;

class AllTrackedDocuments
{
public:
    // Adds the record under the path unless a record with exactly this path is tracked already;
    // an empty holder gets a new record.
    static void AddDocument(TrackedDocumentPtr& record, const TUTF8String& path);
    static TrackedDocumentPtr FindTrackedDocumentByHandle(TUInt32 handle);
    static TrackedDocumentPtr FindTrackedDocumentByPath(const TUTF8String& path);
    // Closes the record's fonts (as the preference "CloseFontsOnDocClose" says) and removes it.
    static void RemoveClosedDocument(const TrackedDocumentPtr& record);
    static const std::vector<TrackedDocumentPtr>& GetAllTrackedDocuments();
    // Test support.
    static void RemoveAllForTesting();
};
