#include "VersionResource.h"

#include <charconv>

namespace
{
// One node of the resource tree: a header (length, value length, type), the key, the value, then
// the children, each starting on a 32-bit boundary of the resource.
struct VersionNode
{
    std::u16string mKey;
    std::vector<std::uint8_t> mValue;
    bool mIsText = false;
    std::vector<VersionNode> mChildren;
};

VersionNode MakeNode(const std::u16string& key, bool isText, std::vector<std::uint8_t> value = {})
{
    VersionNode node;
    node.mKey = key;
    node.mIsText = isText;
    node.mValue = std::move(value);
    return node;
}

void Align(std::vector<std::uint8_t>& out)
{
    while (out.size() % 4 != 0)
    {
        out.push_back(0);
    }
}

void PutWord(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value)
{
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void AppendWord(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendDword(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    AppendWord(out, static_cast<std::uint16_t>(value));
    AppendWord(out, static_cast<std::uint16_t>(value >> 16));
}

void AppendText(std::vector<std::uint8_t>& out, const std::u16string& text)
{
    for (const char16_t c : text)
    {
        AppendWord(out, static_cast<std::uint16_t>(c));
    }
    AppendWord(out, 0);
}

void Write(std::vector<std::uint8_t>& out, const VersionNode& node)
{
    Align(out);
    const std::size_t start = out.size();
    AppendWord(out, 0); // length, patched below
    // A text value's length counts UTF-16 units with the NUL; a binary value's counts bytes.
    AppendWord(out, static_cast<std::uint16_t>(node.mIsText ? node.mValue.size() / 2 : node.mValue.size()));
    AppendWord(out, node.mIsText ? 1 : 0);
    AppendText(out, node.mKey);
    if (!node.mValue.empty())
    {
        Align(out);
        out.insert(out.end(), node.mValue.begin(), node.mValue.end());
    }
    for (const VersionNode& child : node.mChildren)
    {
        Write(out, child);
    }
    PutWord(out, start, static_cast<std::uint16_t>(out.size() - start));
}

std::vector<std::uint8_t> TextValue(const std::u16string& text)
{
    std::vector<std::uint8_t> value;
    AppendText(value, text);
    return value;
}
} // namespace

bool ParseVersionNumbers(const std::string& text, VersionNumbers& version)
{
    version = {0, 0, 0, 0};
    const char* cursor = text.data();
    const char* end = text.data() + text.size();
    for (std::size_t part = 0; part < version.size(); ++part)
    {
        unsigned value = 0;
        const auto result = std::from_chars(cursor, end, value);
        if (result.ec != std::errc() || value > 0xFFFF)
        {
            return false;
        }
        version[part] = static_cast<std::uint16_t>(value);
        cursor = result.ptr;
        if (cursor == end)
        {
            return true;
        }
        if (*cursor != '.' || part + 1 == version.size())
        {
            return false;
        }
        ++cursor;
    }
    return false;
}

std::string FormatVersionNumbers(const VersionNumbers& version)
{
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]) +
           "." + std::to_string(version[3]);
}

std::vector<std::uint8_t>
BuildVersionResource(const VersionNumbers& fileVersion, const VersionNumbers& productVersion,
                     const std::vector<std::pair<std::u16string, std::u16string>>& strings)
{
    VersionNode root = MakeNode(u"VS_VERSION_INFO", false);
    // VS_FIXEDFILEINFO: signature, structure version, file and product versions, flags mask,
    // flags, OS (VOS_NT_WINDOWS32), type (VFT_APP), subtype, date.
    AppendDword(root.mValue, 0xFEEF04BD);
    AppendDword(root.mValue, 0x00010000);
    AppendDword(root.mValue, (static_cast<std::uint32_t>(fileVersion[0]) << 16) | fileVersion[1]);
    AppendDword(root.mValue, (static_cast<std::uint32_t>(fileVersion[2]) << 16) | fileVersion[3]);
    AppendDword(root.mValue, (static_cast<std::uint32_t>(productVersion[0]) << 16) | productVersion[1]);
    AppendDword(root.mValue, (static_cast<std::uint32_t>(productVersion[2]) << 16) | productVersion[3]);
    AppendDword(root.mValue, 0x3F);
    AppendDword(root.mValue, 0);
    AppendDword(root.mValue, 0x00040004);
    AppendDword(root.mValue, 1);
    AppendDword(root.mValue, 0);
    AppendDword(root.mValue, 0);
    AppendDword(root.mValue, 0);

    VersionNode table = MakeNode(u"040904b0", true);
    for (const auto& [name, value] : strings)
    {
        table.mChildren.push_back(MakeNode(name, true, TextValue(value)));
    }
    VersionNode stringInfo = MakeNode(u"StringFileInfo", true);
    stringInfo.mChildren.push_back(std::move(table));

    VersionNode translation = MakeNode(u"Translation", false);
    AppendWord(translation.mValue, 0x0409);
    AppendWord(translation.mValue, 1200);
    VersionNode varInfo = MakeNode(u"VarFileInfo", true);
    varInfo.mChildren.push_back(std::move(translation));

    root.mChildren.push_back(std::move(stringInfo));
    root.mChildren.push_back(std::move(varInfo));

    std::vector<std::uint8_t> out;
    Write(out, root);
    return out;
}
