#pragma once
// Documents on disk: read in place at any offset, and rewritten crash-safe. A new content is
// written to a temporary file beside the document, flushed to the disk and then renamed over the
// document in one step, so a process killed at any moment leaves either the old document or the
// complete new one (and perhaps a temporary file, which the next rewrite removes).

#include "GByteStreams.h"
#include "GErrorCodes.h"

#include <cstdint>
#include <string>

namespace typehold
{
// A document opened for reading; others may go on reading, writing, renaming it meanwhile.
class GDocumentFile : public GByteSource
{
public:
    GDocumentFile() = default;
    ~GDocumentFile() override;
    GDocumentFile(const GDocumentFile&) = delete;
    GDocumentFile& operator=(const GDocumentFile&) = delete;

    // GFileSystem::kFileNotFound when there is no such file; another code, with the reason in
    // error, when it cannot be opened.
    TErrorCode Open(const std::string& path, std::string& error);
    void Close();
    TUInt64 Size() const override { return mSize; }
    bool ReadAt(TUInt64 offset, void* buffer, std::size_t count) override;

private:
    std::intptr_t mHandle = -1;
    TUInt64 mSize = 0;
};

// The new content of a document, in a temporary file of the document's folder.
class GReplacementFile : public GByteSink
{
public:
    GReplacementFile() = default;
    // A file that did not replace its document is removed.
    ~GReplacementFile() override;
    GReplacementFile(const GReplacementFile&) = delete;
    GReplacementFile& operator=(const GReplacementFile&) = delete;

    // Creates "<document>.xmp-<process>-<n>.tmp" beside the document.
    TErrorCode Create(const std::string& document, std::string& error);
    bool Write(const void* bytes, std::size_t count) override;
    // Writes the bytes through to the disk and closes the file.
    TErrorCode Finish(std::string& error);
    // Puts the finished file in the document's place (one rename; the document's old content is
    // gone only once the new one is there).
    TErrorCode Replace(std::string& error);
    const std::string& TemporaryPath() const { return mTemporary; }

private:
    void Discard();

    std::string mDocument;
    std::string mTemporary;
    std::intptr_t mHandle = -1;
    bool mFailed = false;
    bool mReplaced = false;
};

// Removes the temporary files that earlier rewrites of the document left behind (a process
// killed before its rename); returns how many were removed.
int RemoveLeftoverReplacements(const std::string& document);
} // namespace typehold
