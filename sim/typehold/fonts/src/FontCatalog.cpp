#include "TypeholdFonts.h"

#include "GErrorCodes.h"

namespace typehold
{
TErrorCode FontCatalog::Build(const std::vector<std::string>&, const std::string&)
{
    mFonts.clear();
    mProblems.clear();
    mByID.clear();
    mByPostScriptName.clear();
    mByFamily.clear();
    return CoreErrorCodes::kNotImplemented;
}

const std::vector<CatalogFont>& FontCatalog::Fonts() const
{
    return mFonts;
}

const CatalogFont* FontCatalog::FindByID(std::uint32_t databaseID) const
{
    const auto found = mByID.find(databaseID);
    return found == mByID.end() ? nullptr : &mFonts[found->second];
}

std::vector<const CatalogFont*> FontCatalog::FindByPostScriptName(const std::string& name) const
{
    std::vector<const CatalogFont*> fonts;
    const auto found = mByPostScriptName.find(name);
    if (found != mByPostScriptName.end())
    {
        for (const std::size_t index : found->second)
        {
            fonts.push_back(&mFonts[index]);
        }
    }
    return fonts;
}

std::vector<const CatalogFont*> FontCatalog::FindByFamily(const std::string& family) const
{
    std::vector<const CatalogFont*> fonts;
    const auto found = mByFamily.find(family);
    if (found != mByFamily.end())
    {
        for (const std::size_t index : found->second)
        {
            fonts.push_back(&mFonts[index]);
        }
    }
    return fonts;
}

const std::vector<std::string>& FontCatalog::Problems() const
{
    return mProblems;
}
} // namespace typehold
