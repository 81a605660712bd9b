#pragma once
// The plug-in's Automate menu item: the framework's command box, and the commands it dispatches
// (about, preferences, collect the document's fonts for output, make a font set of them, check the
// document's fonts).

#include "PhotoshopPluginAPI.h"

// The command box loop; 'fbar' without the framework or the font manager, else 0.
SPErr RunCommandBox();
void DoCheckDocFonts();
void HandleCollectForOutputCommand();
void DoMakeDocumentSet();
