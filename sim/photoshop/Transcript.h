#pragma once
// The simulator's record of a run: one line per event, in order, written through to the file at
// once (so a crash leaves everything before it) and echoed to standard output.

#include <cstdio>
#include <mutex>
#include <string>

class Transcript
{
public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Creates or truncates the file (a UTF-8 path). False when it cannot be opened.
    bool Open(const std::string& path);
    void Line(const std::string& text);
    // Standard output only, off by default for the tests of the host.
    void SetEcho(bool echo) { mEcho = echo; }
    std::size_t LineCount() const;

private:
    mutable std::mutex mMutex;
    std::FILE* mpFile = nullptr;
    bool mEcho = false;
    std::size_t mLineCount = 0;
};
