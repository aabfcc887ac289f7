#include "KText.h"

#include "KGraphic.h"
#include "KTextLayout.h"

KText::KText(const char *fontPicturePath, KFont *table) : _surf_Fonts(new KGraphic), _fontTable(table) {
    _surf_Fonts->loadPicture(fontPicturePath, true, false, true);
}

KText::~KText() {
    delete _surf_Fonts;
    _surf_Fonts = nullptr;
    _fontTable = nullptr;
}

void KText::drawGlyph(int32_t index, int32_t x, int32_t y) {
    const KFont &g = _fontTable[index];
    _surf_Fonts->blitAlphaRect(g._x1, g._y1, g._x2, g._y2, int16_t(x), int16_t(y), false, false);
}

void KText::drawStringFromLeft(const char *text, int32_t x, int32_t y, int32_t spacing) {
    if (!_surf_Fonts || !text)
        return;
    KTextLayout::fromLeft(_fontTable, text, x, spacing, [&](int32_t i, int32_t pen) { drawGlyph(i, pen, y); });
}

void KText::drawStringFromRight(const char *text, int32_t x, int32_t y, int32_t spacing) {
    if (!_surf_Fonts || !text)
        return;
    KTextLayout::fromRight(_fontTable, text, x, spacing, [&](int32_t i, int32_t pen) { drawGlyph(i, pen, y); });
}

int32_t KText::getStringWidth(const char *text, int32_t spacing) {
    return _surf_Fonts ? KTextLayout::measure(_fontTable, text, spacing) : -1;
}

void KText::drawStringCentered(const char *text, int32_t x1, int32_t x2, int32_t y, int32_t spacing) {
    const int32_t width = getStringWidth(text, spacing);
    if (width > 0)
        drawStringFromLeft(text, KTextLayout::centredStart(x1, x2, width), y, spacing);
}
