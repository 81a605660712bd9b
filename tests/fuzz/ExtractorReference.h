#pragma once
// A plain, literal rendering of the extractor's per-chunk scans: naive marker search, every
// search to the end of the chunk, no shortcuts. The fuzz target compares the extractor with it.

#include "GBinaryDocumentFontExtractor.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace reference
{
using Markers = GBinaryDocumentFontExtractor::Markers;
using Names = GBinaryDocumentFontExtractor::TFontNameSet;
using Lists = std::vector<GBinaryDocumentFontExtractor::TFontNameList>;
struct Range
{
    TUInt64 begin, end;
};
constexpr TUInt64 kNone = ~TUInt64(0);

inline TUInt64 Find(const TUInt8* chunk, TUInt64 size, TUInt64 from, std::string_view pattern)
{
    if (from >= size || pattern.empty() || size - from < pattern.size())
    {
        return kNone;
    }
    for (TUInt64 i = from; i + pattern.size() <= size; ++i)
    {
        if (std::memcmp(chunk + i, pattern.data(), pattern.size()) == 0 &&
            (i == from || chunk[i - 1] != 0x5C))
        {
            return i;
        }
    }
    return kNone;
}

// 0: none, 1: found, 2: truncated.
inline int Delimited(const TUInt8* chunk, TUInt64 size, TUInt64 from, std::string_view start,
                     std::string_view end, Range& range)
{
    range = {0, 0};
    const TUInt64 begin = Find(chunk, size, from, start);
    if (begin == kNone)
    {
        return 0;
    }
    const TUInt64 finish = Find(chunk, size, begin + start.size(), end);
    range = {begin, finish == kNone ? begin : finish};
    return finish == kNone ? 2 : 1;
}

inline void Sections(const TUInt8* chunk, TUInt64 size, TUInt64 from, TUInt64 to, const Markers& m,
                     std::vector<Range>& out, bool& truncated)
{
    out.clear();
    truncated = false;
    for (TUInt64 pos = from; pos < to;)
    {
        Range r;
        const int kind = Delimited(chunk, size, pos, m.sectionStart, m.sectionEnd, r);
        if (kind == 2)
        {
            out.push_back({r.begin, r.begin});
            truncated = true;
            return;
        }
        if (kind == 0)
        {
            return;
        }
        if (r.begin < to)
        {
            // Within chunk[B, E) only.
            const TUInt64 name = Find(chunk, r.end, r.begin, m.nameStart);
            if (name != kNone)
            {
                out.push_back({name, r.end});
            }
        }
        pos = r.end + m.sectionEnd.size();
    }
}

inline void NamesIn(const TUInt8* chunk, TUInt64 size, TUInt64 from, TUInt64 to, const Markers& m,
                    std::vector<Range>& out)
{
    out.clear();
    for (TUInt64 pos = from; pos < to;)
    {
        Range r;
        const int kind = Delimited(chunk, size, pos, m.nameStart, m.nameEnd, r);
        if (kind == 2)
        {
            out.push_back({r.begin, r.begin});
            return;
        }
        if (kind == 0 || r.begin >= to)
        {
            return;
        }
        out.push_back(r);
        pos = r.end + m.nameEnd.size();
    }
}

inline std::string Text(const TUInt8* chunk, Range name, const Markers& m)
{
    TUInt64 t = name.begin + m.nameStart.size();
    for (TUInt64 p = t; name.end >= 1 && p < name.end - 1; ++p)
    {
        if (std::memcmp(chunk + p, m.namePrefix.data(), m.namePrefix.size()) == 0)
        {
            t = p + m.namePrefix.size();
            break;
        }
    }
    TUInt64 end = name.end;
    for (TUInt64 i = name.end; i >= t + 1; --i)
    {
        if (chunk[i] >= 0x21 && chunk[i] <= 0x7E && chunk[i] != static_cast<TUInt8>(m.nameEnd[0]))
        {
            end = i + 1;
            break;
        }
    }
    std::u32string characters;
    for (TUInt64 i = t; i < end; ++i)
    {
        if (chunk[i] == 0)
        {
            ++i;
        }
        characters += chunk[i];
    }
    std::string utf8;
    for (char32_t c : characters)
    {
        if (c < 0x80)
        {
            utf8 += static_cast<char>(c);
        }
        else
        {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

inline void GetNames(const TUInt8* chunk, TUInt64 size, TUInt64 from, TUInt64 to, const Markers& m,
                     Names& names, Lists& lists, TUInt64& consumed)
{
    names.clear();
    lists.clear();
    std::vector<Range> sections, ranges;
    bool truncated = false;
    Sections(chunk, size, from, to, m, sections, truncated);
    for (const Range& s : sections)
    {
        lists.emplace_back();
        if (truncated && s.begin == s.end && s.begin > 0)
        {
            consumed = s.begin;
        }
        NamesIn(chunk, size, s.begin, s.end, m, ranges);
        for (const Range& r : ranges)
        {
            names.insert(Text(chunk, r, m));
            lists.back().push_back(Text(chunk, r, m));
        }
    }
}

inline TUInt64 Photoshop(const TUInt8* chunk, TUInt64 size, TUInt64 defaultAdvance, Names& result)
{
    Names names;
    Lists lists;
    TUInt64 consumed = kNone;
    GetNames(chunk, size, 0, size, GBinaryDocumentFontExtractor::kPhotoshopMarkers, names, lists, consumed);
    for (const auto& list : lists)
    {
        for (std::size_t i = 0; i < list.size(); ++i)
        {
            if (list[i] == "AdobeInvisFont")
            {
                if (i == 0)
                {
                    continue;
                }
                break;
            }
            result.insert(list[i]);
        }
    }
    return consumed != kNone ? consumed : defaultAdvance;
}

inline TUInt64 Illustrator(const TUInt8* chunk, TUInt64 size, TUInt64 defaultAdvance, Names& result)
{
    TUInt64 advance = kNone;
    for (const Markers* m : {&GBinaryDocumentFontExtractor::kIllustratorFirstPassMarkers,
                             &GBinaryDocumentFontExtractor::kIllustratorSecondPassMarkers})
    {
        Names names;
        Lists lists;
        TUInt64 consumed = kNone;
        GetNames(chunk, size, 0, size, *m, names, lists, consumed);
        if (!(names.size() == 1 && names.begin()->find("MyriadPro-Regular") != std::string::npos))
        {
            result.insert(names.begin(), names.end());
        }
        advance = advance != kNone ? advance : consumed;
    }
    return advance != kNone ? advance : defaultAdvance;
}

inline TUInt64 AfterEffects(const TUInt8* chunk, TUInt64 size, TUInt64 defaultAdvance, Names& result)
{
    std::vector<Range> outer;
    bool truncated = false;
    Sections(chunk, size, 0, size, GBinaryDocumentFontExtractor::kAfterEffectsOuterMarkers, outer, truncated);
    for (const Range& section : outer)
    {
        Names names;
        Lists lists;
        TUInt64 consumed = kNone;
        GetNames(chunk, size, section.begin, section.end,
                 GBinaryDocumentFontExtractor::kAfterEffectsInnerMarkers, names, lists, consumed);
        bool first = true, myriad = false, ended = false;
        for (const auto& list : lists)
        {
            for (const auto& name : list)
            {
                if (name == "Myriad-Roman")
                {
                    myriad = myriad || first;
                }
                else if (name == "AdobeInvisFont")
                {
                    if (myriad)
                    {
                        result.insert("Myriad-Roman");
                    }
                    ended = true;
                    break;
                }
                else
                {
                    result.insert(name);
                }
            }
            if (ended)
            {
                break;
            }
            first = false;
        }
    }
    return truncated && !outer.empty() && outer.back().begin > 0 ? outer.back().begin : defaultAdvance;
}
} // namespace reference
