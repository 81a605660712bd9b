#pragma once
// Photoshop's documents in a scenario: the document list the plug-ins query through Get, the
// notifications of made, saved and closed documents, the fonts a document misses when it opens
// (with Photoshop's missing-fonts dialog and message box), the "updateLayouts" and
// "replaceSubstitutes" events that bring the real fonts back, ExtendScript runs, and the steps
//   open, new, save, close, activate, kill-process, fail-next-play          (actions)
//   expect-documents, expect-fonts, expect-plays, expect-installed,
//   expect-dialogs, expect-dialog-keys, wait-until                           (checks)
// See README.md for their parameters and transcript lines.
//
// The installed fonts are the machine's own fonts (read once, at registration, from the given
// folders) and the font manager's system font table, read from
// ${LUMORAND_SYSTEM_FONT_TABLE_DIR}\system-font-table.txt at each WM_FONTCHANGE of the main
// window and before every decision that depends on it.

#include "AlertTexts.h"
#include "BasicSteps.h"

#include <string>
#include <vector>

void RegisterDocumentSteps(ScenarioPlayer& player, SimSession& session,
                           const std::vector<std::string>& machineFontFolders, const AlertLanguage& language);
