// The panel's request/reply round trip through the extension event library's loopback bridge,
// as the panel page makes it: POST /dispatch of message 16, the plug-in's HTML panel answering
// on the user-interface thread, the reply arriving on the page's event stream. The baseline,
// measured in the same run: a bare loopback HTTP echo (cpp-httplib) of a request and an answer
// of the same sizes. Printed: the median and the best of each, and the ratio of the medians (the
// goal: at most 1.5).
//
// Runs under Wine from the win64 build's bin folder (the event library beside it):
//   cmake/wine-run build/win64/wine-prefix build/win64/bin/panel_round_trip_bench.exe [ROUNDS]

// httplib brings winsock2.h, which must come before windows.h. Small messages go at once, as in
// the bridge.
#define CPPHTTPLIB_TCP_NODELAY true
#include <httplib.h>
// The panel's SendMessage, not the window function's A/W macro (windows.h came with httplib).
#undef SendMessage

#include "FakePanelHost.h"
#include "HTMLPanel.h"
#include "PlugPlugLibrary.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

const std::string kRequest = R"({"type":"com.lumorand.PanelToPlugin","data":"{\"messageID\":16}"})";

struct GTimes
{
    std::vector<double> micros;
    double Median()
    {
        std::sort(micros.begin(), micros.end());
        return micros.empty() ? 0 : micros[micros.size() / 2];
    }
    double Best() const { return micros.empty() ? 0 : *std::min_element(micros.begin(), micros.end()); }
};

// Counts the replies on the page's event stream.
class GReplyCounter
{
public:
    void Add(const char* data, std::size_t length)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mText.append(data, length);
        std::size_t at = 0;
        while ((at = mText.find("isWindows", at)) != std::string::npos)
        {
            ++mCount;
            at += 9;
        }
        mText.erase(0, mText.size() > 16 ? mText.size() - 16 : 0);
        mChanged.notify_all();
    }
    bool WaitFor(int count)
    {
        std::unique_lock<std::mutex> lock(mMutex);
        return mChanged.wait_for(lock, std::chrono::seconds(10), [&] { return mCount >= count; });
    }

private:
    std::mutex mMutex;
    std::condition_variable mChanged;
    std::string mText;
    int mCount = 0;
};

// Keeps the user-interface thread's messages flowing until done.
void Pump(const std::atomic<bool>& done)
{
    while (!done)
    {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string bridgeFile = std::string(folder) + "panel-round-trip-bridge.txt";
    DeleteFileA(bridgeFile.c_str());
    SetEnvironmentVariableA("PLUGPLUG_BRIDGE_FILE", bridgeFile.c_str());

    FakePanelHost host; // an enabled plug-in, connected
    PlugPlugLibrary& library = PlugPlugLibrary::GetSharedInstance();
    if (library.Load() != 0)
    {
        std::fprintf(stderr, "no event library beside the program\n");
        return 1;
    }
    HTMLPanel panel(&library);
    if (panel.RegisterHandler() != 0)
    {
        return 1;
    }
    csxs::event::Event launch{"com.lumorand.startpanel", 1, "test", nullptr, ""};
    library.DispatchEvent(launch);
    const std::string address = ReadFile(bridgeFile);
    const int port = std::atoi(address.c_str() + std::string("http://127.0.0.1:").size());
    if (port <= 0)
    {
        std::fprintf(stderr, "the bridge did not start\n");
        return 1;
    }

    // Through the bridge.
    GTimes bridge;
    GReplyCounter replies;
    std::atomic<bool> done{false};
    std::thread stream(
        [&]
        {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(60, 0);
            client.Get("/events",
                       [&](const char* data, std::size_t length)
                       {
                           replies.Add(data, length);
                           return !done;
                       });
        });
    std::thread page(
        [&]
        {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            for (int round = 0; round < rounds + 20; ++round)
            {
                const auto start = Clock::now();
                auto posted = client.Post("/dispatch", kRequest, "application/json");
                if (!posted || posted->status != 200 || !replies.WaitFor(round + 1))
                {
                    std::fprintf(stderr, "round %d failed\n", round);
                    break;
                }
                if (round >= 20) // the first rounds warm the connection up
                {
                    bridge.micros.push_back(
                        std::chrono::duration<double, std::micro>(Clock::now() - start).count());
                }
            }
            done = true;
        });
    Pump(done);
    page.join();
    // The stream ends with the next event it sees.
    panel.SendMessage("({\"messageID\":0})");
    std::atomic<bool> streamEnded{false};
    std::thread ender(
        [&]
        {
            stream.join();
            streamEnded = true;
        });
    Pump(streamEnded);
    ender.join();

    // A bare echo of the same sizes.
    const std::string answer =
        "id: 1\ndata: {\"type\":\"com.lumorand.PluginToPanel\",\"scope\":1,\"appId\":\"HTML\","
        "\"extensionId\":null,\"data\":\"({\\\"messageID\\\":16,\\\"isWindows\\\":true})\"}\n\n";
    GTimes echo;
    httplib::Server server;
    server.Post("/echo", [&](const httplib::Request&, httplib::Response& response)
                { response.set_content(answer, "text/plain"); });
    const int echoPort = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    {
        httplib::Client client("127.0.0.1", echoPort);
        client.set_keep_alive(true);
        for (int round = 0; round < rounds + 20; ++round)
        {
            const auto start = Clock::now();
            auto posted = client.Post("/echo", kRequest, "application/json");
            if (!posted || posted->body != answer)
            {
                std::fprintf(stderr, "echo round %d failed\n", round);
                break;
            }
            if (round >= 20)
            {
                echo.micros.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            }
        }
    }
    server.stop();
    serving.join();

    const double bridgeMedian = bridge.Median();
    const double echoMedian = echo.Median();
    std::printf("panel request 16 -> reply through the bridge: median %.0f us, best %.0f us (%zu rounds)\n",
                bridgeMedian, bridge.Best(), bridge.micros.size());
    std::printf("bare loopback HTTP echo of the same sizes:     median %.0f us, best %.0f us (%zu rounds)\n",
                echoMedian, echo.Best(), echo.micros.size());
    if (echoMedian > 0)
    {
        std::printf("ratio of the medians: %.2f (goal: at most 1.5)\n", bridgeMedian / echoMedian);
    }
    return bridge.micros.size() == static_cast<std::size_t>(rounds) ? 0 : 1;
}
