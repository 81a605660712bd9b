#pragma once
// Preview images drawn with GDI and written as PNG files with the Windows Imaging Component: the
// font file is added to the core process alone (FR_PRIVATE) while its image is drawn, the face is
// chosen by its full name (checked against the face GDI picked), else by its family, weight and
// slant, and the text is drawn in black, anti-aliased, into a DIB section. The PNG holds the text
// as its alpha channel (black ink on a transparent background), so that a panel of any colour can
// show it.

#include "GTypeholdEngine.h"

class GGdiPreviewRenderer final : public typehold::GPreviewRenderer
{
public:
    bool Render(const typehold::GPreviewImage& image, std::string& error) override;
};
