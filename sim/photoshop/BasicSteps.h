#pragma once
// The scenario steps of the plug-in lifecycle and the checks around it:
//   start, startup-again, about, do-it, call, quit     (calls into the plug-ins)
//   unload, count-cf-objects, wait, set-env, expect-notifications, expect-file  (host side)
// A plug-in call step calls every loaded plug-in in load order, or only the one named by
// "plugin"; its "expect": {"result": ...} must hold for each call.

#include "PhotoshopHost.h"
#include "ScenarioPlayer.h"

#include <functional>
#include <map>
#include <string>
#include <utility>

// What the steps share for one run.
struct SimSession
{
    SimSession(PhotoshopHost& host, std::string pluginsFolder)
        : mHost(host), mPluginsFolder(std::move(pluginsFolder))
    {
    }

    PhotoshopHost& mHost;
    std::string mPluginsFolder;
    bool mStarted = false;
    bool mQuit = false;
    bool mUnloaded = false;
    bool mSocketsStarted = false;
    // Live Core Foundation objects remembered by count-cf-objects.
    std::map<std::string, long long> mObjectCounts;
    // Further conditions of wait-until, by step name, beside the document checks: false with
    // error for an unreadable parameter; otherwise problem is empty when the condition holds.
    using Condition = std::function<bool(const JsonNode& node, std::string& problem, std::string& error)>;
    std::map<std::string, Condition> mConditions;
};

void RegisterBasicSteps(ScenarioPlayer& player, SimSession& session);
