// The loopback bridge with an HTTP client: the extension folder's files, the refusal of paths
// outside it, the host's events streamed to the page, and the page's events delivered to the
// host's listeners on its user-interface thread.

// httplib brings winsock2.h, which must come before windows.h.
#include <httplib.h>

#include "EventJson.h"
#include "PlugPlugTestSupport.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <mutex>
#include <thread>

namespace
{
class PlugPlugBridgeTest : public EventLibraryTest
{
protected:
    PlugPlugBridgeTest()
    {
        mScratch.MakeFolder("extension");
        mScratch.MakeFolder("extension\\js");
        mScratch.WriteFile("extension\\index.html", "<!doctype html><title>panel</title>");
        mScratch.WriteFile("extension\\js\\main.js", "console.log(1);");
        mScratch.WriteFile("secret.txt", "secret");
        SetEnvironmentVariableW(L"PLUGPLUG_EXTENSION_DIR", PathFromUTF8(mScratch.Child("extension")).c_str());
    }

    ~PlugPlugBridgeTest() override
    {
        if (mLibrary.module != nullptr)
        {
            mLibrary.remove("com.lumorand.PanelToPlugin", Recorder::Listener, &mRecorder);
        }
    }

    // Starts the bridge as the plug-in does, with the panel's launch event; the bridge's port.
    int Launch()
    {
        mLibrary.add("com.lumorand.PanelToPlugin", Recorder::Listener, &mRecorder);
        const PlugPlugEvent launch{"com.lumorand.startpanel", 1, "test", nullptr, ""};
        EXPECT_EQ(0, mLibrary.dispatch(&launch));
        const std::string address = ReadWholeFile(mScratch.Child("bridge.txt"));
        const std::string prefix = "http://127.0.0.1:";
        EXPECT_EQ(0u, address.find(prefix)) << address;
        return std::atoi(address.c_str() + prefix.size());
    }

    EventLibrary mLibrary{TestProgramFolder() / "PlugPlugOwl.dll"};
    Recorder mRecorder;
};
} // namespace

TEST_F(PlugPlugBridgeTest, ServesTheExtensionFolderAndNothingOutsideIt)
{
    const int port = Launch();
    ASSERT_GT(port, 0);
    httplib::Client client("127.0.0.1", port);
    auto page = client.Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(200, page->status);
    EXPECT_EQ("<!doctype html><title>panel</title>", page->body);
    EXPECT_EQ("text/html; charset=utf-8", page->get_header_value("Content-Type"));
    auto script = client.Get("/js/main.js");
    ASSERT_TRUE(script);
    EXPECT_EQ("console.log(1);", script->body);
    EXPECT_EQ("text/javascript; charset=utf-8", script->get_header_value("Content-Type"));
    auto missing = client.Get("/nothing.css");
    ASSERT_TRUE(missing);
    EXPECT_EQ(404, missing->status);
    for (const char* escape : {"/../secret.txt", "/js/%2e%2e/%2e%2e/secret.txt", "/js/..%5c..%5csecret.txt"})
    {
        auto refused = client.Get(escape);
        ASSERT_TRUE(refused) << escape;
        EXPECT_NE(200, refused->status) << escape;
        EXPECT_EQ(std::string::npos, refused->body.find("secret")) << escape;
    }
}

TEST_F(PlugPlugBridgeTest, StreamsTheHostsEventsAndDeliversThePagesOnTheUIThread)
{
    const int port = Launch();
    ASSERT_GT(port, 0);
    const PlugPlugEvent early{"com.lumorand.PluginToPanel", 1, "HTML", nullptr,
                              "({\"messageID\":\"early\"})"};
    EXPECT_EQ(0, mLibrary.dispatch(&early));

    // The page's event stream: every event so far, then the later ones as they come.
    std::mutex mutex;
    std::string stream;
    std::atomic<bool> done{false};
    std::thread reader(
        [&]
        {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(10, 0);
            client.Get("/events",
                       [&](const char* data, std::size_t length)
                       {
                           std::lock_guard<std::mutex> lock(mutex);
                           stream.append(data, length);
                           return stream.find("late") == std::string::npos;
                       });
            done = true;
        });
    const auto streamHas = [&](const char* text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return stream.find(text) != std::string::npos;
    };
    ASSERT_TRUE(PumpUntil([&] { return streamHas("early"); }));
    const PlugPlugEvent late{"com.lumorand.PluginToPanel", 1, "HTML", nullptr, "({\"messageID\":\"late\"})"};
    EXPECT_EQ(0, mLibrary.dispatch(&late));
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 10000));
    reader.join();
    EXPECT_NE(std::string::npos,
              stream.find("id: 1\ndata: {\"type\":\"com.lumorand.startpanel\",\"scope\":1,\"appId\":\"test\","
                          "\"extensionId\":null,\"data\":\"\"}\n\n"))
        << stream;
    EXPECT_NE(
        std::string::npos,
        stream.find("id: 3\ndata: {\"type\":\"com.lumorand.PluginToPanel\",\"scope\":1,\"appId\":\"HTML\","
                    "\"extensionId\":null,\"data\":\"({\\\"messageID\\\":\\\"late\\\"})\"}\n\n"))
        << stream;

    // The page's event reaches the native listener later, on this thread, from the panel.
    httplib::Client client("127.0.0.1", port);
    auto posted =
        client.Post("/dispatch",
                    R"js({"type":"com.lumorand.PanelToPlugin","data":"({\"messageID\":\"fromPage\"})",)js"
                    R"js("extensionId":"forged"})js",
                    "application/json");
    ASSERT_TRUE(posted);
    EXPECT_EQ(200, posted->status);
    EXPECT_EQ("{\"result\":0}", posted->body);
    EXPECT_TRUE(mRecorder.calls.empty()) << "delivered outside the user-interface thread's loop";
    ASSERT_TRUE(PumpUntil([&] { return !mRecorder.calls.empty(); }));
    const Received& call = mRecorder.calls[0];
    EXPECT_EQ(mThread, call.thread);
    EXPECT_EQ("({\"messageID\":\"fromPage\"})", call.data);
    EXPECT_EQ("com.lumorand.panel", call.extensionId);
    EXPECT_EQ("PHXS", call.appId);

    auto malformed = client.Post("/dispatch", "{\"data\":1}", "application/json");
    ASSERT_TRUE(malformed);
    EXPECT_EQ(400, malformed->status);
    EXPECT_NE(std::string::npos, LibraryTranscript().find("bridge: POST /dispatch refused: \"type\" is not"));
}

namespace
{
// A file URL of a scratch file ("file:///Z:/..."), and the URL escaped as one path component
// (as encodeURIComponent does) after the bridge's /host-file/.
std::string FileUrl(const std::string& path, const char* prefix = "file:///")
{
    std::string url = prefix + path;
    std::replace(url.begin(), url.end(), '\\', '/');
    return url;
}

std::string HostFileRequest(const std::string& url)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string path = "/host-file/";
    for (const unsigned char c : url)
    {
        if (std::isalnum(c) || std::strchr("-_.!~*'()", c) != nullptr)
        {
            path += static_cast<char>(c);
        }
        else
        {
            path += {'%', kHex[c >> 4], kHex[c & 15]};
        }
    }
    return path;
}
} // namespace

TEST_F(PlugPlugBridgeTest, ServesTheHostFilesItsEventsNamedAndNoOther)
{
    const int port = Launch();
    ASSERT_GT(port, 0);
    mScratch.MakeFolder("temp");
    const std::string list =
        mScratch.WriteFile("temp\\font list.tmp", "12\tCarlito\tCarlito\t1\tdesktop\t1\n");
    const std::string png = mScratch.WriteFile("temp\\preview.PNG", "\x89PNG\r\n\x1a\nrest");
    const std::string gone = mScratch.Child("temp\\gone.tmp");
    const std::string secret = mScratch.Child("secret.txt");
    const std::string listUrl = FileUrl(list);
    // The plug-in's own form of a URL with a space keeps it; the previews' may escape it.
    const std::string pngUrl = FileUrl(png, "file://");
    const std::string escapedUrl = FileUrl(mScratch.Child("temp\\font%20list.tmp"));
    const std::string dottedUrl = FileUrl(mScratch.Child("temp\\..\\secret.txt"));
    const std::string data = "({\"messageID\":41,\"filename\":\"" + listUrl +
                             "\",\"more\":[{\"pngFilename\":\"" + pngUrl + "\",\"x\":\"" + escapedUrl +
                             "\"},\"" + FileUrl(gone) + "\",\"" + dottedUrl + "\"]})";
    const PlugPlugEvent sent{"com.lumorand.PluginToPanel", 1, "HTML", nullptr, data.c_str()};
    ASSERT_EQ(0, mLibrary.dispatch(&sent));

    httplib::Client client("127.0.0.1", port);
    for (const std::string& url : {listUrl, escapedUrl})
    {
        auto served = client.Get(HostFileRequest(url).c_str());
        ASSERT_TRUE(served) << url;
        EXPECT_EQ(200, served->status) << url;
        EXPECT_EQ("12\tCarlito\tCarlito\t1\tdesktop\t1\n", served->body) << url;
        EXPECT_EQ("text/plain; charset=utf-8", served->get_header_value("Content-Type"));
    }
    auto image = client.Get(HostFileRequest(pngUrl).c_str());
    ASSERT_TRUE(image);
    EXPECT_EQ(200, image->status);
    EXPECT_EQ("image/png", image->get_header_value("Content-Type"));
    EXPECT_EQ(12u, image->body.size());
    auto missing = client.Get(HostFileRequest(FileUrl(gone)).c_str());
    ASSERT_TRUE(missing);
    EXPECT_EQ(404, missing->status);

    // A file the host never named, however the URL is spelt, and a named URL that climbs out.
    for (const std::string& url :
         {FileUrl(secret), FileUrl(secret, "file://"),
          FileUrl(mScratch.Child("temp\\..\\secret.txt"), "file://"),
          FileUrl(mScratch.Child("temp\\%2e%2e\\secret.txt")), listUrl + "/../../secret.txt", dottedUrl,
          listUrl.substr(0, listUrl.size() - 1), std::string("file:///C:/windows/win.ini")})
    {
        auto refused = client.Get(HostFileRequest(url).c_str());
        ASSERT_TRUE(refused) << url;
        EXPECT_EQ(403, refused->status) << url;
        EXPECT_EQ(std::string::npos, refused->body.find("secret")) << url;
    }
    const std::string transcript = LibraryTranscript();
    EXPECT_NE(std::string::npos, transcript.find("bridge: GET host file " + JsonQuoted(FileUrl(secret)) +
                                                 " refused: not a file URL the host sent"))
        << transcript;
    EXPECT_NE(std::string::npos, transcript.find(JsonQuoted(dottedUrl) + " refused: a \"..\" segment"))
        << transcript;
}
