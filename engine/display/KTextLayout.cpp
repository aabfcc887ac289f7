#include "KTextLayout.h"

namespace KTextLayout {

int32_t getCharIndex(const KFont *table, char character) {
    if (!table)
        return -1;
    for (int32_t i = 0; table[i]._c != 0; ++i)
        if (table[i]._c == character)
            return i;
    return -1;
}

// The code point of the UTF-8 sequence at text and its length; 0 when none starts there
// (a stray, overlong or cut byte).
static uint32_t decode(const unsigned char *text, int &length) {
    const unsigned char c = text[0];
    length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
    if (length == 0 || (c & 0xF8) == 0xF8)
        return length = 0;
    uint32_t point = c & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80)
            return length = 0;
        point = point << 6 | (text[i] & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return length = 0;
    return point;
}

std::vector<Placed> glyphsOf(const KFont *table, const KGlyph *wide, const char *text) {
    std::vector<Placed> out;
    if (!table || !text)
        return out;
    for (const char *c = text; *c;) {
        int length = 0;
        const uint32_t point = wide && static_cast<unsigned char>(*c) >= 0x80
                                   ? decode(reinterpret_cast<const unsigned char *>(c), length)
                                   : 0;
        if (length > 0) {
            for (const KGlyph *g = wide; g->_c != 0; ++g)
                if (g->_c == point) {
                    out.push_back({{char(1), g->_x1, g->_y1, g->_x2, g->_y2, g->_w, g->_h}, true});
                    break;
                }
            c += length;
            continue;
        }
        const int32_t i = getCharIndex(table, *c++);
        if (i >= 0)
            out.push_back({table[i], false});
    }
    return out;
}

int32_t measure(const KFont *table, const KGlyph *wide, const char *text, int32_t spacing) {
    if (!table || !text || !*text)
        return -1;
    int32_t width = 0;
    for (const Placed &g : glyphsOf(table, wide, text))
        width += g.glyph._w + spacing;
    return width;
}

int32_t centredStart(int32_t x1, int32_t x2, int32_t width) { return x1 + (x2 - x1 - width) / 2; }

}  // namespace KTextLayout
