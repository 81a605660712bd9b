// The loopback bridge between the host's events and the panel page in a browser: an HTTP server
// on 127.0.0.1 (port chosen by the system) that serves the extension folder's files, streams
// every host-side event to the page (GET /events, server-sent events) and takes the page's
// events (POST /dispatch) to the host's user-interface thread; it also serves the host's files
// whose file URLs the host side sent the panel (GET /host-file/...). See README.md.
//
// Threads: the server's own thread (listening, then its pool of workers) and the caller's. The
// server thread holds a reference to the library for as long as it runs, and drops it as it
// ends (FreeLibraryAndExitThread): a FreeLibrary of the host never unloads code that still
// runs, and nothing is ever joined inside the loader lock.

#include "HostFiles.h"
#include "PanelFiles.h"
#include "StandIn_Win.h"

// winsock2.h before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

// httplib starts Windows sockets in a static object for as long as the library is loaded. The
// bridge starts them itself, only while it runs, so that the host's check that its own sockets
// stay started is blurred by ours only then: the static object's start is made to fail, and it
// then never cleans up either.
#define WSAStartup(version, data) WSASYSNOTREADY
// The page's requests and their replies are small and come one after another: sent at once, not
// held back for coalescing.
#define CPPHTTPLIB_TCP_NODELAY true
#include <httplib.h>
#undef WSAStartup

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

namespace
{
struct Bridge
{
    httplib::Server server;
    std::atomic<bool> stopping{false};
    HANDLE thread = nullptr;
    int port = 0;
    std::string folder;
};

std::mutex sBridgeMutex;
Bridge* sBridge = nullptr; // the running bridge; its thread deletes it

// The host-side events since the library was loaded, as JSON, for the page's event stream.
struct EventLog
{
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
    // The file URLs in the data of those events: the host's files the page may read.
    std::set<std::string> fileUrls;
};

// Made as the library loads and deleted only when it is unloaded, never at process exit: the
// process's other threads are then ended wherever they were, maybe inside a lock of the
// threading runtime, and destroying the condition variable would wait on that lock forever.
EventLog* sLog = new EventLog;

EventLog& Log()
{
    return *sLog;
}

HMODULE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

std::wstring Wide(const std::string& text)
{
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// The bridge file: %PLUGPLUG_BRIDGE_FILE%, else plugplug-bridge.txt beside the transcript; one
// line, the bridge's address. Written whole under a temporary name, then renamed.
void WriteBridgeFile(const std::string& address)
{
    std::string path = StandInEnvironment("PLUGPLUG_BRIDGE_FILE");
    if (path.empty())
    {
        const std::string transcript = StandInEnvironment("PLUGPLUG_TRANSCRIPT");
        const std::size_t slash = transcript.find_last_of("\\/");
        if (transcript.empty() || slash == std::string::npos)
        {
            return;
        }
        path = transcript.substr(0, slash + 1) + "plugplug-bridge.txt";
    }
    const std::wstring temporary = Wide(path + ".tmp");
    {
        std::ofstream out(temporary.c_str(), std::ios::binary | std::ios::trunc);
        out << address << "\n";
    }
    if (!MoveFileExW(temporary.c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING))
    {
        StandInRecord("cannot write the bridge file " + JsonQuoted(path));
        return;
    }
    StandInRecord("bridge file " + JsonQuoted(path));
}

void SendJson(httplib::Response& response, int status, const std::string& body)
{
    response.status = status;
    response.set_content(body, "application/json");
}

void ServeEvents(const Bridge* bridge, const httplib::Request& request, httplib::Response& response)
{
    // A page that reconnects says the last event it had; a new one gets every event so far.
    std::size_t next = 0;
    if (request.has_header("Last-Event-ID"))
    {
        next = static_cast<std::size_t>(
            std::strtoull(request.get_header_value("Last-Event-ID").c_str(), nullptr, 10));
    }
    StandInRecord("bridge: event stream opened from event " + std::to_string(next + 1));
    response.set_header("Cache-Control", "no-cache");
    auto opened = std::make_shared<bool>(false);
    response.set_chunked_content_provider(
        "text/event-stream",
        [bridge, next, opened](std::size_t, httplib::DataSink& sink) mutable
        {
            std::string text;
            if (!*opened)
            {
                *opened = true;
                text = ": event stream of the host's events\n\n";
            }
            {
                EventLog& log = Log();
                std::unique_lock<std::mutex> lock(log.mutex);
                log.changed.wait_for(lock, std::chrono::milliseconds(200),
                                     [&] { return next < log.events.size() || bridge->stopping; });
                for (; next < log.events.size(); ++next)
                {
                    text += "id: " + std::to_string(next + 1) + "\ndata: " + log.events[next] + "\n\n";
                }
            }
            if (bridge->stopping)
            {
                sink.done();
                return false;
            }
            return text.empty() ? sink.is_writable() : sink.write(text.data(), text.size());
        });
}

void ServeDispatch(const httplib::Request& request, httplib::Response& response)
{
    OwnedEvent event;
    std::string error;
    if (!EventFromPanelJson(request.body, event, error))
    {
        StandInRecord("bridge: POST /dispatch refused: " + error);
        SendJson(response, 400, "{\"error\":" + JsonQuoted(error) + "}");
        return;
    }
    event.hasExtensionId = true;
    event.extensionId = StandInPanelExtensionId();
    if (!StandInPostDelivery(event))
    {
        StandInRecord("bridge: panel event " + JsonQuoted(event.type) + " not delivered: no event window");
        SendJson(response, 503, "{\"error\":\"the host has no event window\"}");
        return;
    }
    StandInRecord("bridge: panel event " + JsonQuoted(event.type) + " extensionId " +
                  JsonQuoted(event.extensionId) + " data " + JsonQuoted(event.data) + " posted");
    SendJson(response, 200, "{\"result\":0}");
}

// The file's content as the response, or 404 for a missing file or a folder.
void SendFile(const std::string& file, const std::string& type, httplib::Response& response)
{
    std::ifstream in(Wide(file).c_str(), std::ios::binary);
    const DWORD attributes = GetFileAttributesW(Wide(file).c_str());
    if (!in || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        response.status = 404;
        response.set_content("not found\n", "text/plain; charset=utf-8");
        return;
    }
    std::ostringstream content;
    content << in.rdbuf();
    response.set_content(content.str(), type.c_str());
}

void ServeFile(const Bridge* bridge, const httplib::Request& request, httplib::Response& response)
{
    std::string file;
    std::string why;
    if (!ResolvePanelFile(bridge->folder, request.path, file, why))
    {
        StandInRecord("bridge: GET " + JsonQuoted(request.path) + " refused: " + why);
        response.status = 403;
        response.set_content("refused: " + why + "\n", "text/plain; charset=utf-8");
        return;
    }
    SendFile(file, PanelContentType(file), response);
}

// GET /host-file/<the URL, escaped as one path component>: the file a file URL names, when the
// host side sent that very URL in an event's data.
void ServeHostFile(const httplib::Request& request, httplib::Response& response)
{
    static const std::string kPrefix = "/host-file/";
    const std::string url = request.path.substr(kPrefix.size()); // the server decoded the escapes
    std::string path;
    std::string why;
    bool sent = false;
    {
        EventLog& log = Log();
        std::lock_guard<std::mutex> lock(log.mutex);
        sent = log.fileUrls.count(url) != 0;
    }
    if (!sent)
    {
        why = "not a file URL the host sent";
    }
    if (!sent || !HostFilePathFromUrl(url, path, why))
    {
        StandInRecord("bridge: GET host file " + JsonQuoted(url) + " refused: " + why);
        response.status = 403;
        response.set_content("refused: " + why + "\n", "text/plain; charset=utf-8");
        return;
    }
    response.set_header("Cache-Control", "no-cache");
    SendFile(path, HostFileContentType(path), response);
}

DWORD WINAPI BridgeThread(void* parameter)
{
    auto* bridge = static_cast<Bridge*>(parameter);
    bridge->server.listen_after_bind(); // until stopped; its workers are joined before it returns
    delete bridge;
    WSACleanup();
    StandInRecord("bridge stopped");
    FreeLibraryAndExitThread(ThisModule(), 0);
}
} // namespace

void BridgePublish(const OwnedEvent& event)
{
    std::vector<std::string> urls = FileUrlsInEventData(event.data);
    EventLog& log = Log();
    {
        std::lock_guard<std::mutex> lock(log.mutex);
        log.events.push_back(EventToJson(event));
        log.fileUrls.insert(std::make_move_iterator(urls.begin()), std::make_move_iterator(urls.end()));
    }
    log.changed.notify_all();
}

bool BridgeStart()
{
    std::lock_guard<std::mutex> lock(sBridgeMutex);
    if (sBridge != nullptr)
    {
        StandInRecord("bridge already listening on port " + std::to_string(sBridge->port));
        return true;
    }
    WSADATA data{};
    const int started = WSAStartup(MAKEWORD(2, 2), &data);
    if (started != 0)
    {
        StandInRecord("bridge not started: WSAStartup error " + std::to_string(started));
        return false;
    }
    auto bridge = std::make_unique<Bridge>();
    bridge->folder = StandInEnvironment("PLUGPLUG_EXTENSION_DIR");
    Bridge* self = bridge.get();
    bridge->server.set_keep_alive_timeout(1);
    bridge->server.Get("/events", [self](const httplib::Request& request, httplib::Response& response)
                       { ServeEvents(self, request, response); });
    bridge->server.Post("/dispatch", [](const httplib::Request& request, httplib::Response& response)
                        { ServeDispatch(request, response); });
    bridge->server.Get("/host-file/.+", [](const httplib::Request& request, httplib::Response& response)
                       { ServeHostFile(request, response); });
    bridge->server.Get(".*", [self](const httplib::Request& request, httplib::Response& response)
                       { ServeFile(self, request, response); });
    bridge->port = bridge->server.bind_to_any_port("127.0.0.1");
    HMODULE held = nullptr;
    if (bridge->port <= 0 || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                                 reinterpret_cast<LPCWSTR>(&ThisModule), &held))
    {
        StandInRecord("bridge not started: cannot listen on 127.0.0.1");
        bridge.reset();
        WSACleanup();
        return false;
    }
    bridge->thread = CreateThread(nullptr, 0, BridgeThread, self, 0, nullptr);
    if (bridge->thread == nullptr)
    {
        StandInRecord("bridge not started: CreateThread error " + std::to_string(GetLastError()));
        bridge.reset();
        WSACleanup();
        FreeLibrary(held);
        return false;
    }
    // Stop works only once the server runs.
    for (int waited = 0; !self->server.is_running() && waited < 5000; ++waited)
    {
        Sleep(1);
    }
    sBridge = bridge.release();
    const std::string address = "http://127.0.0.1:" + std::to_string(self->port) + "/";
    StandInRecord("bridge listening on " + address + " (port " + std::to_string(self->port) +
                  "), extension folder " +
                  (self->folder.empty() ? std::string("none") : JsonQuoted(self->folder)));
    WriteBridgeFile(address);
    return true;
}

void BridgeStop()
{
    std::lock_guard<std::mutex> lock(sBridgeMutex);
    if (sBridge == nullptr)
    {
        return;
    }
    Bridge* bridge = sBridge;
    sBridge = nullptr;
    StandInRecord("bridge stopping");
    EventLog& log = Log();
    {
        std::lock_guard<std::mutex> logLock(log.mutex);
        bridge->stopping = true;
    }
    log.changed.notify_all();
    CloseHandle(bridge->thread);
    bridge->server.stop(); // the thread ends by itself and deletes the bridge
}

void BridgeUnload()
{
    delete sLog;
    sLog = nullptr;
}
