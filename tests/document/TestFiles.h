#pragma once
// A scratch folder for one test, removed with everything in it at the end. Paths are full paths
// in UTF-8, as the extractor takes them.

#include "GTypes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

inline std::string Utf8Path(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

class TempFolder
{
public:
    TempFolder()
    {
        static std::atomic<int> sCounter{0};
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        mPath = std::filesystem::temp_directory_path() /
                ("portolan-" + std::string(test != nullptr ? test->name() : "test") + "-" +
                 std::to_string(sCounter++));
        std::filesystem::remove_all(mPath);
        std::filesystem::create_directories(mPath);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path(const std::string& name) const { return Utf8Path(mPath / name); }

    std::string Write(const std::string& name, const std::string& content) const
    {
        std::ofstream out(mPath / name, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        EXPECT_TRUE(out.good()) << name;
        return Path(name);
    }

    static void Append(const std::string& path, const std::string& content)
    {
        std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::app);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        EXPECT_TRUE(out.good()) << path;
    }

    // Extends (sparse where the file system allows) or shortens a file.
    static void Resize(const std::string& path, TUInt64 size)
    {
        std::filesystem::resize_file(PathFromUtf8(path), size);
    }

    std::string MakeFolder(const std::string& name) const
    {
        std::filesystem::create_directories(mPath / name);
        return Path(name);
    }

private:
    std::filesystem::path mPath;
};
