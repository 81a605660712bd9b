#pragma once
// A plug-in around the panels for tests: service flags, preferences, a font manager with a few
// fonts, workgroups and smart lists answered through interface-library entries, a main window
// that records key messages, and an event library that records what was dispatched.

#include "GCFRef.h"
#include "LPILoader.h"
#include "PanelHost.h"
#include "PlugPlugLibrary.h"

#include <map>
#include <string>
#include <vector>

struct FakeFont
{
    TUInt32 id = 0;
    std::string postScriptName;
    std::string displayName;
    std::string family;
    TSInt32 location = 1;
    TSInt32 conflict = 0;
    bool nonCompliant = false;
};

struct FakeSmartList
{
    std::string name;
    std::vector<TSInt32> workgroupIDs, setIDs, smartSetIDs;
};

class FakePanelHost : public PanelHost
{
public:
    FakePanelHost();
    ~FakePanelHost() override;

    // The installed fake (entries of the interface library reach it through this).
    static FakePanelHost& Current();

    bool enabled = true;
    bool connected = true;
    bool framework = true;
    bool fontManager = true;
    bool canActivateAcrossWorkgroups = true;
    bool standalone = false;
    bool googleEnabled = false;
    TSInt32 currentWorkgroup = 0;
    std::map<std::string, bool> boolPreferences;
    std::map<std::string, TSInt32> longPreferences;
    std::vector<TSInt32> workgroupTypes{3};
    std::vector<FakeFont> fonts;
    std::map<TSInt32, FakeSmartList> smartLists;
    std::string tree;
    // Failures to make: the name of an entry that answers an error.
    std::string failingCall;
    std::string temporaryFolder;
    int refreshes = 0;
    int notificationPasses = 0;
    // Calls of the interface library, as text ("ActivateFonts 5,6 mode 3").
    std::vector<std::string> calls;
    std::vector<std::pair<TUInt32, TUInt32>> keyMessages; // (message, virtual key)
    bool focused = false;

    LPILoader loader;

    bool IsPluginEnabled() override { return enabled; }
    bool IsConnectedToCore() override { return connected; }
    bool HasFramework() override { return framework; }
    bool GetBoolPreference(const char* key) override { return framework && boolPreferences[key]; }
    void SetBoolPreference(const char* key, bool value) override { boolPreferences[key] = value; }
    TSInt32 GetLongPreference(const char* key) override { return framework ? longPreferences[key] : 0; }
    void SetLongPreference(const char* key, TSInt32 value) override { longPreferences[key] = value; }
    void SetCurrentWorkgroupID(TSInt32 workgroupID) override { currentWorkgroup = workgroupID; }
    LPILoader* GetLPILoader() override { return &loader; }
    bool HasFontManager() override { return fontManager; }
    TSInt32 ProcessFontManagerNotifications() override { return ++notificationPasses, 0; }
    bool GetFontInfoByID(TUInt32 fontID, GCFRef<CFMutableDictionaryRef>& outRecord) override;
    std::map<TUInt32, TSInt32> GetFontConflicts(const std::vector<TUInt32>& fontIDs) override;
    TSInt32 FindFontsInSameFamily(CFDictionaryRef font, CFMutableArrayRef outFonts) override;
    TSInt32 GetAllWorkgroupsForUser(CFMutableArrayRef outWorkgroups) override;
    bool CanActivateAcrossWorkgroups() override { return canActivateAcrossWorkgroups; }
    CFStringRef DisplayNameKey() override { return CFSTR("DisplayName"); }
    void RefreshActiveFontList() override { ++refreshes; }
    void* FindHostMainWindow() override { return this; }
    void FocusWindow(void* window) override { focused = window == this; }
    void PostKeyMessage(void*, TUInt32 message, TUInt32 virtualKey) override
    {
        keyMessages.emplace_back(message, virtualKey);
    }
    TUTF8String TemporaryFileName() override;

    const FakeFont* Font(TUInt32 id) const;

private:
    int mTemporaryCount = 0;
};

// An event library that records listeners and dispatched events.
class FakeEventLibrary
{
public:
    struct Dispatched
    {
        std::string type;
        TSInt32 scope = 0;
        std::string appId;
        bool hasExtensionId = false;
        std::string data;
    };

    FakeEventLibrary();
    ~FakeEventLibrary();
    static FakeEventLibrary& Current();

    PlugPlugLibrary library;
    std::vector<Dispatched> dispatched;
    std::vector<std::pair<csxs::event::EventListenerFn, void*>> listeners;
    TSInt32 dispatchResult = 0;
    TSInt32 addListenerResult = 0;

    // What the panel sent, as the messages' JSON text without the parentheses.
    std::vector<std::string> Messages() const;
    // Calls every listener with the data, as the library would from the panel.
    void Deliver(const std::string& data);
};
