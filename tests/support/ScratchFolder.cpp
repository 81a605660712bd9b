#include "ScratchFolder.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

std::filesystem::path PathFromUTF8(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string UTF8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

ScratchFolder::ScratchFolder(const std::string& name)
    : mPath(std::filesystem::absolute(std::filesystem::current_path() /
                                      ("scratch-" + name + "-" + std::to_string(getpid()))))
{
    std::filesystem::remove_all(mPath);
    std::filesystem::create_directories(mPath);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}

std::string ScratchFolder::Child(const std::string& utf8Name) const
{
    return UTF8FromPath(mPath / PathFromUTF8(utf8Name));
}

std::string ScratchFolder::WriteFile(const std::string& utf8Name, const std::string& bytes) const
{
    const std::filesystem::path path = mPath / PathFromUTF8(utf8Name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
    {
        throw std::runtime_error("cannot write " + UTF8FromPath(path));
    }
    return UTF8FromPath(path);
}

std::string ScratchFolder::MakeFolder(const std::string& utf8Name) const
{
    const std::filesystem::path path = mPath / PathFromUTF8(utf8Name);
    std::filesystem::create_directories(path);
    return UTF8FromPath(path);
}

void ScratchFolder::Append(const std::string& utf8Path, const std::string& bytes)
{
    std::ofstream out(PathFromUTF8(utf8Path), std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
    {
        throw std::runtime_error("cannot append to " + utf8Path);
    }
}

void ScratchFolder::Resize(const std::string& utf8Path, std::uintmax_t size)
{
    std::filesystem::resize_file(PathFromUTF8(utf8Path), size);
}

std::string ReadWholeFile(const std::string& utf8Path)
{
    std::ifstream in(PathFromUTF8(utf8Path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
