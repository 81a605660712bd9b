#pragma once
// A folder of a test's own for the files it writes, created in the working directory and removed
// with everything in it at the end. (The win64 tests run under Wine, whose temp folder is inside
// the Wine prefix; a folder of the test's own keeps the files beside the build.)

#include <cstdint>
#include <filesystem>
#include <string>

// UTF-8 text and file-system paths, both ways (wide paths on Windows).
std::filesystem::path PathFromUTF8(const std::string& utf8);
std::string UTF8FromPath(const std::filesystem::path& path);

class ScratchFolder
{
public:
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return mPath; }
    // The full path of a name in the folder, in UTF-8.
    std::string Child(const std::string& utf8Name) const;
    // Writes the bytes into a file of the folder (created or replaced); returns its full path.
    std::string WriteFile(const std::string& utf8Name, const std::string& bytes) const;
    // Creates a folder in the folder; returns its full path.
    std::string MakeFolder(const std::string& utf8Name) const;

    // Appends bytes to a file.
    static void Append(const std::string& utf8Path, const std::string& bytes);
    // Extends (sparse where the file system allows) or shortens a file.
    static void Resize(const std::string& utf8Path, std::uintmax_t size);

private:
    std::filesystem::path mPath;
};

// The bytes of a file, read without the code under test.
std::string ReadWholeFile(const std::string& utf8Path);
