#pragma once
// The font catalog's database IDs on disk. A font's key is its PostScript name and whole-face
// checksum; each key gets the next ID when it is first seen and keeps it for good. Keys that are
// no longer found stay in the table, so their IDs are never handed out again.
//
// The file is UTF-8 text, one entry per line, fields separated by a tab:
//   # comment lines
//   next-id<TAB>1004
//   1001<TAB>0x9D93181F<TAB>EBGaramond08-Italic
// Names are written with '%' and bytes below '!' and DEL as %XX. Lines that cannot be read are
// skipped with a warning; the next ID is never below the largest ID of the table plus one.

#include "GErrorCodes.h"

#include <map>
#include <set>
#include <string>
#include <utility>

namespace typehold
{
class GFontIDTable
{
public:
    static constexpr TUInt32 kFirstID = 1001;

    // Reads the table; a missing file gives an empty table. A file that exists but cannot be
    // read is an error (the table must not be replaced by one that forgot its IDs).
    TErrorCode Load(const TUTF8String& path);
    // The ID of a key; a new key gets the next ID (CoreErrorCodes::kIndexOutOfRange when the
    // IDs are used up).
    TErrorCode IDFor(const TUTF8String& postScriptName, TUInt32 checksum, TUInt32& databaseID);
    // True when the file is missing or an ID was added since Load.
    bool NeedsSave() const { return mModified || !mLoadedFromFile; }
    // Writes the table to a file beside the path and moves it over the path.
    TErrorCode Save(const TUTF8String& path);

    std::size_t Size() const { return mIDs.size(); }
    // The text of the table as Save writes it.
    TUTF8String Text() const;
    // Reads the text of a table, replacing the current content; returns the number of lines
    // skipped as unreadable.
    std::size_t Parse(const TUTF8String& text);

private:
    using TKey = std::pair<TUTF8String, TUInt32>;

    std::map<TKey, TUInt32> mIDs;
    std::set<TUInt32> mUsedIDs;
    TUInt64 mNextID = kFirstID;
    bool mModified = false;
    bool mLoadedFromFile = false;
};
} // namespace typehold
