#include "TypeholdFonts.h"

namespace typehold
{
bool ReadFontFile(const std::string& path, std::vector<FontFace>& faces, std::string& error)
{
    faces.clear();
    error = path + ": not implemented yet";
    return false;
}
} // namespace typehold
