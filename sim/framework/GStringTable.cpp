#include "GStringTable.h"

#include <cstring>

namespace
{
struct GNumberedString
{
    TSInt32 mNumber;
    const char* mText;
};

// Formats carry one %@ each: 452 the document's name, 455 the sub-folder's name, 633 and 634 the
// vault's path.
constexpr GNumberedString kStrings[] = {
    {210, "All Workgroups"},
    {211, "Personal Library"},
    {212, "Team Library"},
    {213, "System Fonts"},
    {214, "Local Fonts"},
    {215, "Font Library"},
    {217, "All Libraries"},
    {219, "Google Fonts"},
    {222, "Adobe Fonts"},
    {357, "Font Manager Update Needed"},
    {358, "The font manager's database was made by a different version of the font manager. Update the font "
          "manager and this plug-in to the same version; font auto-activation is turned off until then."},
    {450, "Collect Fonts for Output"},
    {452, "%@ Fonts"},
    {454, "Collected Fonts"},
    {455, "Choose the destination for collecting fonts. The fonts will be copied into the folder \"%@\" "
          "there."},
    {470, "Make Document Set"},
    {471, "Name of the new set:"},
    {598, "Incompatible Application Version"},
    {599, "This version of the font auto-activation plug-in does not work with this version of the "
          "application. Install the plug-in that comes with your font manager for this version."},
    {600, "Font Manager Not Running"},
    {601, "The font manager is not running, so fonts cannot be activated automatically. Start the font "
          "manager and try again."},
    {602, "Incompatible Font Manager"},
    {603, "The font manager that is running does not match this plug-in's version. Install matching "
          "versions of the font manager and the plug-in; font auto-activation is turned off until then."},
    {609, "Not Logged In"},
    {610, "You are not logged in to the font manager. Log in now?"},
    {611, "You are not logged in to the font manager. Font auto-activation is turned off until you log in."},
    {614, "Font Manager Could Not Be Started"},
    {615, "The font manager stopped and could not be started again. Try again?"},
    {616, "Font Auto-Activation Turned Off"},
    {617, "Font auto-activation is turned off in the plug-in's preferences."},
    {620, "No Workgroups"},
    {621, "You are not a member of any workgroup, so fonts cannot be activated automatically. Ask your "
          "font manager administrator to add you to a workgroup."},
    {622, "Fonts Cannot Be Collected"},
    {623, "You do not have permission to collect the fonts of this document for output."},
    {624, "Some Fonts Not Identified"},
    {625, "Some of the document's fonts could not be found in the font manager; they will not be "
          "collected. Continue?"},
    {626, "Some of the document's fonts could not be identified; only the identified fonts will be "
          "collected. Continue?"},
    {627, "Set Name Too Long"},
    {628, "Set names can be at most 255 characters long. The name has been shortened."},
    {633, "The font vault at \"%@\" is damaged or cannot be read. Font auto-activation is turned off."},
    {634, "The font vault at \"%@\" is in use by another user. Font auto-activation is turned off."},
    {637, "Font Library Could Not Be Started"},
    {638, "The font library stopped and could not be started again. Try again?"},
    {639, "No Font Library"},
    {640, "There is no font library to activate fonts from. Create a library in the font manager and try "
          "again."},
    {644, "Some text layers contain fonts that are missing."},
    {645, "Missing Fonts"},
    {646, "Cancel"},
    {647, "All Workgroups Selected"},
    {649, "A document set is made in one workgroup. Choose a workgroup other than \"All Workgroups\" and "
          "try again."},
    {650, "Adobe Photoshop"},
};

struct GProduct
{
    const char* mPrefix;
    const char* mDisplayName;
};

constexpr GProduct kProducts[] = {
    {"Photoshop", "Adobe Photoshop"}, {"Illustrator", "Adobe Illustrator"},    {"InDesign", "Adobe InDesign"},
    {"InCopy", "Adobe InCopy"},       {"AfterEffects", "Adobe After Effects"},
};

bool IsYear(const TUTF8String& text)
{
    if (text.size() != 4 || text[0] != '2' || text[1] != '0')
    {
        return false;
    }
    for (const char c : text)
    {
        if (c < '0' || c > '9')
        {
            return false;
        }
    }
    return true;
}
} // namespace

const char* GStringTable::Find(TSInt32 number)
{
    for (const GNumberedString& entry : kStrings)
    {
        if (entry.mNumber == number)
        {
            return entry.mText;
        }
    }
    return nullptr;
}

TSInt32 GStringTable::FindNumber(const TUTF8String& text)
{
    for (const GNumberedString& entry : kStrings)
    {
        if (text == entry.mText)
        {
            return entry.mNumber;
        }
    }
    return 0;
}

TUTF8String GStringTable::HostAppDisplayName(const TUTF8String& hostApp)
{
    for (const GProduct& product : kProducts)
    {
        const std::size_t prefixLength = std::strlen(product.mPrefix);
        if (hostApp.compare(0, prefixLength, product.mPrefix) != 0)
        {
            continue;
        }
        const TUTF8String version = hostApp.substr(prefixLength);
        if (version.empty())
        {
            return product.mDisplayName;
        }
        // The Creative Cloud releases before 2020 carried "CC" in their names; later ones only
        // the year.
        if (version.compare(0, 2, "CC") == 0 && IsYear(version.substr(2)))
        {
            const TUTF8String year = version.substr(2);
            return TUTF8String(product.mDisplayName) + (year < "2020" ? " CC " : " ") + year;
        }
        if (IsYear(version))
        {
            return TUTF8String(product.mDisplayName) + " " + version;
        }
        return hostApp;
    }
    return hostApp;
}
