#include "GFrameworkPlatform.h"

TUTF8String GFrameworkPlatform::JoinPath(const TUTF8String& folder, const TUTF8String& name)
{
    if (folder.empty())
    {
        return name;
    }
    const char last = folder.back();
    if (last == '/' || last == PathSeparator())
    {
        return folder + name;
    }
    return folder + PathSeparator() + name;
}
