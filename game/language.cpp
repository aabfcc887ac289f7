#include "language.h"

#include "brolix_languages.h"
#include "KCatalog.h"
#include "KGraphic.h"
#include "KMiscTools.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

// gettext keeps what it looked up until this changes (its manual's way to switch languages).
extern "C" int _nl_msg_cat_cntr;

namespace {

std::string current = "en";
// The game sets LANGUAGE to the language in use; the player's own, as it was before, is kept
// here. A LANGUAGE other than the game's last is the player's again.
std::string ownLanguage, desktopLanguage;
bool desktopHasLanguage = false;

bool languageIsOwn() {
    const char *set = std::getenv("LANGUAGE");
    return set && !ownLanguage.empty() && ownLanguage == set;
}

// TRANSLATORS: the name of your language in your language (Deutsch, Français, 日本語): the
// start-up dialog and the help pages list the languages so.
const char *const ENGLISH_NAME = N_("English");

bool isPlainC(const std::string &locale) { return locale == "C" || locale == "POSIX"; }

// The code of a shipped language for one locale name or LANGUAGE entry, "" when none.
std::string shippedFor(const std::string &locale) {
    const std::string name = locale.substr(0, locale.find_first_of(".@"));
    const std::string bare = name.substr(0, name.find('_'));
    if (name.empty() || isPlainC(name))
        return "";
    if (isShippedLanguage(name))
        return name;
    if (isShippedLanguage(bare))
        return bare;
    if (bare != name)
        return "";   // pt_PT is not Brazilian, zh_TW not Simplified Chinese
    std::string only;
    for (const ShippedLanguage &language : shippedLanguages())
        if (language.code.compare(0, bare.size() + 1, bare + "_") == 0)
            only = only.empty() ? language.code : "-";
    return only == "-" ? "" : only;
}

const char *setValue(const char *(*lookup)(const char *), const char *name) {
    const char *value = lookup(name);
    return value && value[0] ? value : nullptr;
}

bool isFolder(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const char *path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

const std::vector<ShippedLanguage> &shippedLanguages() {
    static const std::vector<ShippedLanguage> languages = {BROLIX_LANGUAGES};
    return languages;
}

std::string languageName(const std::string &code) {
    for (const ShippedLanguage &language : shippedLanguages())
        if (language.code == code)
            return language.name;
    return ENGLISH_NAME;
}

bool isShippedLanguage(const std::string &code) {
    if (code == "en")
        return true;
    for (const ShippedLanguage &language : shippedLanguages())
        if (language.code == code)
            return true;
    return false;
}

std::string languageFromVariables(const char *(*lookup)(const char *)) {
    const char *locale = setValue(lookup, "LC_ALL");
    if (!locale)
        locale = setValue(lookup, "LC_MESSAGES");
    if (!locale)
        locale = setValue(lookup, "LANG");
    if (!locale || isPlainC(locale))
        return "en";
    if (const char *list = setValue(lookup, "LANGUAGE")) {
        const std::string entries = list;
        for (size_t start = 0; start <= entries.size();) {
            const size_t end = std::min(entries.find(':', start), entries.size());
            const std::string code = shippedFor(entries.substr(start, end - start));
            if (!code.empty())
                return code;
            start = end + 1;
        }
        return "en";
    }
    const std::string code = shippedFor(locale);
    return code.empty() ? "en" : code;
}

std::string resolveLanguage(const std::string &choice) {
    if (!choice.empty() && isShippedLanguage(choice))
        return choice;
    return languageFromVariables([](const char *name) -> const char * {
        if (std::strcmp(name, "LANGUAGE") == 0 && languageIsOwn())
            return desktopHasLanguage ? desktopLanguage.c_str() : nullptr;
        return std::getenv(name);
    });
}

std::string catalogFolder() {
    const std::string beside = std::string(KMiscTools::getGameFolder()) + "/locale";
    if (isFolder(beside))
        return beside;
    const std::string installed = std::string(KMiscTools::getGameFolder()) + "/" BROLIX_INSTALLED_LOCALE;
    return isFolder(installed) ? installed : "";
}

// LANGUAGE picks the catalog; it only counts under a locale other than plain C, and
// C.UTF-8 is always there when the player's own locale is not.
void useLanguage(const std::string &code) {
    current = isShippedLanguage(code) ? code : "en";
    if (KMiscTools::getGameFolder()[0] == '\0')
        KMiscTools::initMiscTools();
    const std::string folder = catalogFolder();
    if (!folder.empty())
        bindtextdomain(BROLIX_DOMAIN, folder.c_str());
    bind_textdomain_codeset(BROLIX_DOMAIN, "UTF-8");
    if (!languageIsOwn()) {
        const char *set = std::getenv("LANGUAGE");
        desktopHasLanguage = set != nullptr, desktopLanguage = set ? set : "";
    }
    setenv("LANGUAGE", current.c_str(), 1);
    ownLanguage = current;
    const char *locale = std::setlocale(LC_MESSAGES, "");
    if (!locale || isPlainC(locale))
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    ++_nl_msg_cat_cntr;
    KGraphic::setLanguage(current.c_str());
}

const std::string &currentLanguage() { return current; }

const char *localizedFilePath(const char *fileName) {
    std::string name = fileName;
    const size_t dot = name.find_last_of('.');
    if (current != "en" && dot != std::string::npos) {
        name.insert(dot, "." + current);
        const char *path = KMiscTools::makeFilePath(name.c_str());
        if (isFile(path))
            return path;
    }
    return KMiscTools::makeFilePath(fileName);
}
