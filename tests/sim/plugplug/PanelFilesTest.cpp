// The panel page's files: which request paths name a file of the extension folder.

#include "PanelFiles.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

TEST(PanelFilesTest, RequestsNameFilesBelowTheFolderOnly)
{
    ScratchFolder scratch("panel-files");
    const std::string folder = scratch.MakeFolder("extension");
    scratch.MakeFolder("extension/js");
    scratch.WriteFile("extension/js/main.js", "x");
    scratch.WriteFile("secret.txt", "s");
    const std::filesystem::path root = std::filesystem::canonical(PathFromUTF8(folder));

    std::string file;
    std::string why;
    ASSERT_TRUE(ResolvePanelFile(folder, "/", file, why)) << why;
    EXPECT_EQ(root / "index.html", PathFromUTF8(file));
    ASSERT_TRUE(ResolvePanelFile(folder + "/", "/js/main.js", file, why)) << why;
    EXPECT_EQ(root / "js" / "main.js", PathFromUTF8(file));
    ASSERT_TRUE(ResolvePanelFile(folder, "/js/", file, why));
    EXPECT_EQ(root / "js" / "index.html", PathFromUTF8(file));
    ASSERT_TRUE(ResolvePanelFile(folder, "/js/./main.js", file, why));
    EXPECT_EQ(root / "js" / "main.js", PathFromUTF8(file));

    for (const std::string& path :
         std::vector<std::string>{"/../secret.txt", "/js/../../secret.txt", "/js/..", "/..", "js/main.js", "",
                                  "/js\\..\\..\\secret.txt", "/C:/windows/win.ini", std::string("/a\0b", 4)})
    {
        EXPECT_FALSE(ResolvePanelFile(folder, path, file, why)) << path << " -> " << file;
    }
    EXPECT_FALSE(ResolvePanelFile("", "/index.html", file, why));
    EXPECT_EQ("no extension folder", why);

    // A sibling folder whose name begins like the extension folder's is outside it.
    scratch.MakeFolder("extension-other");
    std::error_code error;
    std::filesystem::create_directory_symlink(PathFromUTF8(scratch.Child("extension-other")),
                                              PathFromUTF8(folder) / "link", error);
    if (!error)
    {
        EXPECT_FALSE(ResolvePanelFile(folder, "/link/x.html", file, why));
        EXPECT_EQ("outside the extension folder", why);
    }
}
