#include "GDocumentFiles.h"

#include "GFontText.h"

#include <filesystem>
#include <system_error>

namespace typehold
{
namespace
{
constexpr const char* kTemporaryInfix = ".xmp-";
constexpr const char* kTemporarySuffix = ".tmp";
} // namespace

int RemoveLeftoverReplacements(const std::string& document)
{
    std::filesystem::path path;
    TUTF8String name;
    if (!GFontText::PathFromUTF8(document, path) || !GFontText::UTF8FromPath(path.filename(), name))
    {
        return 0;
    }
    const std::string prefix = name + kTemporaryInfix;
    const std::string suffix = kTemporarySuffix;
    std::error_code code;
    std::filesystem::path folder = path.parent_path();
    if (folder.empty())
    {
        folder = ".";
    }
    int removed = 0;
    for (std::filesystem::directory_iterator entry(folder, code), end; !code && entry != end;
         entry.increment(code))
    {
        TUTF8String candidate;
        if (!GFontText::UTF8FromPath(entry->path().filename(), candidate) ||
            candidate.size() <= prefix.size() + suffix.size() ||
            candidate.compare(0, prefix.size(), prefix) != 0 ||
            candidate.compare(candidate.size() - suffix.size(), suffix.size(), suffix) != 0)
        {
            continue;
        }
        std::error_code ignored;
        if (std::filesystem::remove(entry->path(), ignored))
        {
            ++removed;
        }
    }
    return removed;
}
} // namespace typehold
