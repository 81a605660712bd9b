#pragma once
// Photoshop's main window and user-interface thread: a top-level window of class "Photoshop"
// titled "Adobe Photoshop 2020", a WM_TIMER on it every timerMs milliseconds, and the standard
// GetMessage/TranslateMessage/DispatchMessage loop. Each timer tick advances the scenario, so
// every plug-in call happens on this thread from inside the loop, and plug-in message hooks see
// the timer messages between steps and while a step waits.

#include "ScenarioPlayer.h"
#include "UIResponsiveness.h"

#include <cstddef>
#include <functional>
#include <string>

// Runs the loop until the scenario ends; returns the scenario's exit code.
int RunMainWindow(ScenarioPlayer& player, unsigned timerMs);

// Called when the main window receives WM_FONTCHANGE (the font manager broadcasts it after each
// change of the active fonts).
void SetFontChangeHandler(std::function<void()> handler);

// Called when the main window receives a key message (WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN,
// WM_SYSKEYUP) with its virtual key, and whether the window had the keyboard focus then.
void SetKeyMessageHandler(std::function<void(unsigned message, unsigned virtualKey, bool focused)> handler);
// Whether the main window has the keyboard focus of its thread now (call on that thread).
bool MainWindowHasFocus();

// What the responsiveness measurement reads at each timer message: the transcript's line count and
// the plug-in call in progress (the host's description, empty outside calls).
void SetResponsivenessSources(std::function<std::size_t()> lineCount,
                              std::function<std::string()> currentCall);
// The main window's measurement of its thread's responsiveness (complete once RunMainWindow has
// returned).
const UIResponsiveness& MainWindowResponsiveness();
