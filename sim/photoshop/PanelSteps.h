#pragma once
// The HTML panel's side of a scenario, through the extension event library (PlugPlugOwl.dll or
// PlugPlug.dll, called only through its C exports):
//   panel-send              a "com.lumorand.PanelToPlugin" event, as the panel sends it
//   expect-panel-messages   what the plug-in sent to the panel ("com.lumorand.PluginToPanel")
//                           since the previous such step
//   expect-panel-received   a message with a "messageID" received (at least "count" times)
//   expect-panel-listeners  how many listeners an event type has (the stand-in's own export)
//   expect-panel-launched   the panel's launch event ("com.lumorand.startpanel") dispatched
//   expect-key-messages     the key messages of the main window since the previous such step
// The checks other than expect-panel-messages and expect-key-messages are also conditions of
// wait-until. See README.md for their parameters and transcript lines.
//
// The host listens for the plug-in's messages and the launch event as soon as the library is in
// the process (it is looked for at every tick and after every step), and keeps it loaded until
// the scenario ends.

#include "BasicSteps.h"

void RegisterPanelSteps(ScenarioPlayer& player, SimSession& session);
