#include "CoreProcessLauncher.h"
#include "GStringEncodings.h"

#include <cstring>

bool ExtractLaunchInfoValue(const TUTF8String& text, const char* key, TUTF8String& outValue)
{
    outValue.clear();
    if (key == nullptr || *key == '\0')
    {
        return false;
    }
    // The file's text ends at its first NUL.
    const std::size_t textEnd = text.find('\0');
    const std::string_view view(text.data(), textEnd == TUTF8String::npos ? text.size() : textEnd);

    const std::size_t keyPosition = view.find(key);
    if (keyPosition == std::string_view::npos)
    {
        return false;
    }
    const std::size_t equals = view.find('=', keyPosition);
    if (equals == std::string_view::npos)
    {
        return false;
    }
    std::size_t end = view.find('\r', keyPosition);
    if (end == std::string_view::npos)
    {
        end = view.find('\n', keyPosition);
    }
    if (end == std::string_view::npos)
    {
        end = view.size();
    }
    if (end <= equals)
    {
        return false;
    }
    outValue.assign(view.substr(equals + 1, end - equals - 1));
    return true;
}

void ParseLaunchInfoText(const TUTF8String& text, TUTF8String& outCorePath, TUTF8String& outArguments)
{
    ExtractLaunchInfoValue(text, kLaunchInfoPathKey, outCorePath);
    ExtractLaunchInfoValue(text, kLaunchInfoArgumentsKey, outArguments);
}

bool ProcessNameMatches(const TUTF8String& executableBaseName, const TUTF8String& wantedName)
{
    if (executableBaseName.empty() || wantedName.empty())
    {
        return false;
    }
    const TUTF8String baseName = OSMakeLowerCaseUTF8String(executableBaseName);
    const TUTF8String wanted = OSMakeLowerCaseUTF8String(wantedName);
    if (baseName.empty() || wanted.empty())
    {
        return false;
    }
    if (baseName == wanted)
    {
        return true;
    }
    return wanted.find('.') == TUTF8String::npos && baseName == wanted + ".exe";
}

TUTF8String MakeLaunchCommandLine(const TUTF8String& executablePath, const TUTF8String& arguments)
{
    return "\"" + executablePath + "\" " + arguments;
}

TUTF8String FolderOfWindowsPath(const TUTF8String& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    if (separator == TUTF8String::npos)
    {
        return TUTF8String();
    }
    return path.substr(0, separator + 1);
}
