// The extension event library stand-in as a host and a plug-in use it: listeners by type, the
// deliveries on the thread of the first call and never inside the dispatch, the fault switch, the
// damaged build, and unloading while the bridge runs.

#include "PlugPlugTestSupport.h"

#include <thread>

namespace
{
constexpr const char* kType = "com.lumorand.PanelToPlugin";

PlugPlugEvent MakeEvent(const char* type, const char* data)
{
    return PlugPlugEvent{type, kPlugPlugScopeApplication, "PHXS", "com.lumorand.panel", data};
}

bool Loaded(const std::filesystem::path& path)
{
    HMODULE module = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, path.c_str(), &module) != 0;
}

using PlugPlugLibraryTest = EventLibraryTest;
} // namespace

TEST_F(PlugPlugLibraryTest, ListenersAreCalledPerEntryOnTheUIThreadAfterTheDispatch)
{
    EventLibrary library(TestProgramFolder() / "PlugPlugOwl.dll");
    ASSERT_NE(nullptr, library.dispatch);
    Recorder first;
    Recorder second;
    Recorder other;
    EXPECT_EQ(0, library.add(kType, Recorder::Listener, &first));
    EXPECT_EQ(0, library.add(kType, Recorder::Listener, &first));
    EXPECT_EQ(0, library.add(kType, Recorder::Listener, &second));
    EXPECT_EQ(0, library.add("com.lumorand.other", Recorder::Listener, &other));
    EXPECT_EQ(0, library.add(kType, nullptr, &first)) << "a null listener is ignored";
    EXPECT_EQ(1, library.add(nullptr, Recorder::Listener, &first));
    EXPECT_EQ(3, library.count(kType));

    // The event's strings belong to the caller only during the call.
    std::string data = "({\"messageID\":\"one\"})";
    PlugPlugEvent event = MakeEvent(kType, data.c_str());
    first.dispatching = second.dispatching = true;
    EXPECT_EQ(0, library.dispatch(&event));
    first.dispatching = second.dispatching = false;
    data.assign(data.size(), 'x');
    EXPECT_TRUE(first.calls.empty()) << "called inside the dispatch";
    ASSERT_TRUE(PumpUntil([&] { return first.calls.size() == 2 && second.calls.size() == 1; }));
    for (const Received& call : {first.calls[0], first.calls[1], second.calls[0]})
    {
        EXPECT_EQ(mThread, call.thread);
        EXPECT_FALSE(call.insideDispatch);
        EXPECT_EQ(kType, call.type);
        EXPECT_EQ("({\"messageID\":\"one\"})", call.data);
        EXPECT_EQ("PHXS", call.appId);
        EXPECT_EQ("com.lumorand.panel", call.extensionId);
        EXPECT_EQ(1, call.scope);
    }
    EXPECT_TRUE(other.calls.empty());

    // Removing takes every matching entry, and only those.
    EXPECT_EQ(0, library.remove(kType, Recorder::Listener, &first));
    EXPECT_EQ(1, library.count(kType));
    const PlugPlugEvent again = MakeEvent(kType, "({})");
    EXPECT_EQ(0, library.dispatch(&again));
    ASSERT_TRUE(PumpUntil([&] { return second.calls.size() == 2; }));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(2u, first.calls.size());

    // Events dispatched from another thread still reach the listeners on this one.
    std::thread([&] { library.dispatch(&again); }).join();
    ASSERT_TRUE(PumpUntil([&] { return second.calls.size() == 3; }));
    EXPECT_EQ(mThread, second.calls[2].thread);

    const std::string transcript = LibraryTranscript();
    EXPECT_NE(std::string::npos,
              transcript.find("add listener \"com.lumorand.PanelToPlugin\": null listener ignored"));
    EXPECT_NE(std::string::npos,
              transcript.find("remove listener \"com.lumorand.PanelToPlugin\": 2 removed (now 1)"));
    EXPECT_NE(std::string::npos, transcript.find("deliver \"com.lumorand.PanelToPlugin\" to 3 listener(s)"));
    library.remove(kType, Recorder::Listener, &second);
    library.remove("com.lumorand.other", Recorder::Listener, &other);
}

TEST_F(PlugPlugLibraryTest, AListenerRemovedBeforeTheDeliveryIsNotCalled)
{
    EventLibrary library(TestProgramFolder() / "PlugPlug.dll");
    Recorder kept;
    Recorder gone;
    library.add(kType, Recorder::Listener, &kept);
    library.add(kType, Recorder::Listener, &gone);
    const PlugPlugEvent event = MakeEvent(kType, "x");
    EXPECT_EQ(0, library.dispatch(&event));
    library.remove(kType, Recorder::Listener, &gone);
    ASSERT_TRUE(PumpUntil([&] { return kept.calls.size() == 1; }));
    EXPECT_TRUE(gone.calls.empty());
    EXPECT_EQ(0, library.loadExtension("com.lumorand.panel"));
    EXPECT_EQ(0, library.unloadExtension("com.lumorand.panel"));
    EXPECT_EQ(1, library.unloadExtension("com.lumorand.panel"));
    library.remove(kType, Recorder::Listener, &kept);
}

TEST_F(PlugPlugLibraryTest, TheFaultSwitchMakesDispatchFailAndDeliverNothing)
{
    EventLibrary library(TestProgramFolder() / "PlugPlugOwl.dll");
    Recorder recorder;
    library.add(kType, Recorder::Listener, &recorder);
    const PlugPlugEvent event = MakeEvent(kType, "lost");
    SetEnvironmentVariableW(L"PLUGPLUG_FAULT", L"dispatch-fails");
    EXPECT_EQ(1, library.dispatch(&event));
    SetEnvironmentVariableW(L"PLUGPLUG_FAULT", L"dispatch-unknown");
    EXPECT_EQ(2, library.dispatch(&event));
    SetEnvironmentVariableW(L"PLUGPLUG_FAULT", nullptr);
    EXPECT_EQ(1, library.dispatch(nullptr));
    PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(recorder.calls.empty());
    const PlugPlugEvent found = MakeEvent(kType, "found");
    EXPECT_EQ(0, library.dispatch(&found));
    ASSERT_TRUE(PumpUntil([&] { return !recorder.calls.empty(); }));
    EXPECT_EQ("found", recorder.calls[0].data);
    EXPECT_NE(std::string::npos, LibraryTranscript().find("data \"lost\" -> 1 (fault dispatch-fails)"));
    library.remove(kType, Recorder::Listener, &recorder);
}

TEST_F(PlugPlugLibraryTest, BothNamesExportTheInterfaceAndTheDamagedBuildLacksDispatch)
{
    for (const char* name : {"PlugPlugOwl.dll", "PlugPlug.dll"})
    {
        EventLibrary library(TestProgramFolder() / name);
        EXPECT_TRUE(library.add && library.remove && library.dispatch && library.count &&
                    library.loadExtension && library.unloadExtension)
            << name;
        FreeLibrary(library.module);
    }
    // The damaged build, under a real name in a folder of its own.
    const std::filesystem::path damaged = PathFromUTF8(mScratch.MakeFolder("damaged")) / "PlugPlugOwl.dll";
    std::filesystem::copy_file(TestProgramFolder() / "PlugPlugMissingExport.dll", damaged);
    EventLibrary library(damaged);
    EXPECT_EQ(nullptr, library.dispatch);
    EXPECT_TRUE(library.add && library.remove && library.count);
    FreeLibrary(library.module);
}

TEST_F(PlugPlugLibraryTest, UnloadingNeverWaitsForTheBridge)
{
    const std::filesystem::path path = TestProgramFolder() / "PlugPlugOwl.dll";
    {
        // The last listener removed stops the bridge; the library goes once the bridge's thread
        // has ended.
        EventLibrary library(path);
        Recorder recorder;
        library.add(kType, Recorder::Listener, &recorder);
        const PlugPlugEvent launch{"com.lumorand.startpanel", 1, "test", nullptr, ""};
        EXPECT_EQ(0, library.dispatch(&launch));
        ASSERT_TRUE(std::filesystem::exists(PathFromUTF8(mScratch.Child("bridge.txt"))));
        library.remove(kType, Recorder::Listener, &recorder);
        const auto before = std::chrono::steady_clock::now();
        FreeLibrary(library.module);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
        EXPECT_TRUE(PumpUntil([&] { return !Loaded(path); }, 10000)) << LibraryTranscript();
        EXPECT_NE(std::string::npos, LibraryTranscript().find("bridge stopped"));
    }
    {
        // Freed while a listener remains and the bridge runs: the library stays (the bridge holds
        // it) and the process still ends cleanly.
        EventLibrary library(path);
        Recorder recorder;
        library.add(kType, Recorder::Listener, &recorder);
        const PlugPlugEvent launch{"com.lumorand.startpanel", 1, "test", nullptr, ""};
        EXPECT_EQ(0, library.dispatch(&launch));
        const auto before = std::chrono::steady_clock::now();
        FreeLibrary(library.module);
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
        EXPECT_TRUE(Loaded(path));
    }
}
