#pragma once
// The scenario steps of the plug-in lifecycle and the checks around it:
//   start, startup-again, about, do-it, call, quit     (calls into the plug-ins)
//   unload, wait, set-env, expect-notifications, expect-file  (host side)
// A plug-in call step calls every loaded plug-in in load order, or only the one named by
// "plugin"; its "expect": {"result": ...} must hold for each call.

#include "PhotoshopHost.h"
#include "ScenarioPlayer.h"

#include <string>

// What the steps share for one run.
struct SimSession
{
    PhotoshopHost& mHost;
    std::string mPluginsFolder;
    bool mStarted = false;
    bool mQuit = false;
    bool mUnloaded = false;
    bool mSocketsStarted = false;
};

void RegisterBasicSteps(ScenarioPlayer& player, SimSession& session);
