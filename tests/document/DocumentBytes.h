#pragma once
// Byte forms of the font data the extractor looks for, for files built by tests and benchmarks.

#include <string>
#include <vector>

// The UTF-16BE form of ASCII text, with its byte-order mark, as text engines write names.
inline std::string Utf16(const std::string& ascii)
{
    std::string out = "\xFE\xFF";
    for (char c : ascii)
    {
        out += '\0';
        out += c;
    }
    return out;
}

// A Photoshop text-engine font set.
inline std::string FontSet(const std::vector<std::string>& names)
{
    std::string out = "/FontSet [\n";
    for (const std::string& name : names)
    {
        out += "\t<<\n\t\t/Name (" + Utf16(name) + ")\n\t\t/Script 0\n\t>>\n";
    }
    return out + "]\n";
}

// A PDF font descriptor, with or without a blank after /FontName.
inline std::string FontDescriptor(const std::string& name, bool blank)
{
    return "<< /Type /FontDescriptor /FontName" + std::string(blank ? " /" : "/") + name + " /Flags 32 >>\n";
}

// An After Effects outer section holding one inner section per list.
inline std::string AfterEffectsSection(const std::vector<std::vector<std::string>>& lists)
{
    std::string out = ">> /0 << /1 << /0 [";
    for (const auto& list : lists)
    {
        out += " << /99 /CoolTypeFont /0 << ";
        for (const std::string& name : list)
        {
            out += "/0 (" + Utf16(name) + ") /1 0 ";
        }
        out += ">> >>";
    }
    return out + " ] >> ";
}
