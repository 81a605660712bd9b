#pragma once
// The scenario steps around the user-interface thread's responsiveness:
//   expect-responsive   the main window's measurement so far (MainWindowResponsiveness) within
//                       "maxStallMs" (the longest gap between two processed timer messages) and,
//                       when given, "maxTotalMs" (the sum of the stalls)
//   run                 starts a program ("program", "arguments", ${VAR} expanded) beside the
//                       host, as the user would in another window; with "wait" (default true) the
//                       step lasts until it exits (the message loop goes on meanwhile) and
//                       "expect": {"exitCode"} is checked; "timeoutMs" (default 60000) ends it
// The transcript's lines (read back from transcriptPath) name the step and the plug-in call of
// the longest stall.

#include "ScenarioPlayer.h"
#include "Transcript.h"

#include <string>

void RegisterResponsivenessSteps(ScenarioPlayer& player, Transcript& transcript,
                                 const std::string& transcriptPath);
