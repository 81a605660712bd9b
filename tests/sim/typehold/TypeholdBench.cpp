// Timings of the font manager stand-ins under Wine, as ratios against baselines measured in the
// same run. Not a test: it prints figures and never fails on speed.
//   cmake --build --preset win64 --target typehold_bench
//   ctest --preset win64 -R typehold.generate_documents     (writes the documents it uses)
//   cmake/wine-run build/win64/wine-prefix build/win64/bin/typehold_bench.exe
//
// 1. One library call's round trip (GetIsLoggedIn, GetFontIsActivated) through the core's pipe,
//    against a bare echo of the same request frame by a second process (this program, --echo).
// 2. ActivateDocumentFontsByPath on a PSD naming 50 catalog fonts (activated afresh each time),
//    against reading the document's font names in this process.

#include "GPipeConnection.h"
#include "TypeholdFonts.h"
#include "TypeholdTestSupport.h"

#include <chrono>
#include <cstdio>
#include <thread>

using typehold::GCFHolder;

namespace
{
using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start, int count)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

// The echo side, run as a second process of this program: every frame comes back as it was.
int ServeEcho(const wchar_t* name)
{
    HANDLE server =
        CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
    if (server == INVALID_HANDLE_VALUE ||
        (!ConnectNamedPipe(server, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED))
    {
        return 1;
    }
    GPipeConnection connection(server);
    std::string payload;
    while (connection.ReadFrame(payload, INFINITE) == GPipeConnection::EStatus::kOK)
    {
        std::string frame(4, '\0');
        for (int i = 0; i < 4; ++i)
        {
            frame[i] = static_cast<char>((payload.size() >> (8 * i)) & 0xFF);
        }
        if (connection.WriteBytes(frame + payload, INFINITE) != GPipeConnection::EStatus::kOK)
        {
            break;
        }
    }
    return 0;
}

// Round trips of a request frame to the echo process, like a library call without the core.
double MeasureEcho(int count)
{
    const std::wstring name = L"\\\\.\\pipe\\typehold-bench-echo-" + std::to_wstring(GetCurrentProcessId());
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\" --echo " + name;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION echo{};
    if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &echo))
    {
        return -1;
    }
    std::unique_ptr<GPipeConnection> client;
    for (int attempt = 0; attempt < 200 && !client; ++attempt)
    {
        DWORD error = 0;
        client = GPipeConnection::Connect(name.c_str(), 100, error);
        if (!client)
        {
            Sleep(25);
        }
    }
    GCFHolder<CFMutableDictionaryRef> request(typehold::CreateMutableDictionary());
    typehold::SetString(request.Get(), "op", "GetIsLoggedIn");
    double perCall = -1;
    if (client)
    {
        CFTypeRef reply = nullptr;
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < count; ++i)
        {
            client->WriteValue(request.Get(), 10000);
            client->ReadValue(reply, 10000);
            CFRelease(reply);
        }
        perCall = MicrosecondsSince(start, count);
    }
    client.reset();
    WaitForSingleObject(echo.hProcess, 10000);
    CloseHandle(echo.hThread);
    CloseHandle(echo.hProcess);
    return perCall;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--echo")
    {
        return ServeEcho(Wide(argv[2]).c_str());
    }
    GCoreLayout& layout = GCoreLayout::Shared();
    if (layout.library.module == nullptr || layout.library.missing != 0)
    {
        std::fprintf(stderr, "typehold_bench: the interface library did not load from %s\n",
                     UTF8FromPath(layout.folder).c_str());
        return 1;
    }
    const std::string document = DocumentsFolder() + "\\fifty.psd";
    if (!std::filesystem::exists(PathFromUTF8(document)))
    {
        std::fprintf(
            stderr,
            "typehold_bench: %s is missing: run ctest --preset win64 -R typehold.generate_documents\n",
            document.c_str());
        return 1;
    }
    ScratchFolder config("typehold bench");
    config.WriteFile("config.json",
                     ConfigJSON("", {TestFontsFolder(), "Z:\\usr\\share\\fonts\\opentype\\urw-base35"}));
    GCoreProcess core(UTF8FromPath(config.Path()));
    if (!core.Start())
    {
        std::fprintf(stderr, "typehold_bench: the core did not start\n");
        return 1;
    }
    const GLibraryTable& lpi = layout.library;
    LPIFacade facade = lpi.GetPluginFacadeInstance();
    lpi.InitAppInstance(facade, 2, 0);

    constexpr int kCalls = 2000;
    const double echo = MeasureEcho(kCalls);
    std::uint32_t yes = 0;
    lpi.GetIsLoggedIn(facade, &yes); // warm up
    Clock::time_point start = Clock::now();
    for (int i = 0; i < kCalls; ++i)
    {
        lpi.GetIsLoggedIn(facade, &yes);
    }
    const double loggedIn = MicrosecondsSince(start, kCalls);
    const std::uint32_t font = 1001;
    start = Clock::now();
    for (int i = 0; i < kCalls; ++i)
    {
        lpi.GetFontIsActivated(facade, 1, &font, &yes);
    }
    const double activated = MicrosecondsSince(start, kCalls);
    std::printf("pipe echo of a request frame (other process):   %8.1f us per round trip\n", echo);
    std::printf("GetIsLoggedIn through the library and the core: %8.1f us per call   (%.2fx the echo)\n",
                loggedIn, loggedIn / echo);
    std::printf("GetFontIsActivated, one font:                   %8.1f us per call   (%.2fx the echo)\n",
                activated, activated / echo);

    constexpr int kDocuments = 20;
    std::vector<std::string> names;
    std::string error;
    start = Clock::now();
    for (int i = 0; i < kDocuments; ++i)
    {
        typehold::ReadDocumentFontNames(document, names, error);
    }
    const double reading = MicrosecondsSince(start, kDocuments);
    double activating = 0;
    CFIndex matchedCount = 0;
    for (int i = 0; i < kDocuments; ++i)
    {
        GCFHolder<CFMutableArrayRef> matched(typehold::CreateMutableArray());
        GCFHolder<CFMutableArrayRef> problems(typehold::CreateMutableArray());
        GCFHolder<CFMutableArrayRef> extra(typehold::CreateMutableArray());
        const Clock::time_point one = Clock::now();
        lpi.ActivateDocumentFontsByPath(facade, document.c_str(), extra.Get(), 0, 0, 1, 0, 0, matched.Get(),
                                        problems.Get());
        activating += MicrosecondsSince(one, 1);
        matchedCount = CFArrayGetCount(matched.Get());
        std::vector<std::uint32_t> ids;
        for (CFIndex m = 0; m < matchedCount; ++m)
        {
            ids.push_back(static_cast<std::uint32_t>(typehold::MessageInt(
                static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(matched.Get(), m)), "DatabaseID")));
        }
        lpi.DeactivateFonts(facade, static_cast<std::uint32_t>(ids.size()), ids.data(), 0);
    }
    activating /= kDocuments;
    std::printf("reading the %u font names of fifty.psd here:    %8.1f us per document\n",
                static_cast<unsigned>(names.size()), reading);
    std::printf(
        "ActivateDocumentFontsByPath, %ld fonts matched:  %8.1f us per document (%.2fx reading the names, "
        "%.1f us per font)\n",
        static_cast<long>(matchedCount), activating, activating / reading,
        matchedCount > 0 ? activating / static_cast<double>(matchedCount) : 0.0);
    lpi.ResetPluginFacadeInstance();
    core.Stop();
    return 0;
}
