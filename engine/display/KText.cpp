#include "KText.h"

#include "KGraphic.h"
#include "KTextLayout.h"

KText::KText(const char *fontPicturePath, KFont *table) : _surf_Fonts(new KGraphic), _fontTable(table) {
    _surf_Fonts->loadPicture(fontPicturePath, true, false, true);
}

KText::~KText() {
    delete _surf_Fonts;
    delete _wideFonts;
    _surf_Fonts = nullptr;
    _fontTable = nullptr;
}

void KText::addGlyphs(const char *picturePath, const KGlyph *table) {
    if (!_wideFonts)
        _wideFonts = new KGraphic;
    _wideFonts->loadPicture(picturePath, true, false, true);
    _wideTable = table;
}

void KText::drawGlyph(const KFont &g, bool wide, int32_t x, int32_t y) {
    (wide ? _wideFonts : _surf_Fonts)->blitAlphaRect(g._x1, g._y1, g._x2, g._y2, int16_t(x), int16_t(y), false, false);
}

void KText::drawStringFromLeft(const char *text, int32_t x, int32_t y, int32_t spacing) {
    if (!_surf_Fonts || !text)
        return;
    KTextLayout::fromLeft(_fontTable, _wideTable, text, x, spacing,
                          [&](const KTextLayout::Placed &g, int32_t pen) { drawGlyph(g.glyph, g.wide, pen, y); });
}

void KText::drawStringFromRight(const char *text, int32_t x, int32_t y, int32_t spacing) {
    if (!_surf_Fonts || !text)
        return;
    KTextLayout::fromRight(_fontTable, _wideTable, text, x, spacing,
                           [&](const KTextLayout::Placed &g, int32_t pen) { drawGlyph(g.glyph, g.wide, pen, y); });
}

int32_t KText::getStringWidth(const char *text, int32_t spacing) {
    return _surf_Fonts ? KTextLayout::measure(_fontTable, _wideTable, text, spacing) : -1;
}

void KText::drawStringCentered(const char *text, int32_t x1, int32_t x2, int32_t y, int32_t spacing) {
    const int32_t width = getStringWidth(text, spacing);
    if (width > 0)
        drawStringFromLeft(text, KTextLayout::centredStart(x1, x2, width), y, spacing);
}
