#pragma once
// Glyph placement for KText, free of GL so the layout rules can be tested alone.
#include "KText.h"

#include <cstring>

namespace KTextLayout {

int32_t getCharIndex(const KFont *table, char character);                 // first record for it, or -1
int32_t measure(const KFont *table, const char *text, int32_t spacing);  // -1: no table, no text or empty
int32_t centredStart(int32_t x1, int32_t x2, int32_t width);           // left edge centring width in x1..x2

// Calls place(glyphIndex, penX) for each character the table holds, first to last,
// starting at x; missing characters leave no gap.
template <class Place>
void fromLeft(const KFont *table, const char *text, int32_t x, int32_t spacing, Place place) {
    for (const char *c = text; *c; ++c) {
        const int32_t i = getCharIndex(table, *c);
        if (i < 0)
            continue;
        place(i, x);
        x += table[i]._w + spacing;
    }
}

// Same, last character first, each glyph placed so the string ends at x.
template <class Place>
void fromRight(const KFont *table, const char *text, int32_t x, int32_t spacing, Place place) {
    for (const char *c = text + std::strlen(text); c-- != text;) {
        const int32_t i = getCharIndex(table, *c);
        if (i < 0)
            continue;
        x -= table[i]._w + spacing;
        place(i, x);
    }
}

}  // namespace KTextLayout
