#pragma once
// The plug-in's own log file, which the preference "EnableLogging" turns on: the lines of the
// logger (plug-in trace included, at Info) go to Lumorand\Logs\<name> in the user's local
// application-data folder. A log file named by the environment (PORTOLAN_LOG_FILE) takes
// precedence and is left as it is.

#include "GTypes.h"

// True when a log file is being written after the call.
bool StartPluginFileLog(const TUTF8String& logFileName);
