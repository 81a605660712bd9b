#include "PanelFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace
{
std::filesystem::path PathFromUTF8(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string UTF8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// True when path is folder or lies below it (both made absolute, links followed).
bool Inside(const std::filesystem::path& folder, const std::filesystem::path& path)
{
    const auto mismatch = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return mismatch.first == folder.end();
}
} // namespace

bool ResolvePanelFile(const std::string& folder, const std::string& requestPath, std::string& file,
                      std::string& why)
{
    if (folder.empty())
    {
        why = "no extension folder";
        return false;
    }
    if (requestPath.empty() || requestPath[0] != '/')
    {
        why = "not an absolute path";
        return false;
    }
    if (requestPath.find_first_of(std::string("\\:\0", 3)) != std::string::npos)
    {
        why = "a backslash, colon or NUL in the path";
        return false;
    }
    std::string relative = requestPath.substr(1);
    if (relative.empty() || relative.back() == '/')
    {
        relative += "index.html";
    }
    std::size_t start = 0;
    while (start <= relative.size())
    {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        const std::string segment = relative.substr(start, end - start);
        if (segment == "..")
        {
            why = "a \"..\" segment";
            return false;
        }
        start = end + 1;
    }
    std::error_code error;
    std::filesystem::path root = std::filesystem::weakly_canonical(PathFromUTF8(folder), error);
    if (error)
    {
        why = "the extension folder cannot be read";
        return false;
    }
    if (!root.has_filename())
    {
        root = root.parent_path(); // no empty last component from a trailing separator
    }
    const std::filesystem::path candidate =
        std::filesystem::weakly_canonical(root / PathFromUTF8(relative).relative_path(), error);
    if (error || !Inside(root, candidate))
    {
        why = "outside the extension folder";
        return false;
    }
    file = UTF8FromPath(candidate);
    return true;
}

std::string PanelContentType(const std::string& file)
{
    static const std::pair<const char*, const char*> kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".json", "application/json"},
        {".xml", "application/xml"},
        {".txt", "text/plain; charset=utf-8"},
        {".svg", "image/svg+xml"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".gif", "image/gif"},
        {".ico", "image/x-icon"},
        {".woff", "font/woff"},
        {".woff2", "font/woff2"},
        {".ttf", "font/ttf"},
        {".otf", "font/otf"},
    };
    std::string extension = UTF8FromPath(PathFromUTF8(file).extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& [suffix, type] : kTypes)
    {
        if (extension == suffix)
        {
            return type;
        }
    }
    return "application/octet-stream";
}
