#pragma once
// The HTML extension panel: messages travel as events of the host's extension event library.
// The panel listens for "com.lumorand.PanelToPlugin" and sends "com.lumorand.PluginToPanel"
// (application scope, application "HTML", data "(" JSON ")").
//
// The library calls listeners on the host's user-interface thread, where every panel operation
// runs. Should it ever call from another thread, the message is handed over instead: kept under
// a lock and handled by the next service pass on the user-interface thread.

#include "GErrorCodes.h"
#include "PortolanPanel.h"

#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class PlugPlugLibrary;

namespace csxs
{
namespace event
{
struct Event;
}
} // namespace csxs

class HTMLPanel : public PortolanPanel
{
public:
    static constexpr const char* kPanelToPluginEvent = "com.lumorand.PanelToPlugin";
    static constexpr const char* kPluginToPanelEvent = "com.lumorand.PluginToPanel";

    struct FontImage
    {
        TUInt32 fontID = 0;
        TUTF8String url;
        TUTF8String url2x;
    };

    explicit HTMLPanel(PlugPlugLibrary* plugPlug) : mPlugPlug(plugPlug) {}

    // Adds the panel's listener; CoreErrorCodes::kNotInitialized when the library refuses it.
    // Called on the user-interface thread, which it remembers.
    TErrorCode RegisterHandler();
    void AddFontImage(TUInt32 fontID, const TUTF8String& url, const TUTF8String& url2x);

    TErrorCode OpenSocket() override { return CoreErrorCodes::kSuccess; }
    // Handles the messages handed over from other threads (none when the library keeps to the
    // user-interface thread).
    TErrorCode SelectSocket(bool closeListeningSocket) override;
    TSInt32 GetListeningPort() override { return 0; }
    TErrorCode SendMessage(const TUTF8String& message) override;
    TErrorCode SendFontImages(CFDictionaryRef fontImages) override;

    // The listener: the context is the panel.
    static void EventCallback(const csxs::event::Event* event, void* context);

    const std::vector<FontImage>& GetFontImages() const { return mFontImages; }

private:
    void Receive(const TUTF8String& message);
    void HandleGuarded(const TUTF8String& message);

    PlugPlugLibrary* mPlugPlug;
    std::vector<FontImage> mFontImages;
    std::thread::id mUIThread;
    std::mutex mHandedOverLock;
    std::deque<TUTF8String> mHandedOver;
};
