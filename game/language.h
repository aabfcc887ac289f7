#pragma once
// The language the game speaks: English or one whose catalog ships with it. The player's
// choice in the start-up dialog wins; without one ("automatic") the desktop's locale decides,
// read from the variables as gettext reads them, so that it works where that locale was
// never generated (setlocale fails there, and glibc would then ignore LANGUAGE).
#include <string>
#include <vector>

struct ShippedLanguage {
    std::string code;   // as in po/LINGUAS: "de", "pt_BR"
    std::string name;   // as the language calls itself
};

const std::vector<ShippedLanguage> &shippedLanguages();   // English not included
bool isShippedLanguage(const std::string &code);          // "en" too
std::string languageName(const std::string &code);        // its own name; English's for a code not shipped

// The language the variables ask for: LANGUAGE's list (first shipped entry) unless the locale
// (LC_ALL, LC_MESSAGES, LANG: the first that is set and not empty) is plain C; else the locale.
// A locale "ll_CC" falls back to "ll"; a bare "ll" takes the one shipped "ll_CC" there is.
// "en" when nothing shipped matches. lookup stands for getenv.
std::string languageFromVariables(const char *(*lookup)(const char *name));

// The choice stored by the dialog ("" = automatic) made real: a choice no longer shipped counts as automatic.
std::string resolveLanguage(const std::string &choice);

// From now on messages come from that language's catalog (found beside the executable as the
// data folder is, or installed) and pictures carry its words.
void useLanguage(const std::string &code);
const std::string &currentLanguage();
std::string catalogFolder();   // the folder of LANG/LC_MESSAGES/brolix.mo, "" when none is there

// makeFilePath of a page in the current language ("data\\help\\index.de.html" for
// "data\\help\\index.html"), of the English one when that language has none.
const char *localizedFilePath(const char *fileName);
