#include "Transcript.h"

#include <filesystem>

Transcript::~Transcript()
{
    if (mpFile != nullptr)
    {
        std::fclose(mpFile);
    }
}

bool Transcript::Open(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (mpFile != nullptr)
    {
        std::fclose(mpFile);
    }
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
#ifdef _WIN32
    mpFile = _wfopen(file.c_str(), L"wb");
#else
    mpFile = std::fopen(file.c_str(), "wb");
#endif
    return mpFile != nullptr;
}

void Transcript::Line(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mMutex);
    ++mLineCount;
    if (mpFile != nullptr)
    {
        std::fwrite(text.data(), 1, text.size(), mpFile);
        std::fputc('\n', mpFile);
        std::fflush(mpFile);
    }
    if (mEcho)
    {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

std::size_t Transcript::LineCount() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mLineCount;
}
