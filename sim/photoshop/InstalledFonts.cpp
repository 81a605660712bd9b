#include "InstalledFonts.h"

#include "TypeholdFonts.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace
{
std::filesystem::path PathFromUTF8(const std::string& path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string UTF8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
} // namespace

void InstalledFonts::ScanMachineFonts(const std::vector<std::string>& folders)
{
    for (const std::string& folder : folders)
    {
        std::error_code error;
        std::filesystem::recursive_directory_iterator it(
            PathFromUTF8(folder), std::filesystem::directory_options::skip_permission_denied, error);
        for (; !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        {
            std::error_code statusError;
            if (!it->is_regular_file(statusError))
            {
                continue;
            }
            std::vector<typehold::FontFace> faces;
            std::string reason;
            if (typehold::ReadFontFile(UTF8FromPath(it->path()), faces, reason))
            {
                ++mMachineFiles;
                for (const typehold::FontFace& face : faces)
                {
                    mMachineFonts.insert(face.postScriptName);
                }
            }
        }
    }
}

bool InstalledFonts::ReadTable(const std::string& tableFile, std::string& error)
{
    mTableFonts.clear();
    if (tableFile.empty())
    {
        return true;
    }
    const std::filesystem::path path = PathFromUTF8(tableFile);
    std::error_code code;
    if (!std::filesystem::exists(path, code))
    {
        return true;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad())
    {
        error = "cannot read '" + tableFile + "'";
        return false;
    }
    mTableFonts = ParseSystemFontTable(text);
    return true;
}

bool InstalledFonts::IsInstalled(const std::string& postScriptName) const
{
    return mMachineFonts.count(postScriptName) != 0 || mTableFonts.count(postScriptName) != 0;
}

std::vector<std::string> InstalledFonts::Missing(const std::vector<std::string>& postScriptNames) const
{
    std::vector<std::string> missing;
    for (const std::string& name : postScriptNames)
    {
        if (!IsInstalled(name))
        {
            missing.push_back(name);
        }
    }
    return missing;
}

std::set<std::string> ParseSystemFontTable(const std::string& text)
{
    std::set<std::string> names;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
    {
        if (!line.empty() && line.back() == '\r')
        {
            line.pop_back();
        }
        const std::string name = line.substr(0, line.find('\t'));
        if (!name.empty())
        {
            names.insert(name);
        }
    }
    return names;
}
