#pragma once
// What the parts of the event library stand-in share: its transcript, its environment, the
// hand-over of events to the user-interface thread, and the loopback bridge.

#include "EventJson.h"

#include <string>

// One line of the stand-in's transcript (%PLUGPLUG_TRANSCRIPT%, appended; nothing when unset).
// Any thread.
void StandInRecord(const std::string& line);

// An environment variable of the process as UTF-8; empty when unset.
std::string StandInEnvironment(const char* name);

// The extension ID events from the panel page carry: %PLUGPLUG_PANEL_EXTENSION_ID%, by default
// "com.lumorand.panel".
std::string StandInPanelExtensionId();

// Hands an event to the user-interface thread, where its type's listeners get it. Any thread;
// false when there is no user-interface thread (no call made yet, or all listeners gone).
bool StandInPostDelivery(const OwnedEvent& event);

// The loopback bridge (EventBridge_Win.cpp).
// Starts it if it does not run; false (said in the transcript) when it cannot start.
bool BridgeStart();
// Asks a running bridge to stop and returns at once; its thread ends by itself.
void BridgeStop();
// Every event the host side dispatches, kept for the page's event stream (from the library's load,
// whether the bridge runs or not).
void BridgePublish(const OwnedEvent& event);
// Frees what the bridge kept; only when the library is unloaded (the bridge is not running then).
void BridgeUnload();
