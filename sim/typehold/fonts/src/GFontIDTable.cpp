#include "GFontIDTable.h"

#include "GErrorReport.h"
#include "GFile.h"
#include "GFontText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

namespace typehold
{
namespace
{
constexpr const char* kLogCategory = "TypeholdFonts";
constexpr const char* kNextIDField = "next-id";
constexpr TUInt64 kLastID = std::numeric_limits<TUInt32>::max();

TUTF8String EscapeName(const TUTF8String& name)
{
    TUTF8String text;
    for (const char c : name)
    {
        const auto byte = static_cast<TUInt8>(c);
        if (byte < 0x21 || byte == 0x7F || byte == '%')
        {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            text += escaped;
        }
        else
        {
            text += c;
        }
    }
    return text;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
    {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F')
    {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f')
    {
        return c - 'a' + 10;
    }
    return -1;
}

bool UnescapeName(const TUTF8String& text, TUTF8String& name)
{
    name.clear();
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '%')
        {
            name += text[i];
            continue;
        }
        if (i + 2 >= text.size())
        {
            return false;
        }
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
        {
            return false;
        }
        name += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return !name.empty();
}

// An unsigned decimal or 0x-prefixed hexadecimal number that fills the whole field.
bool ParseNumber(const TUTF8String& field, TUInt64& value)
{
    if (field.empty() || field.size() > 20 || field[0] == '-' || field[0] == '+' || field[0] == ' ')
    {
        return false;
    }
    const bool hex = field.size() > 2 && field[0] == '0' && (field[1] == 'x' || field[1] == 'X');
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(field.c_str(), &end, hex ? 16 : 10);
    if (end != field.c_str() + field.size())
    {
        return false;
    }
    value = parsed;
    return true;
}

std::vector<TUTF8String> SplitFields(const TUTF8String& line)
{
    std::vector<TUTF8String> fields;
    std::size_t start = 0;
    while (true)
    {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == TUTF8String::npos ? TUTF8String::npos : tab - start));
        if (tab == TUTF8String::npos)
        {
            return fields;
        }
        start = tab + 1;
    }
}
} // namespace

std::size_t GFontIDTable::Parse(const TUTF8String& text)
{
    mIDs.clear();
    mUsedIDs.clear();
    mModified = false;
    TUInt64 nextID = kFirstID;
    std::size_t skipped = 0;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size())
    {
        std::size_t end = text.find('\n', start);
        if (end == TUTF8String::npos)
        {
            end = text.size();
        }
        TUTF8String line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
        {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#')
        {
            continue;
        }
        const std::vector<TUTF8String> fields = SplitFields(line);
        TUInt64 id = 0;
        TUInt64 checksum = 0;
        TUTF8String name;
        if (fields.size() == 2 && fields[0] == kNextIDField && ParseNumber(fields[1], id) &&
            id <= kLastID + 1)
        {
            nextID = std::max(nextID, id);
            continue;
        }
        if (fields.size() != 3 || !ParseNumber(fields[0], id) || id < kFirstID || id > kLastID ||
            !ParseNumber(fields[1], checksum) || checksum > kLastID || !UnescapeName(fields[2], name) ||
            mUsedIDs.count(static_cast<TUInt32>(id)) != 0 ||
            mIDs.count(TKey(name, static_cast<TUInt32>(checksum))) != 0)
        {
            GLogger::GetInstance().Log(
                kLogCategory, GLogger::kWarning,
                "Font ID table: line %llu skipped (unreadable or a repeated ID or font)",
                static_cast<unsigned long long>(lineNumber));
            ++skipped;
            continue;
        }
        mIDs.emplace(TKey(name, static_cast<TUInt32>(checksum)), static_cast<TUInt32>(id));
        mUsedIDs.insert(static_cast<TUInt32>(id));
        nextID = std::max(nextID, id + 1);
    }
    mNextID = nextID;
    return skipped;
}

TUTF8String GFontIDTable::Text() const
{
    std::map<TUInt32, const TKey*> byID;
    for (const auto& [key, id] : mIDs)
    {
        byID.emplace(id, &key);
    }
    TUTF8String text = "# Typehold font database IDs: ID, whole-face checksum, PostScript name\n";
    text += kNextIDField;
    text += "\t" + std::to_string(mNextID) + "\n";
    for (const auto& [id, key] : byID)
    {
        char checksum[16];
        std::snprintf(checksum, sizeof checksum, "0x%08X", key->second);
        text += std::to_string(id) + "\t" + checksum + "\t" + EscapeName(key->first) + "\n";
    }
    return text;
}

TErrorCode GFontIDTable::Load(const TUTF8String& path)
{
    mIDs.clear();
    mUsedIDs.clear();
    mNextID = kFirstID;
    mModified = false;
    mLoadedFromFile = false;
    std::filesystem::path fsPath;
    G_FAIL_IF(!GFontText::PathFromUTF8(path, fsPath), CoreErrorCodes::kInvalidParam);
    std::error_code code;
    const std::filesystem::file_status status = std::filesystem::status(fsPath, code);
    if (status.type() == std::filesystem::file_type::not_found)
    {
        GLogger::GetInstance().Log(kLogCategory, GLogger::kInfo,
                                   "Font ID table '%s' not found: starting a new one", path.c_str());
        return CoreErrorCodes::kSuccess;
    }
    G_FAIL_IF(code || status.type() != std::filesystem::file_type::regular, CoreErrorCodes::kInvalidParam);
    GFile file;
    G_FAIL_IF_ERROR(file.Open(path, GFile::eRead | GFile::eBinary));
    TUTF8String text;
    G_FAIL_IF_ERROR(file.Read(text));
    Parse(text);
    mLoadedFromFile = true;
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFontIDTable::IDFor(const TUTF8String& postScriptName, TUInt32 checksum, TUInt32& databaseID)
{
    const auto found = mIDs.find(TKey(postScriptName, checksum));
    if (found != mIDs.end())
    {
        databaseID = found->second;
        return CoreErrorCodes::kSuccess;
    }
    while (mNextID <= kLastID && mUsedIDs.count(static_cast<TUInt32>(mNextID)) != 0)
    {
        ++mNextID;
    }
    G_FAIL_IF(mNextID > kLastID, CoreErrorCodes::kIndexOutOfRange);
    databaseID = static_cast<TUInt32>(mNextID++);
    mIDs.emplace(TKey(postScriptName, checksum), databaseID);
    mUsedIDs.insert(databaseID);
    mModified = true;
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFontIDTable::Save(const TUTF8String& path)
{
    std::filesystem::path fsPath;
    G_FAIL_IF(!GFontText::PathFromUTF8(path, fsPath), CoreErrorCodes::kInvalidParam);
    std::error_code code;
    if (fsPath.has_parent_path())
    {
        std::filesystem::create_directories(fsPath.parent_path(), code);
    }
    const TUTF8String temporaryPath = path + ".new";
    {
        GFile file;
        G_FAIL_IF_ERROR(file.Open(temporaryPath, GFile::eWrite | GFile::eTruncate | GFile::eBinary));
        const TErrorCode writeResult = file.Write(Text());
        const TErrorCode flushResult = writeResult == CoreErrorCodes::kSuccess ? file.Flush() : writeResult;
        const TErrorCode closeResult = file.Close();
        if (flushResult != CoreErrorCodes::kSuccess || closeResult != CoreErrorCodes::kSuccess)
        {
            std::filesystem::path temporary;
            if (GFontText::PathFromUTF8(temporaryPath, temporary))
            {
                std::filesystem::remove(temporary, code);
            }
            G_FAIL_IF_ERROR(flushResult);
            G_FAIL_IF_ERROR(closeResult);
        }
    }
    std::filesystem::path temporary;
    G_FAIL_IF(!GFontText::PathFromUTF8(temporaryPath, temporary), CoreErrorCodes::kInvalidParam);
    std::filesystem::rename(temporary, fsPath, code);
    if (code)
    {
        GLogger::GetInstance().LogError(kLogCategory, "Font ID table: cannot move '%s' over '%s': %s",
                                        temporaryPath.c_str(), path.c_str(), code.message().c_str());
        std::filesystem::remove(temporary, code);
        return CoreErrorCodes::kError;
    }
    mModified = false;
    mLoadedFromFile = true;
    return CoreErrorCodes::kSuccess;
}
} // namespace typehold
