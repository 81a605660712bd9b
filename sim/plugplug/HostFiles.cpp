#include "HostFiles.h"

#include <yajl/yajl_tree.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace
{
struct TreeDeleter
{
    void operator()(yajl_val value) const { yajl_tree_free(value); }
};

bool StartsWithFileScheme(const char* text)
{
    static const char kScheme[] = "file:";
    for (std::size_t i = 0; i + 1 < sizeof kScheme; ++i)
    {
        if (std::tolower(static_cast<unsigned char>(text[i])) != kScheme[i])
        {
            return false;
        }
    }
    return true;
}

void CollectFileUrls(yajl_val value, std::vector<std::string>& urls)
{
    if (YAJL_IS_STRING(value))
    {
        const char* text = YAJL_GET_STRING(value);
        if (StartsWithFileScheme(text))
        {
            urls.emplace_back(text);
        }
    }
    else if (YAJL_IS_OBJECT(value))
    {
        for (std::size_t i = 0; i < value->u.object.len; ++i)
        {
            CollectFileUrls(value->u.object.values[i], urls);
        }
    }
    else if (YAJL_IS_ARRAY(value))
    {
        for (std::size_t i = 0; i < value->u.array.len; ++i)
        {
            CollectFileUrls(value->u.array.values[i], urls);
        }
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
    {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool PercentDecoded(const std::string& text, std::string& decoded)
{
    decoded.clear();
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '%')
        {
            decoded += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0)
        {
            return false;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}
} // namespace

std::vector<std::string> FileUrlsInEventData(const std::string& data)
{
    std::string json = data;
    if (json.size() >= 2 && json.front() == '(' && json.back() == ')')
    {
        json = json.substr(1, json.size() - 2);
    }
    std::vector<std::string> urls;
    std::unique_ptr<yajl_val_s, TreeDeleter> tree(yajl_tree_parse(json.c_str(), nullptr, 0));
    if (tree)
    {
        CollectFileUrls(tree.get(), urls);
    }
    return urls;
}

bool HostFilePathFromUrl(const std::string& url, std::string& path, std::string& why)
{
    std::string rest;
    if (url.size() > 5 && StartsWithFileScheme(url.c_str()))
    {
        // "file:///C:/..." (an empty host) or "file://C:/..." (the drive where the host would be).
        rest = url.compare(5, 3, "///") == 0  ? url.substr(8)
               : url.compare(5, 2, "//") == 0 ? url.substr(7)
                                              : "";
    }
    std::string decoded;
    if (rest.empty() || !PercentDecoded(rest, decoded))
    {
        why = "not a file URL of a drive";
        return false;
    }
    if (decoded.size() < 4 || !std::isalpha(static_cast<unsigned char>(decoded[0])) || decoded[1] != ':' ||
        decoded[2] != '/')
    {
        why = "not a file URL of a drive";
        return false;
    }
    if (decoded.find_first_of(std::string("\\\0", 2)) != std::string::npos)
    {
        why = "a backslash or NUL in the path";
        return false;
    }
    std::size_t start = 3;
    while (start <= decoded.size())
    {
        const std::size_t end = std::min(decoded.find('/', start), decoded.size());
        if (decoded.compare(start, end - start, "..") == 0)
        {
            why = "a \"..\" segment";
            return false;
        }
        start = end + 1;
    }
    std::replace(decoded.begin(), decoded.end(), '/', '\\');
    path = decoded;
    return true;
}

std::string HostFileContentType(const std::string& path)
{
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string png = ".png";
    if (lower.size() >= png.size() && lower.compare(lower.size() - png.size(), png.size(), png) == 0)
    {
        return "image/png";
    }
    return "text/plain; charset=utf-8";
}
