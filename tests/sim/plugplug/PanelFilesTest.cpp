// The panel page's files: which request paths name a file of the extension folder.

#include "PanelFiles.h"
#include "HostFiles.h"

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

TEST(PanelFilesTest, HostFilesAreTheFileUrlsOfAnEventAndNameADrivePath)
{
    EXPECT_EQ((std::vector<std::string>{"file:///C:/t/a.tmp", "FILE://Z:/p/b.png"}),
              FileUrlsInEventData(R"(({"messageID":32,"filename":"file:///C:/t/a.tmp","fonts":[)"
                                  R"({"fontID":1,"pngFilename":"FILE://Z:/p/b.png","name":"file"}]}))"));
    EXPECT_EQ(1u, FileUrlsInEventData(R"({"filename":"file:///C:/t/a.tmp"})").size());
    EXPECT_TRUE(FileUrlsInEventData("(file:///C:/t/a.tmp)").empty());
    EXPECT_TRUE(FileUrlsInEventData("({\"filename\":\"file:///C:/t/a.tmp\"").empty());

    std::string path;
    std::string why;
    ASSERT_TRUE(HostFilePathFromUrl("file:///C:/Users/a b/Temp/t1", path, why)) << why;
    EXPECT_EQ("C:\\Users\\a b\\Temp\\t1", path);
    ASSERT_TRUE(HostFilePathFromUrl("file://z:/tmp/%E2%82%AC%20x.png", path, why)) << why;
    EXPECT_EQ("z:\\tmp\\\xE2\x82\xAC x.png", path);
    for (const std::string& url : std::vector<std::string>{
             "file:///C:/t/../s.txt", "file:///C:/t/%2E%2E/s.txt", "file:///C:/..",
             "file:///C:/t/a%5C..%5Cs.txt", "file:///C:/t/a%00", "file:///C:/t/a%2", "file:///C:/t/a%zz",
             "file:///t/a.tmp", "file:/C:/t/a", "http://x/C:/a", "file:///C:", "file:////server/share/a"})
    {
        EXPECT_FALSE(HostFilePathFromUrl(url, path, why)) << url << " -> " << path;
    }
    EXPECT_EQ("image/png", HostFileContentType("C:\\t\\b.PNG"));
    EXPECT_EQ("text/plain; charset=utf-8", HostFileContentType("C:\\t\\png"));
}
