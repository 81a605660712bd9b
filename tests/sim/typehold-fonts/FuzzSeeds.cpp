// Writes the font reader's fuzzing seeds from one real font: a small font keeping its name, head
// and OS/2 tables (names without the long copyright and license texts) and the start of its
// other tables, and a collection of two such faces, the second with Mac names only.
//   typehold_fuzz_seeds FONT OUTDIR
#include "TestFonts.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

using namespace testfonts;

namespace
{
// The name table with only the records of the given name IDs.
std::string KeepNames(const std::string& name, const std::set<std::uint16_t>& ids)
{
    std::string records;
    std::string strings;
    const std::size_t storage = U16(name, 4);
    for (std::size_t record = 6; record < 6 + 12 * std::size_t(U16(name, 2)); record += 12)
    {
        if (ids.count(U16(name, record + 6)) != 0)
        {
            std::string kept = name.substr(record, 12);
            PutU16(kept, 10, static_cast<std::uint16_t>(strings.size()));
            strings += name.substr(storage + U16(name, record + 10), U16(name, record + 8));
            records += kept;
        }
    }
    std::string table(6, '\0');
    PutU16(table, 2, static_cast<std::uint16_t>(records.size() / 12));
    PutU16(table, 4, static_cast<std::uint16_t>(6 + records.size()));
    return table + records + strings;
}

bool Write(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: typehold_fuzz_seeds FONT OUTDIR\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12)
    {
        std::fprintf(stderr, "typehold_fuzz_seeds: cannot read %s\n", argv[1]);
        return 1;
    }
    Font font = ParseFont(bytes);
    for (auto& [tag, table] : font.tables)
    {
        table = tag == "name"                      ? KeepNames(table, {1, 2, 4, 5, 6, 8, 16, 17})
                : (tag == "head" || tag == "OS/2") ? table
                                                   : table.substr(0, 64);
    }
    Font macOnly = font;
    std::string& name = *macOnly.Table("name");
    for (std::size_t record = 6; record < 6 + 12 * std::size_t(U16(name, 2)); record += 12)
    {
        if (U16(name, record) == 3)
        {
            PutU16(name, record, 7);
        }
    }
    const std::string folder = argv[2];
    return Write(folder + "/seed-small-font", WriteFont(font)) &&
                   Write(folder + "/seed-collection", WriteCollection({font, macOnly}))
               ? 0
               : 1;
}
