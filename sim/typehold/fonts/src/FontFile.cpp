#include "GFile.h"
#include "GFontText.h"
#include "GLogger.h"
#include "GSfntReader.h"
#include "TypeholdFonts.h"

#include <system_error>

namespace typehold
{
namespace
{
constexpr const char* kLogCategory = "TypeholdFonts";
// Fonts are a few megabytes; the largest CJK collections stay well below this.
constexpr TUInt64 kMaxFontFileSize = 512ull * 1024 * 1024;

bool ReadFontBytes(const std::string& path, TByteVector& bytes, std::string& error)
{
    std::filesystem::path fsPath;
    if (!GFontText::PathFromUTF8(path, fsPath))
    {
        error = "the path is not valid UTF-8";
        return false;
    }
    std::error_code code;
    const std::filesystem::file_status status = std::filesystem::status(fsPath, code);
    if (status.type() == std::filesystem::file_type::not_found)
    {
        error = "no such file";
        return false;
    }
    if (status.type() == std::filesystem::file_type::directory)
    {
        error = "a folder, not a font file";
        return false;
    }
    if (code || status.type() != std::filesystem::file_type::regular)
    {
        error = "not a regular file";
        return false;
    }
    GFile file;
    const TErrorCode openResult = file.Open(path, GFile::eRead | GFile::eBinary);
    if (openResult != CoreErrorCodes::kSuccess)
    {
        error = "cannot open the file (" + ErrorCodeToString(openResult) + ")";
        return false;
    }
    TUInt64 size = 0;
    TErrorCode result = file.GetFileSize(size);
    if (result == CoreErrorCodes::kSuccess && size == 0)
    {
        error = "empty file";
        return false;
    }
    if (result == CoreErrorCodes::kSuccess && size > kMaxFontFileSize)
    {
        error = "too large for a font file (" + std::to_string(size) + " bytes)";
        return false;
    }
    if (result == CoreErrorCodes::kSuccess)
    {
        result = file.Read(size, bytes);
    }
    if (result != CoreErrorCodes::kSuccess)
    {
        error = "cannot read the file (" + ErrorCodeToString(result) + ")";
        return false;
    }
    if (bytes.size() != size)
    {
        error = "the file changed while it was read";
        return false;
    }
    return true;
}
} // namespace

bool ReadFontFile(const std::string& path, std::vector<FontFace>& faces, std::string& error)
{
    faces.clear();
    error.clear();
    TByteVector bytes;
    if (!ReadFontBytes(path, bytes, error) ||
        !GSfntReader::ReadAllFaces(bytes.data(), bytes.size(), faces, error))
    {
        GLogger::GetInstance().Log(kLogCategory, GLogger::kWarning, "Not a readable font: '%s': %s",
                                   path.c_str(), error.c_str());
        return false;
    }
    std::filesystem::path fsPath;
    TUTF8String fileName;
    if (!GFontText::PathFromUTF8(path, fsPath) || !GFontText::UTF8FromPath(fsPath.filename(), fileName))
    {
        fileName = path;
    }
    for (FontFace& face : faces)
    {
        face.filePath = path;
        face.fileName = fileName;
        face.fileSize = bytes.size();
    }
    return true;
}
} // namespace typehold
