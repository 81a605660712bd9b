#pragma once
// The languages photoshop-sim shows Photoshop's missing-fonts windows in (--language): the title of
// the "Missing Fonts" dialog and the text of its cancel button as Photoshop 2020 shows them. A
// title may say more than the words a plug-in looks for (the Japanese one does).

#include <string>

struct AlertLanguage
{
    const char* mCode; // "en", "de", "fr", "es", "pt", "it", "ja"
    const char16_t* mDialogTitle;
    const char16_t* mCancelButton;
};

// Null for a code that is none of the languages.
const AlertLanguage* FindAlertLanguage(const std::string& code);
// The codes, for usage messages: "en, de, fr, es, pt, it, ja".
std::string AlertLanguageCodes();

// The missing-fonts message box, in every language: Photoshop names itself in the title. Its text
// is the framework's string 644.
inline constexpr char16_t kMessageBoxTitle[] = u"Adobe Photoshop CC 2020";
inline constexpr char16_t kMessageBoxButton[] = u"OK";
inline constexpr int kMessageBoxTextNumber = 644;
