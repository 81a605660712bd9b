#include "FontManagerInterface.h"
#include "GLogger.h"

namespace
{
bool CompareVersionTexts(const TUTF8String& a, const TUTF8String& b)
{
    if (a == b)
    {
        return true;
    }
    if (a.empty() || b.empty())
    {
        return false;
    }
    if (a == "1.0.0.0" || b == "1.0.0.0")
    {
        return true;
    }
    // The first three components and their separators decide; what follows the third "." does
    // not matter.
    std::size_t i = 0;
    int dots = 0;
    for (; i < a.size() && i < b.size(); ++i)
    {
        if (a[i] != b[i])
        {
            return false;
        }
        if (a[i] == '.' && ++dots == 3)
        {
            return true;
        }
    }
    // The shorter text is a prefix of the longer: compatible when it ends at a whole component.
    const TUTF8String& longer = a.size() > b.size() ? a : b;
    return longer[i] == '.';
}
} // namespace

bool FontManagerInterface::VersionsAreCompatible(const TUTF8String& libraryVersion,
                                                 const TUTF8String& pluginVersion)
{
    const bool compatible = CompareVersionTexts(libraryVersion, pluginVersion);
    TraceLog(0, "%s('%s', '%s') returning %d", "VersionsAreCompatible", libraryVersion.c_str(),
             pluginVersion.c_str(), compatible ? 1 : 0);
    return compatible;
}
