#pragma once
// Single-line text drawn from a bitmap font: one picture holding every glyph and a
// table saying where each glyph lies and how far the pen moves after it.
#include <cstdint>

class KGraphic;

// One glyph record; a table of them ends with a record whose _c is 0.
struct KFont {
    char _c;            // the character this glyph draws; 0 ends the table
    int16_t _x1, _y1;   // top-left corner in the font picture
    int16_t _x2, _y2;   // bottom-right corner, exclusive
    int16_t _w;         // pen advance after the glyph, before spacing
    int16_t _h;         // glyph height; informational
};

// A glyph beyond ASCII, drawn from a second picture: text is UTF-8 once a font has them.
struct KGlyph {
    uint32_t _c;        // the character (a Unicode code point); 0 ends the table
    int16_t _x1, _y1, _x2, _y2, _w, _h;   // as KFont's
};

class KText {
public:
    KText(const char *fontPicturePath, KFont *table);   // table is borrowed and must outlive the text; a font picture that fails to load draws nothing (its message box says why)
    // Characters beyond ASCII from a picture and table of their own (borrowed): the text is
    // read as UTF-8 from then on; a byte that starts no character it holds is looked up alone.
    void addGlyphs(const char *picturePath, const KGlyph *table);
    ~KText();
    KText(const KText &) = delete;
    KText &operator=(const KText &) = delete;

    void drawStringFromLeft(const char *text, int32_t x, int32_t y, int32_t spacing);      // first glyph at (x, y)
    void drawStringFromRight(const char *text, int32_t x, int32_t y, int32_t spacing);     // string ends at x
    void drawStringCentered(const char *text, int32_t x1, int32_t x2, int32_t y, int32_t spacing);
    int32_t getStringWidth(const char *text, int32_t spacing);  // -1 for an empty string

    KGraphic *_surf_Fonts;  // owned font picture
    KFont *_fontTable;      // borrowed glyph table

private:
    KGraphic *_wideFonts = nullptr;     // owned picture of the glyphs beyond ASCII
    const KGlyph *_wideTable = nullptr;
    void drawGlyph(const KFont &glyph, bool wide, int32_t x, int32_t y);
};
