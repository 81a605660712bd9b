#pragma once
// Events as the bridge writes and reads them: one JSON object per event,
//   {"type": "...", "scope": 1, "appId": "...", "extensionId": null or "...", "data": "..."}
// and the owned copy of an event that outlives the caller's strings (a posted delivery, an event
// from the panel page).

#include "PlugPlugEvents.h"

#include <string>

struct OwnedEvent
{
    std::string type;
    std::int32_t scope = kPlugPlugScopeApplication;
    std::string appId;
    bool hasExtensionId = false;
    std::string extensionId;
    std::string data;

    // A copy of the event; null strings become empty ones (a null extension ID stays null).
    static OwnedEvent Copy(const PlugPlugEvent& event);
    // The event as listeners see it; valid while this object lives unchanged.
    PlugPlugEvent View() const;
};

// The text as a JSON string, quotes included. Control characters are escaped; other bytes pass.
std::string JsonQuoted(const std::string& text);

std::string EventToJson(const OwnedEvent& event);

// An event the panel page sends: an object with a string "type" (required), "data" (a string
// taken as is, any other JSON value as its JSON text; empty when absent), "scope" (an integer,
// default application) and "appId" (a string, default "PHXS"). Any "extensionId" of the page is
// ignored: the bridge sets the panel's own. False with error for anything else.
bool EventFromPanelJson(const std::string& body, OwnedEvent& event, std::string& error);
