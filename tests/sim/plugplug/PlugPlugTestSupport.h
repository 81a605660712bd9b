#pragma once
// The event library stand-in loaded the way a host loads it (by full path from the folder of the
// test program, resolved by name), a message pump for the thread that made its first call, and
// listeners that record what they got.

#include "PlugPlugEvents.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

inline std::filesystem::path TestProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

template <typename Function>
Function LibraryExport(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

struct EventLibrary
{
    using ListenerCall = std::int32_t (*)(const char*, PlugPlugEventListener, void*);
    using ExtensionCall = std::int32_t (*)(const char*);

    explicit EventLibrary(const std::filesystem::path& path) : module(LoadLibraryW(path.c_str()))
    {
        if (module == nullptr)
        {
            ADD_FAILURE() << "cannot load " << path.string() << " (error " << GetLastError() << ")";
            return;
        }
        add = LibraryExport<ListenerCall>(module, "PlugPlugAddEventListener");
        remove = LibraryExport<ListenerCall>(module, "PlugPlugRemoveEventListener");
        dispatch = LibraryExport<std::int32_t (*)(const PlugPlugEvent*)>(module, "PlugPlugDispatchEvent");
        count = LibraryExport<std::int32_t (*)(const char*)>(module, "PlugPlugStandInListenerCount");
        loadExtension = LibraryExport<ExtensionCall>(module, "PlugPlugLoadExtension");
        unloadExtension = LibraryExport<ExtensionCall>(module, "PlugPlugUnloadExtension");
    }

    HMODULE module = nullptr;
    ListenerCall add = nullptr;
    ListenerCall remove = nullptr;
    std::int32_t (*dispatch)(const PlugPlugEvent*) = nullptr;
    std::int32_t (*count)(const char*) = nullptr;
    ExtensionCall loadExtension = nullptr;
    ExtensionCall unloadExtension = nullptr;
};

// Processes this thread's messages until done() or the time is up; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < end)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return done();
}

// What a listener got: one entry per call.
struct Received
{
    std::string type;
    std::int32_t scope = 0;
    std::string appId;
    bool hasExtensionId = false;
    std::string extensionId;
    std::string data;
    DWORD thread = 0;
    bool insideDispatch = false;
};

struct Recorder
{
    std::vector<Received> calls;
    bool dispatching = false; // set by the test around its dispatch calls

    static void Listener(const PlugPlugEvent* event, void* context)
    {
        auto* self = static_cast<Recorder*>(context);
        Received received;
        received.type = event->type;
        received.scope = event->scope;
        received.appId = event->appId != nullptr ? event->appId : "(null)";
        received.hasExtensionId = event->extensionId != nullptr;
        received.extensionId = event->extensionId != nullptr ? event->extensionId : "";
        received.data = event->data != nullptr ? event->data : "(null)";
        received.thread = GetCurrentThreadId();
        received.insideDispatch = self->dispatching;
        self->calls.push_back(received);
    }
};

// A test with its own folder, the library's transcript in it.
class EventLibraryTest : public ::testing::Test
{
protected:
    EventLibraryTest()
    {
        SetEnvironmentVariableW(L"PLUGPLUG_TRANSCRIPT", PathFromUTF8(mScratch.Child("plugplug.txt")).c_str());
        SetEnvironmentVariableW(L"PLUGPLUG_BRIDGE_FILE", PathFromUTF8(mScratch.Child("bridge.txt")).c_str());
        SetEnvironmentVariableW(L"PLUGPLUG_FAULT", nullptr);
    }

    std::string LibraryTranscript() const { return ReadWholeFile(mScratch.Child("plugplug.txt")); }

    ScratchFolder mScratch{"plugplug"};
    const DWORD mThread = GetCurrentThreadId();
};
