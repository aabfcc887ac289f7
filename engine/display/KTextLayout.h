#pragma once
// Glyph placement for KText, free of GL so the layout rules can be tested alone.
#include "KText.h"

#include <cstring>
#include <vector>

namespace KTextLayout {

int32_t getCharIndex(const KFont *table, char character);                 // first record for it, or -1
int32_t centredStart(int32_t x1, int32_t x2, int32_t width);           // left edge centring width in x1..x2

// One character's glyph: a record of the font's table, or of its table beyond ASCII (wide).
struct Placed {
    KFont glyph;
    bool wide;
};

// The glyphs of text, first to last, the characters a table lacks left out. Without a wide
// table every byte is a character (bytes above 127 match table entries that list them);
// with one, a valid UTF-8 sequence is one character, found there, and any other byte is
// looked up alone in the table.
std::vector<Placed> glyphsOf(const KFont *table, const KGlyph *wide, const char *text);
int32_t measure(const KFont *table, const KGlyph *wide, const char *text, int32_t spacing);  // -1: no table, no text or empty

// Calls place(glyph, penX) for each glyph, first to last, starting at x.
template <class Place>
void fromLeft(const KFont *table, const KGlyph *wide, const char *text, int32_t x, int32_t spacing, Place place) {
    for (const Placed &g : glyphsOf(table, wide, text)) {
        place(g, x);
        x += g.glyph._w + spacing;
    }
}

// Same, last character first, each glyph placed so the string ends at x.
template <class Place>
void fromRight(const KFont *table, const KGlyph *wide, const char *text, int32_t x, int32_t spacing, Place place) {
    const std::vector<Placed> glyphs = glyphsOf(table, wide, text);
    for (auto g = glyphs.rbegin(); g != glyphs.rend(); ++g) {
        x -= g->glyph._w + spacing;
        place(*g, x);
    }
}

}  // namespace KTextLayout
