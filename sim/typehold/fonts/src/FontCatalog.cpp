#include "GErrorReport.h"
#include "GFontIDTable.h"
#include "GFontText.h"
#include "TypeholdFonts.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace typehold
{
namespace
{
constexpr const char* kLogCategory = "TypeholdFonts";

// Files looked at as fonts. The TrueType/OpenType ones are read; the others (Type 1, web fonts,
// Mac resource-fork fonts) are listed as problems with the reason they cannot be used.
constexpr std::array<const char*, 11> kFontExtensions = {".ttf", ".otf", ".ttc", ".otc",  ".tte",  ".dfont",
                                                         ".t1",  ".pfb", ".pfa", ".woff", ".woff2"};

bool HasFontExtension(const std::filesystem::path& path)
{
    TUTF8String extension;
    if (!GFontText::UTF8FromPath(path.extension(), extension))
    {
        return false;
    }
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return std::find(kFontExtensions.begin(), kFontExtensions.end(), extension) != kFontExtensions.end();
}

// The font files below a folder, in path order; unreadable parts of the tree become problems.
void CollectFontFiles(const TUTF8String& folder, std::vector<TUTF8String>& files,
                      std::vector<TUTF8String>& problems)
{
    std::filesystem::path root;
    if (!GFontText::PathFromUTF8(folder, root))
    {
        problems.push_back(folder + ": the path is not valid UTF-8");
        return;
    }
    std::error_code code;
    if (!std::filesystem::is_directory(root, code))
    {
        problems.push_back(folder + ": not a folder");
        return;
    }
    std::vector<std::filesystem::path> found;
    std::filesystem::recursive_directory_iterator entry(
        root, std::filesystem::directory_options::skip_permission_denied, code);
    const std::filesystem::recursive_directory_iterator end;
    while (!code && entry != end)
    {
        if (HasFontExtension(entry->path()))
        {
            found.push_back(entry->path());
        }
        entry.increment(code);
    }
    if (code)
    {
        problems.push_back(folder + ": the folder could not be read completely (" + code.message() + ")");
    }
    std::sort(found.begin(), found.end());
    for (std::filesystem::path& path : found)
    {
        TUTF8String text;
        path.make_preferred();
        if (GFontText::UTF8FromPath(path, text))
        {
            files.push_back(text);
        }
    }
}
} // namespace

TErrorCode FontCatalog::Build(const std::vector<std::string>& folders, const std::string& idTableFile)
{
    mFonts.clear();
    mProblems.clear();
    mByID.clear();
    mByPostScriptName.clear();
    mByFamily.clear();

    GFontIDTable table;
    const TErrorCode loadResult = table.Load(idTableFile);
    if (loadResult != CoreErrorCodes::kSuccess)
    {
        GLogger::GetInstance().LogError(kLogCategory, "Font catalog: cannot read the ID table '%s' (%s)",
                                        idTableFile.c_str(), ErrorCodeToString(loadResult).c_str());
        return loadResult;
    }

    std::vector<TUTF8String> files;
    for (const std::string& folder : folders)
    {
        CollectFontFiles(folder, files, mProblems);
    }
    std::set<TUTF8String> visited;
    std::map<std::pair<TUTF8String, TUInt32>, TUTF8String> firstFileOfKey;
    for (const TUTF8String& file : files)
    {
        if (!visited.insert(file).second)
        {
            continue; // the same file below two of the folders
        }
        std::vector<FontFace> faces;
        std::string error;
        if (!ReadFontFile(file, faces, error))
        {
            mProblems.push_back(file + ": " + error);
            continue;
        }
        for (FontFace& face : faces)
        {
            const auto key = std::make_pair(face.postScriptName, face.checksum);
            const auto first = firstFileOfKey.emplace(key, file);
            if (!first.second)
            {
                mProblems.push_back(file + ": face " + std::to_string(face.faceIndex) + " (" +
                                    face.postScriptName + ") is the same font as in " + first.first->second);
                continue;
            }
            CatalogFont font;
            const TErrorCode idResult = table.IDFor(face.postScriptName, face.checksum, font.databaseID);
            if (idResult != CoreErrorCodes::kSuccess)
            {
                mProblems.push_back(file + ": no database ID left for " + face.postScriptName);
                continue;
            }
            font.face = std::move(face);
            mFonts.push_back(std::move(font));
        }
    }

    for (std::size_t i = 0; i < mFonts.size(); ++i)
    {
        mByID.emplace(mFonts[i].databaseID, i);
        mByPostScriptName[mFonts[i].face.postScriptName].push_back(i);
        mByFamily[mFonts[i].face.family].push_back(i);
    }
    GLogger::GetInstance().Log(kLogCategory, GLogger::kInfo, "Font catalog: %llu fonts, %llu files skipped",
                               static_cast<unsigned long long>(mFonts.size()),
                               static_cast<unsigned long long>(mProblems.size()));

    if (table.NeedsSave())
    {
        const TErrorCode saveResult = table.Save(idTableFile);
        if (saveResult != CoreErrorCodes::kSuccess)
        {
            GLogger::GetInstance().LogError(kLogCategory, "Font catalog: cannot write the ID table '%s' (%s)",
                                            idTableFile.c_str(), ErrorCodeToString(saveResult).c_str());
            return saveResult;
        }
    }
    return CoreErrorCodes::kSuccess;
}

const std::vector<CatalogFont>& FontCatalog::Fonts() const
{
    return mFonts;
}

const CatalogFont* FontCatalog::FindByID(std::uint32_t databaseID) const
{
    const auto found = mByID.find(databaseID);
    return found == mByID.end() ? nullptr : &mFonts[found->second];
}

namespace
{
std::vector<const CatalogFont*>
FontsAt(const std::vector<CatalogFont>& fonts,
        const std::unordered_map<std::string, std::vector<std::size_t>>& index, const std::string& key)
{
    std::vector<const CatalogFont*> result;
    const auto found = index.find(key);
    if (found != index.end())
    {
        for (const std::size_t i : found->second)
        {
            result.push_back(&fonts[i]);
        }
    }
    return result;
}
} // namespace

std::vector<const CatalogFont*> FontCatalog::FindByPostScriptName(const std::string& name) const
{
    return FontsAt(mFonts, mByPostScriptName, name);
}

std::vector<const CatalogFont*> FontCatalog::FindByFamily(const std::string& family) const
{
    return FontsAt(mFonts, mByFamily, family);
}

const std::vector<std::string>& FontCatalog::Problems() const
{
    return mProblems;
}
} // namespace typehold
