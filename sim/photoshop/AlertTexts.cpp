#include "AlertTexts.h"

namespace
{
constexpr AlertLanguage kLanguages[] = {
    {"en", u"Missing Fonts", u"Cancel"},
    {"de", u"Fehlende Schriften", u"Abbrechen"},
    {"fr", u"Polices manquantes", u"Annuler"},
    {"es", u"Fuentes no disponibles", u"Cancelar"},
    {"pt", u"Fontes ausentes", u"Cancelar"},
    {"it", u"Font mancanti", u"Annulla"},
    // "Missing fonts": mitsukaranai fonto.
    {"ja", u"\u898B\u3064\u304B\u3089\u306A\u3044\u30D5\u30A9\u30F3\u30C8",
     u"\u30AD\u30E3\u30F3\u30BB\u30EB"},
};
} // namespace

const AlertLanguage* FindAlertLanguage(const std::string& code)
{
    for (const AlertLanguage& language : kLanguages)
    {
        if (code == language.mCode)
        {
            return &language;
        }
    }
    return nullptr;
}

std::string AlertLanguageCodes()
{
    std::string codes;
    for (const AlertLanguage& language : kLanguages)
    {
        codes += (codes.empty() ? "" : ", ") + std::string(language.mCode);
    }
    return codes;
}
