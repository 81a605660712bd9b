#pragma once
// What a panel needs of the plug-in around it: the service flags, the framework's preferences,
// the font manager's interface library and connection, and the host application's main window.
// The plug-in installs its own (PluginPanelHost, Windows); tests install theirs. Every operation
// runs on the host's user-interface thread.

#include "GCFRef.h"
#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

#include <map>
#include <vector>

class LPILoader;

class PanelHost
{
public:
    virtual ~PanelHost() = default;

    // The host in use: the one installed, else the plug-in's own (on Windows) or one that has
    // nothing (no services, no framework, no font manager).
    static PanelHost& Get();
    // Installs a host (null: back to the default). The caller keeps it alive while installed.
    static void Install(PanelHost* host);

    // --- Service flags ---------------------------------------------------------------------------
    // Services enabled, logged in and workgroup access.
    virtual bool IsPluginEnabled() = 0;
    virtual bool IsConnectedToCore() = 0;

    // --- Framework preferences (nothing without the framework) ------------------------------------
    virtual bool HasFramework() = 0;
    virtual bool GetBoolPreference(const char* key) = 0;
    virtual void SetBoolPreference(const char* key, bool value) = 0;
    virtual TSInt32 GetLongPreference(const char* key) = 0;
    virtual void SetLongPreference(const char* key, TSInt32 value) = 0;
    // "CurrentWorkgroup", written through the framework's own operation.
    virtual void SetCurrentWorkgroupID(TSInt32 workgroupID) = 0;

    // --- The font manager ------------------------------------------------------------------------
    // The interface library, or null when it is not loaded.
    virtual LPILoader* GetLPILoader() = 0;
    // Whether the connection object exists.
    virtual bool HasFontManager() = 0;
    // Hands the font manager's queued notifications to the panels; the number handled.
    virtual TSInt32 ProcessFontManagerNotifications() = 0;
    // The record of a font of any workgroup; false when it cannot be read.
    virtual bool GetFontInfoByID(TUInt32 fontID, GCFRef<CFMutableDictionaryRef>& outRecord) = 0;
    // Font ID -> conflict ID; empty on failure.
    virtual std::map<TUInt32, TSInt32> GetFontConflicts(const std::vector<TUInt32>& fontIDs) = 0;
    // The fonts of the record's family in all workgroups; 0 on success.
    virtual TSInt32 FindFontsInSameFamily(CFDictionaryRef font, CFMutableArrayRef outFonts) = 0;
    // The user's workgroups (Typekit's included, not the system's nor the all-workgroups entry).
    virtual TSInt32 GetAllWorkgroupsForUser(CFMutableArrayRef outWorkgroups) = 0;
    virtual bool CanActivateAcrossWorkgroups() = 0;
    // The key of a font record's display name.
    virtual CFStringRef DisplayNameKey() = 0;

    // --- The host application ---------------------------------------------------------------------
    // Re-reads which fonts are active (after fonts went away).
    virtual void RefreshActiveFontList() = 0;
    // The host's main window (HWND), or null.
    virtual void* FindHostMainWindow() = 0;
    virtual void FocusWindow(void* window) = 0;
    // Posts a key-down (0x100) or key-up (0x101) message for a virtual key.
    virtual void PostKeyMessage(void* window, TUInt32 message, TUInt32 virtualKey) = 0;
    // A fresh temporary file path (the runtime's _tempnam in the system's temporary folder), or
    // empty when none can be had.
    virtual TUTF8String TemporaryFileName() = 0;
};
