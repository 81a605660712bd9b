#include "GDocumentScanner.h"
#include "GFile.h"
#include "GFontText.h"
#include "GLogger.h"
#include "TypeholdFonts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

namespace typehold
{
namespace
{
constexpr const char* kLogCategory = "TypeholdFonts";
constexpr std::size_t kChunkSize = 4 * 1024 * 1024;

// A file read front to back. The reads go straight to the stream, so a document of any size can
// be read through (GFile's own reads pass their positions through 32-bit offsets).
class GSequentialFile : public GFile
{
public:
    TErrorCode ReadNext(TUInt8* buffer, std::size_t count, std::size_t& got)
    {
        got = 0;
        if (!IsOpen())
        {
            return kFileNotOpen;
        }
        got = std::fread(buffer, 1, count, mpFile);
        if (got < count && std::ferror(mpFile) != 0)
        {
            return CoreErrorCodes::kError;
        }
        return CoreErrorCodes::kSuccess;
    }

    // Moves count bytes on; false when the file cannot be positioned there.
    bool SkipForward(TUInt64 count)
    {
        if (!IsOpen())
        {
            return false;
        }
#ifdef _WIN32
        return _fseeki64(mpFile, static_cast<long long>(count), SEEK_CUR) == 0;
#else
        return fseeko(mpFile, static_cast<off_t>(count), SEEK_CUR) == 0;
#endif
    }
};

TUTF8String LowerCaseExtension(const std::filesystem::path& path)
{
    TUTF8String extension;
    if (!GFontText::UTF8FromPath(path.extension(), extension))
    {
        return TUTF8String();
    }
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return extension;
}

// A big-endian unsigned integer of size bytes.
TUInt64 BigEndian(const TUInt8* bytes, std::size_t size)
{
    TUInt64 value = 0;
    for (std::size_t i = 0; i < size; ++i)
    {
        value = (value << 8) | bytes[i];
    }
    return value;
}

bool Fail(const std::string& path, const std::string& reason, std::string& error)
{
    error = reason;
    GLogger::GetInstance().Log(kLogCategory, GLogger::kWarning, "Cannot read the fonts of '%s': %s",
                               path.c_str(), reason.c_str());
    return false;
}
} // namespace

bool ReadDocumentFontNames(const std::string& path, std::vector<std::string>& names, std::string& error)
{
    names.clear();
    error.clear();
    std::filesystem::path fsPath;
    if (!GFontText::PathFromUTF8(path, fsPath))
    {
        return Fail(path, "the path is not valid UTF-8", error);
    }
    const TUTF8String extension = LowerCaseExtension(fsPath);
    const bool photoshop = extension == ".psd" || extension == ".psb";
    std::unique_ptr<GDocumentScanner> scanner;
    if (photoshop)
    {
        scanner = std::make_unique<GPhotoshopFontScanner>();
    }
    else if (extension == ".pdf" || extension == ".ai")
    {
        scanner = std::make_unique<GPDFFontScanner>();
    }
    else
    {
        return Fail(path, "not a document type whose fonts can be read (.psd, .psb, .pdf, .ai)", error);
    }

    std::error_code code;
    const std::filesystem::file_status status = std::filesystem::status(fsPath, code);
    if (status.type() == std::filesystem::file_type::not_found)
    {
        return Fail(path, "no such file", error);
    }
    if (code || status.type() != std::filesystem::file_type::regular)
    {
        return Fail(path, "not a regular file", error);
    }
    GSequentialFile file;
    const TErrorCode openResult = file.Open(path, GFile::eRead | GFile::eBinary);
    if (openResult != CoreErrorCodes::kSuccess)
    {
        return Fail(path, "cannot open the file (" + ErrorCodeToString(openResult) + ")", error);
    }
    // The signature first: it is read again as the start of the first chunk.
    TUInt8 signature[4] = {};
    std::size_t signatureSize = 0;
    if (file.ReadNext(signature, sizeof signature, signatureSize) != CoreErrorCodes::kSuccess)
    {
        return Fail(path, "cannot read the file", error);
    }
    if (signatureSize == 0)
    {
        return Fail(path, "empty file", error);
    }
    if (photoshop && (signatureSize < 4 || std::memcmp(signature, "8BPS", 4) != 0))
    {
        return Fail(path, "not a Photoshop document (no 8BPS signature)", error);
    }
    std::size_t signatureUsed = 0;
    // How much of the file is scanned: a Photoshop document's font sets live in its layer and mask
    // section, so only that section is read (its image data can be gigabytes); other documents are
    // read whole.
    TUInt64 remaining = ~TUInt64(0);
    if (photoshop)
    {
        // Header (26 bytes, the signature already read), then the color mode data and the image
        // resources, each after its 32-bit length, then the layer and mask section's length (32-bit
        // in a PSD, 64-bit in a PSB).
        TUInt8 header[22] = {};
        std::size_t got = 0;
        if (file.ReadNext(header, sizeof header, got) != CoreErrorCodes::kSuccess || got != sizeof header)
        {
            return Fail(path, "a Photoshop document cut short in its header", error);
        }
        const TUInt64 version = BigEndian(header, 2);
        if (version != 1 && version != 2)
        {
            return Fail(path, "a Photoshop document of unknown version " + std::to_string(version), error);
        }
        std::error_code sizeCode;
        const TUInt64 fileSize = std::filesystem::file_size(fsPath, sizeCode);
        TUInt64 position = 26;
        for (int section = 0; section < 2; ++section)
        {
            TUInt8 lengthBytes[4] = {};
            if (file.ReadNext(lengthBytes, 4, got) != CoreErrorCodes::kSuccess || got != 4)
            {
                return Fail(path, "a Photoshop document cut short before its layers", error);
            }
            const TUInt64 length = BigEndian(lengthBytes, 4);
            position += 4 + length;
            if (sizeCode || position > fileSize || !file.SkipForward(length))
            {
                return Fail(path, "a Photoshop document whose sections run past its end", error);
            }
        }
        const std::size_t lengthSize = version == 2 ? 8 : 4;
        TUInt8 layerLength[8] = {};
        if (file.ReadNext(layerLength, lengthSize, got) != CoreErrorCodes::kSuccess || got != lengthSize)
        {
            // A document without layers (cut short here) has no text layers either.
            names.clear();
            return true;
        }
        remaining = std::min<TUInt64>(BigEndian(layerLength, lengthSize), fileSize - position - lengthSize);
        signatureUsed = signatureSize; // the scan starts at the layer section
    }
    const TErrorCode scanResult = scanner->ScanAll(
        [&](TUInt8* buffer, std::size_t count, std::size_t& got)
        {
            count = static_cast<std::size_t>(std::min<TUInt64>(count, remaining));
            const std::size_t fromSignature = std::min(count, signatureSize - signatureUsed);
            std::memcpy(buffer, signature + signatureUsed, fromSignature);
            signatureUsed += fromSignature;
            std::size_t fromFile = 0;
            const TErrorCode result = file.ReadNext(buffer + fromSignature, count - fromSignature, fromFile);
            got = fromSignature + fromFile;
            remaining -= got;
            return result;
        },
        kChunkSize);
    if (scanResult != CoreErrorCodes::kSuccess)
    {
        return Fail(path, "cannot read the file (" + ErrorCodeToString(scanResult) + ")", error);
    }
    names = scanner->Names();
    return true;
}
} // namespace typehold
