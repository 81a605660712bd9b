// The font catalog over folders of real fonts: database IDs that survive restarts, moves and
// folders coming and going, versions of one PostScript name as fonts of their own, unreadable
// files listed as problems, and the ID table file's failures.
#include "GFontIDTable.h"
#include "ScratchFolder.h"
#include "TestFonts.h"
#include "TypeholdFonts.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace testfonts;
using typehold::CatalogFont;
using typehold::FontCatalog;

namespace
{
class FontCatalogTest : public ::testing::Test
{
protected:
    // Copies test fonts of a package into a folder of the scratch folder (made when missing).
    std::string Folder(const std::string& name, const std::string& package,
                       const std::vector<std::string>& files)
    {
        const std::string folder = mScratch.Child(name);
        std::filesystem::create_directories(PathFromUTF8(folder));
        for (const std::string& file : files)
        {
            std::filesystem::copy_file(PathFromUTF8(FontPath(package, file)),
                                       PathFromUTF8(folder + "/" + file),
                                       std::filesystem::copy_options::overwrite_existing);
        }
        return folder;
    }

    // PostScript name -> ID after a build that must succeed.
    std::map<std::string, std::uint32_t> Build(const std::vector<std::string>& folders)
    {
        EXPECT_EQ(0u, mCatalog.Build(folders, mTable));
        std::map<std::string, std::uint32_t> ids;
        std::set<std::uint32_t> distinct;
        for (const CatalogFont& font : mCatalog.Fonts())
        {
            EXPECT_GE(font.databaseID, 1001u);
            EXPECT_TRUE(distinct.insert(font.databaseID).second) << font.databaseID;
            EXPECT_EQ(&font, mCatalog.FindByID(font.databaseID));
            ids[font.face.postScriptName] = font.databaseID;
        }
        return ids;
    }

    ScratchFolder mScratch{"typehold-catalog"};
    const std::string mTable = mScratch.Child("state/font-ids.txt"); // its folder does not exist yet
    FontCatalog mCatalog;
};
} // namespace

TEST_F(FontCatalogTest, IDsSurviveRestartsMovesAndFoldersComingBack)
{
    const std::string carlito = Folder("carlito", "fonts-crosextra-carlito",
                                       {"Carlito-Regular.ttf", "Carlito-Bold.ttf", "Carlito-Italic.ttf"});
    const std::string cantarell =
        Folder("cantarell", "fonts-cantarell", {"Cantarell-Regular.otf", "Cantarell-Bold.otf"});
    const auto first = Build({carlito, cantarell});
    ASSERT_EQ(5u, first.size());
    EXPECT_EQ(3u, mCatalog.FindByFamily("Carlito").size());
    EXPECT_EQ(nullptr, mCatalog.FindByID(1000));
    EXPECT_EQ(first, Build({carlito, cantarell}));
    EXPECT_EQ(first, Build({cantarell, carlito}));

    // A folder goes away and another comes: the new font's ID is a new one.
    const std::string caladea = Folder("caladea", "fonts-crosextra-caladea", {"Caladea-Regular.ttf"});
    const auto without = Build({carlito, caladea});
    EXPECT_TRUE(mCatalog.FindByPostScriptName("Cantarell-Bold").empty());
    EXPECT_EQ(first.at("Carlito"), without.at("Carlito"));
    for (const auto& [name, id] : first)
    {
        EXPECT_GT(without.at("Caladea-Regular"), id) << name;
    }

    // The folder comes back, and a file moves to another folder.
    std::filesystem::create_directories(PathFromUTF8(caladea + "/moved"));
    std::filesystem::rename(PathFromUTF8(carlito + "/Carlito-Bold.ttf"),
                            PathFromUTF8(caladea + "/moved/Bold.ttf"));
    auto back = Build({carlito, cantarell, caladea});
    EXPECT_EQ(without.at("Caladea-Regular"), back.at("Caladea-Regular"));
    back.erase("Caladea-Regular");
    EXPECT_EQ(first, back);
    EXPECT_EQ("Bold.ttf", mCatalog.FindByID(first.at("Carlito-Bold"))->face.fileName);
    EXPECT_FALSE(std::filesystem::exists(PathFromUTF8(mTable + ".new")));
}

TEST_F(FontCatalogTest, AnotherVersionOfAFontIsASecondFont)
{
    const std::string folder = Folder("fonts", "fonts-crosextra-carlito", {"Carlito-Regular.ttf"});
    // The copy: head.fontRevision (2.5) and the version string (2.000) changed, table checksums
    // left stale.
    Font font = ParseFont(ReadWholeFile(folder + "/Carlito-Regular.ttf"));
    PutU32(*font.Table("head"), 4, 0x00028000);
    std::string& name = *font.Table("name");
    for (const std::string& from : {std::string("1.103"), std::string("\0"
                                                                      "1\0.\0"
                                                                      "1\0"
                                                                      "0\0"
                                                                      "3",
                                                                      10)})
    {
        const std::string to = from.size() == 5 ? "2.000"
                                                : std::string("\0"
                                                              "2\0.\0"
                                                              "0\0"
                                                              "0\0"
                                                              "0",
                                                              10);
        for (std::size_t at = name.find(from); at != std::string::npos; at = name.find(from, at))
        {
            name.replace(at, from.size(), to);
        }
    }
    mScratch.WriteFile("fonts/Carlito-2.ttf", WriteFont(font));

    Build({folder});
    const auto versions = mCatalog.FindByPostScriptName("Carlito");
    ASSERT_EQ(2u, versions.size());
    EXPECT_NE(versions[0]->databaseID, versions[1]->databaseID);
    EXPECT_NE(versions[0]->face.checksum, versions[1]->face.checksum);
    EXPECT_EQ((std::set<std::string>{"1.103", "2.000"}),
              (std::set<std::string>{versions[0]->face.version, versions[1]->face.version}));
    const std::uint32_t firstID = versions[0]->databaseID;
    Build({folder});
    EXPECT_EQ(firstID, mCatalog.FindByPostScriptName("Carlito")[0]->databaseID);
}

TEST_F(FontCatalogTest, FilesThatCannotBeUsedAreProblemsNotFonts)
{
    const std::string folder = Folder("mixed", "fonts-cantarell", {"Cantarell-Thin.otf"});
    Folder("mixed/twice", "fonts-cantarell", {"Cantarell-Thin.otf"});
    const std::string good = ReadWholeFile(folder + "/Cantarell-Thin.otf");
    mScratch.WriteFile("mixed/empty.ttf", "");
    mScratch.WriteFile("mixed/half.otf", good.substr(0, good.size() / 2));
    mScratch.WriteFile("mixed/notes.OTF", "not a font\n");
    mScratch.WriteFile("mixed/type1.t1", "%!PS-AdobeFont-1.0: Nimbus 1.00\n");
    mScratch.WriteFile("mixed/readme.txt", "ignored: not a font file name");
    mScratch.MakeFolder("mixed/folder.ttf");

    EXPECT_EQ(0u, mCatalog.Build({folder, mScratch.Child("no-such-folder")}, mTable));
    ASSERT_EQ(1u, mCatalog.Fonts().size());
    const std::vector<std::string>& problems = mCatalog.Problems();
    for (const char* file :
         {"empty.ttf", "half.otf", "notes.OTF", "type1.t1", "folder.ttf", "twice", "no-such-folder"})
    {
        const auto found =
            std::find_if(problems.begin(), problems.end(),
                         [&](const std::string& line) { return line.find(file) != std::string::npos; });
        ASSERT_NE(problems.end(), found) << file;
        EXPECT_NE(std::string::npos, found->find(": ")) << *found;
    }
    EXPECT_EQ(7u, problems.size());
}

TEST_F(FontCatalogTest, IDTableFailuresAndDamage)
{
    const std::string folder =
        Folder("fonts", "fonts-cantarell", {"Cantarell-Light.otf", "Cantarell-Bold.otf"});
    std::vector<typehold::FontFace> faces;
    std::string error;
    ASSERT_TRUE(typehold::ReadFontFile(folder + "/Cantarell-Light.otf", faces, error)) << error;

    // Damaged lines are skipped; the known font keeps its ID; new ones come after next-id.
    char line[64];
    std::snprintf(line, sizeof line, "1200\t0x%08X\tCantarell-Light\n", faces[0].checksum);
    mScratch.MakeFolder("state");
    mScratch.WriteFile("state/font-ids.txt",
                       std::string("garbage\n1300\tnot-a-checksum\tX\n900\t0x1\tLow\n") + "next-id\t5000\n" +
                           line + "1201\t0x1\n");
    auto ids = Build({folder});
    EXPECT_EQ(1200u, ids.at("Cantarell-Light"));
    EXPECT_EQ(5000u, ids.at("Cantarell-Bold"));
    typehold::GFontIDTable table;
    ASSERT_EQ(0u, table.Load(mTable));
    EXPECT_EQ(2u, table.Size());
    std::uint32_t id = 0;
    EXPECT_EQ(0u, table.IDFor("Another", 1, id));
    EXPECT_EQ(5001u, id);

    // An ID table that cannot be read stops the build; one that cannot be written is an error
    // after the scan.
    EXPECT_NE(0u, mCatalog.Build({folder}, mScratch.Child("state")));
    EXPECT_TRUE(mCatalog.Fonts().empty());
    EXPECT_NE(0u, mCatalog.Build({folder}, mScratch.Child("state/font-ids.txt/below")));
    EXPECT_EQ(2u, mCatalog.Fonts().size());
}
