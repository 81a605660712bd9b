#include "AliasRecord.h"

std::vector<std::uint8_t> BuildAliasRecord(const std::string& narrowPath, const std::u16string& widePath)
{
    std::vector<std::uint8_t> record(narrowPath.begin(), narrowPath.end());
    record.push_back(0);
    if (record.size() % 2 != 0)
    {
        record.push_back(0);
    }
    for (const char16_t unit : widePath)
    {
        record.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        record.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    record.insert(record.end(), 4, 0); // the path's terminator, then the empty string
    return record;
}

std::string StaleNarrowPath(const std::string& narrowPath)
{
    const std::size_t separator = narrowPath.find_last_of("\\/");
    const std::size_t start = separator == std::string::npos ? 0 : separator + 1;
    std::string stale = narrowPath;
    for (std::size_t i = start; i < stale.size(); ++i)
    {
        stale[i] = '?';
    }
    return stale;
}
