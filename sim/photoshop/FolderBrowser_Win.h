#pragma once
// The system's folder browser ("Browse For Folder") as a user answers it while a plug-in call is
// running: a watcher thread waits for the browser to appear on the host's UI thread, notes its
// title and instruction text, then picks the given folder and presses OK, or presses Cancel.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FolderBrowserAnswer
{
public:
    // An empty folder cancels every browser that opens; otherwise each one is answered with it.
    // Watches the browsers of the calling thread.
    explicit FolderBrowserAnswer(const std::string& folder);
    ~FolderBrowserAnswer();
    FolderBrowserAnswer(const FolderBrowserAnswer&) = delete;
    FolderBrowserAnswer& operator=(const FolderBrowserAnswer&) = delete;

    // Stops watching and returns a line per browser answered, for the transcript.
    std::vector<std::string> Finish();

private:
    void Watch();

    std::string mFolder;
    unsigned long mThreadID = 0;
    std::atomic<bool> mStop{false};
    std::mutex mMutex;
    std::vector<std::string> mLines;
    std::thread mWatcher;
};
