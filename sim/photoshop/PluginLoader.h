#pragma once
// Plug-in discovery and loading the way Photoshop does it: every file below the plug-ins folder
// (sub-folders included, except those whose name starts with '~'), in name order, is opened as a
// resource-only module; each of its "PIPL" resources that describes an automation plug-in ('8LIZ'
// with an '8664' entry point) becomes a plug-in once the file is loaded as a library and the
// entry point resolves. Everything else is reported as "skip <file>: <reason>". Plug-ins stay
// loaded until the scenario's "unload" step frees them after Shutdown, as Photoshop may.

#include "PhotoshopHost.h"

#include <string>

// Adds the plug-ins to the host and returns how many were loaded.
std::size_t LoadPlugins(PhotoshopHost& host, const std::string& folder);
