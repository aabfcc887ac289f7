// The game in the desktop's language on a machine whose only locale is C.UTF-8, as many containers
// and fresh installs are, read off the screen against that language's art; the dialog's pick wins.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "KGraphicPixels.h"
#include "game_run.h"
#include "language.h"

namespace {

// The picture as the game shows it in that language: its overlay's rectangles laid over it.
Image inLanguage(const GameFolder &game, const std::string &name, const std::string &code) {
    Image picture = game.picture(name);
    const std::string overlay = "data/lang/" + code + "/" + name.substr(0, name.find_last_of('.')) + ".png";
    const std::string bytes = game.read(overlay);
    std::vector<KPixels::OverlayRect> rects;
    if (bytes.empty() || !KPixels::overlayRects(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), rects))
        return picture;
    const Image atlas = loadImage(game.path(overlay), true);
    const uint32_t density = KPixels::overlayDensity(rects, uint32_t(picture.width), uint32_t(picture.height),
                                                     uint32_t(atlas.width), uint32_t(atlas.height));
    EXPECT_GT(density, 0u) << overlay;
    uint32_t top = 0;
    for (const KPixels::OverlayRect &r : rects) {
        std::vector<uint8_t> part(size_t(r.w) * r.h * 4);
        KPixels::scaleArea(atlas.at(0, int(top)), r.w * density, r.h * density, size_t(atlas.width) * 4, part.data(), r.w, r.h);
        for (uint32_t y = 0; y < r.h; y++)
            for (uint32_t x = 0; x < r.w; x++)
                for (int c = 0; c < 3; c++)
                    picture.rgb[((size_t(r.y) + y) * picture.width + r.x + x) * 3 + c] = part[(size_t(y) * r.w + x) * 4 + c];
        top += r.h * density;
    }
    return picture;
}

// The screen shows this region of one picture rather than the other; lit: the lit copy lies that far below.
bool showsRather(const GameRun &run, const Image &shown, const Image &other, const layout::Rect &r, int lit = 0) {
    const int w = r.x2 - r.x1, h = r.y2 - r.y1;
    const Image screen = run.capture(r.y1, h);
    const double near = difference(screen, r.x1, r.y1, shown, r.x1, r.y1 + lit, w, h);
    return near < 12 && difference(screen, r.x1, r.y1, other, r.x1, r.y1 + lit, w, h) > near + 8;
}

struct Start {
    std::vector<std::string> env;
    std::string title;    // of the dialog, in the language it opens in
    std::string keys;     // what the player types in it
    std::string code;     // the language the game then speaks
    std::string kept;     // data/language.stt afterwards
};

// Keys that pick a language in the dialog's list, reached by shift+Tab from the first box, then Play.
std::string pick(const std::string &code) {
    const std::vector<ShippedLanguage> &shipped = shippedLanguages();
    size_t at = 0;
    while (at < shipped.size() && shipped[at].code != code) at++;
    std::string keys = "shift+Tab End";
    for (size_t up = at + 1; up < shipped.size(); up++) keys += " Up";
    return keys + " Tab Return";
}

TEST(Languages, DesktopLocaleWithoutTheLocaleGeneratedThenTheDialogsChoice) {
    GameFolder game;
    std::filesystem::copy(BROLIX_RUNTIME_DIR "/locale", game.path("locale"), std::filesystem::copy_options::recursive);
    ASSERT_EQ(commandOutput("locale -a | grep -ci '^de_DE\\|^ja_JP' || true"), "0\n") << "the locales must not be there";
    const Image english = game.picture("menu0.tga"), englishDriver = game.picture("page1.jpg");
    const layout::Rect first = layout::MAIN_BUTTONS[0];
    const std::vector<std::string> german = {"LANG=de_DE.UTF-8", "LANGUAGE=de", "LC_ALL=", "LC_MESSAGES="};
    const std::vector<std::string> unknown = {"LANG=xx_YY.UTF-8", "LANGUAGE=", "LC_ALL=", "LC_MESSAGES="};
    const Start starts[] = {
        {german, "Willkommen bei Brolix!", "Return", "de", ""},
        {{"LANG=ja_JP.UTF-8", "LANGUAGE=", "LC_ALL=", "LC_MESSAGES="}, "Brolix へようこそ！", "Return", "ja", ""},
        {unknown, "Welcome to Brolix !", "Return", "en", ""},
        {german, "Willkommen bei Brolix!", pick("ja"), "ja", "ja"},   // picked in the dialog: over the desktop's, and kept
        {unknown, "Brolix へようこそ！", "Return", "ja", "ja"},
    };
    for (const Start &start : starts) {
        SCOPED_TRACE(start.env[0] + " " + start.env[1] + ", " + start.keys + ": " + start.code);
        const Image menu = inLanguage(game, "menu0.tga", start.code), driver = inLanguage(game, "page1.jpg", start.code);
        GameRun run(game, start.env);
        ASSERT_TRUE(run.passDialog(start.keys, start.title)) << "no dialog titled " << start.title << ", or no game after it";
        ASSERT_TRUE(run.waitShows(driver, 0, 0, 640, 480)) << "no driver page";
        EXPECT_TRUE(start.code == "en" || showsRather(run, driver, englishDriver, {0, 0, 640, 480}));
        run.click(layout::DRIVER_CONTINUE);
        ASSERT_TRUE(run.waitShows(menu, 0, 0, 640, 480)) << "no menu";
        EXPECT_TRUE(start.code == "en" || showsRather(run, menu, english, first, layout::LIT))
            << "the first button (lit: its panel is open) is not in its language";
        run.key("Escape");
        EXPECT_EQ(run.waitExit(), 0);
        EXPECT_EQ(game.read("data/language.stt"), start.kept);
    }
}

}  // namespace
