#pragma once
// The CFString object: UTF-16 code units plus their UTF-8 form.

#include "CFInternal.h"

#include <string>

struct __CFString final : cfimpl::CFObject
{
    static constexpr CFTypeID kTypeID = cfimpl::kStringTypeID;

    __CFString(std::u16string chars, bool isMutable, bool isConstant);

    bool Equal(const CFObject& other) const override;
    CFHashCode Hash() const override;
    void Describe(std::string& out, int depth) const override;
    void AppendFormatting(std::string& out) const override;

    // Recomputes the UTF-8 form after a change of the units.
    void Update();
    void Append(const char16_t* units, std::size_t length);
    void Replace(std::size_t location, std::size_t length, const std::u16string& replacement);

    std::u16string mChars;
    // The UTF-8 form; when mUTF8Valid is false the units hold an unpaired surrogate and mUTF8 has
    // U+FFFD in its place.
    std::string mUTF8;
    bool mUTF8Valid = true;
    // Every unit is below 0x80: mUTF8 is also the text in the ASCII-compatible encodings.
    bool mASCII = true;
    const bool mMutable;
};

namespace cfimpl
{
inline const __CFString* AsString(CFTypeRef cf)
{
    return As<__CFString>(cf);
}
CFStringRef CreateString(std::u16string chars, bool isMutable);
} // namespace cfimpl
