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

int32_t measure(const KFont *table, const char *text, int32_t spacing) {
    if (!table || !text || !*text)
        return -1;
    int32_t width = 0;
    fromLeft(table, text, 0, spacing, [&](int32_t i, int32_t) { width += table[i]._w + spacing; });
    return width;
}

int32_t centredStart(int32_t x1, int32_t x2, int32_t width) { return x1 + (x2 - x1 - width) / 2; }

}  // namespace KTextLayout
