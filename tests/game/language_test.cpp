// Which language the game speaks, on a machine whose only locale is C.UTF-8 (the stored choice: storage_test).
#include <gtest/gtest.h>

#include <clocale>
#include <map>
#include <tuple>

#include "KCatalog.h"
#include "game_home.h"
#include "language.h"

namespace {

std::map<std::string, std::string> variables;

const char *lookup(const char *name) {
    auto found = variables.find(name);
    return found == variables.end() ? nullptr : found->second.c_str();
}

std::string chosen(std::map<std::string, std::string> set) {
    variables = std::move(set);
    return languageFromVariables(lookup);
}

TEST(Language, FromTheVariablesAsGettextReadsThem) {
    // LANGUAGE's first shipped entry, under any locale but plain C.
    EXPECT_EQ(chosen({{"LANGUAGE", "de:fr"}, {"LANG", "fr_FR.UTF-8"}}), "de");
    EXPECT_EQ(chosen({{"LANGUAGE", "xx:eo:fr_CA"}, {"LANG", "de_DE.UTF-8"}}), "fr") << "fr_CA falls back to fr";
    EXPECT_EQ(chosen({{"LANGUAGE", "xx_YY"}, {"LANG", "de_DE.UTF-8"}}), "en") << "LANGUAGE replaces the locale";
    EXPECT_EQ(chosen({{"LANGUAGE", "de"}, {"LANG", "C.UTF-8"}}), "de");
    EXPECT_EQ(chosen({{"LANGUAGE", "de"}, {"LC_ALL", "C"}, {"LANG", "de_DE.UTF-8"}}), "en") << "plain C ignores LANGUAGE";
    EXPECT_EQ(chosen({{"LANGUAGE", "de"}, {"LANG", "POSIX"}}), "en");
    EXPECT_EQ(chosen({{"LANGUAGE", "de"}}), "en") << "no locale at all is C";
    // LC_ALL, LC_MESSAGES, LANG: the first set and not empty.
    EXPECT_EQ(chosen({{"LC_ALL", "ja_JP.UTF-8"}, {"LC_MESSAGES", "de_DE.UTF-8"}, {"LANG", "fr_FR.UTF-8"}}), "ja");
    EXPECT_EQ(chosen({{"LC_ALL", ""}, {"LC_MESSAGES", "sv_SE.ISO-8859-1"}, {"LANG", "fr_FR.UTF-8"}}), "sv");
    EXPECT_EQ(chosen({{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "pt_BR.UTF-8"}}), "pt_BR");
    // Codesets, modifiers, territories.
    EXPECT_EQ(chosen({{"LANG", "de_AT.UTF-8@euro"}}), "de");
    EXPECT_EQ(chosen({{"LANG", "pt_PT.UTF-8"}}), "en") << "European Portuguese is not the Brazilian catalog";
    EXPECT_EQ(chosen({{"LANG", "zh_TW.UTF-8"}}), "en") << "nor Traditional Chinese the Simplified one";
    EXPECT_EQ(chosen({{"LANGUAGE", "zh:pt"}, {"LANG", "en_US.UTF-8"}}), "zh_CN") << "a bare code takes its one variant";
    EXPECT_EQ(chosen({{"LANGUAGE", "en:de"}, {"LANG", "de_DE.UTF-8"}}), "en") << "English is shipped too";
    EXPECT_EQ(chosen({{"LANGUAGE", ":::de"}, {"LANG", "de_DE.UTF-8"}}), "de");
    EXPECT_EQ(chosen({{"LANG", std::string(5000, 'd')}}), "en");
}

// The choice holds whatever the variables say and switches back and forth; English is the words as written.
TEST(Language, CatalogsBesideTheExecutableWithoutTheLocale) {
    FilesFrom game(BROLIX_RUNTIME_DIR);
    ASSERT_EQ(catalogFolder(), BROLIX_RUNTIME_DIR "/locale");
    std::map<std::string, std::string> jewels;
    for (const char *locale : {"C", "de_DE.UTF-8", "C.UTF-8"}) {   // plain C, never generated, always there
        setenv("LC_ALL", locale, 1), setenv("LANGUAGE", "fr", 1);
        EXPECT_EQ(resolveLanguage("xx"), resolveLanguage("")) << "a language no longer shipped is automatic";
        for (const char *code : {"de", "ja", "fr", "de", "en", "xx", "ja"}) {
            useLanguage(code);
            EXPECT_EQ(currentLanguage(), std::string(code) == "xx" ? "en" : code);
            const std::string word = _("jewels");
            EXPECT_TRUE(jewels.emplace(currentLanguage(), word).first->second == word) << locale << ", " << code << ": " << word;
            EXPECT_EQ(word == "jewels", currentLanguage() == "en") << locale << ", " << code << ": " << word;
        }
    }
    EXPECT_NE(jewels["de"], jewels["ja"]);
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C") << "number formats stay as they are";
    unsetenv("LC_ALL"), unsetenv("LANGUAGE");
}

TEST(Language, PagesInTheLanguageOrInEnglish) {
    GameHome home;
    std::filesystem::create_directories(home.path("data/help"));
    home.write("data/help/index.html", "en");
    home.write("data/help/index.de.html", "de");
    std::filesystem::create_directory(home.path("data/help/index.fr.html"));   // not a page
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"de", "index.html", "index.de.html"}, {"fr", "index.html", "index.html"}, {"ja", "index.html", "index.html"},
        {"en", "index.html", "index.html"}, {"de", "driver.html", "driver.html"}, {"de", "README", "README"}};
    for (const auto &[code, asked, page] : cases) {
        useLanguage(code);
        EXPECT_EQ(std::string(localizedFilePath(("data\\help\\" + std::string(asked)).c_str())),
                  home.path("data/help/") + page) << code << ", " << asked;
    }
    useLanguage("en");
}

}  // namespace
