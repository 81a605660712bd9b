#include "TypeholdFonts.h"

namespace typehold
{
bool ReadDocumentFontNames(const std::string& path, std::vector<std::string>& names, std::string& error)
{
    names.clear();
    error = path + ": not implemented yet";
    return false;
}
} // namespace typehold
