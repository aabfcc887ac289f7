"""Glyph tables of the three bitmap fonts: where each character lies in its font picture
and how far the pen moves after it. fonts.py draws the pictures inside these rectangles;
python3 glyphs.py OUT.h writes the same tables for the game's code (KFont records)."""

# (character, x1, y1, x2, y2, advance, height); x2 and y2 exclusive, height informational
TIMER = [('1', 21, 6, 28, 22, 7, 16), ('2', 30, 6, 43, 22, 13, 16), ('3', 45, 6, 59, 22, 14, 16),
         ('4', 58, 6, 71, 22, 13, 16), ('5', 4, 25, 16, 40, 12, 16), ('6', 18, 25, 30, 40, 12, 16),
         ('7', 33, 25, 43, 40, 10, 16), ('8', 45, 25, 58, 40, 13, 16), ('9', 60, 25, 72, 40, 12, 16),
         ('0', 3, 6, 18, 22, 15, 16), (':', 73, 25, 82, 40, 9, 16), (' ', 0, 30, 10, 40, 10, 10)]
SCORE = [('1', 0, 0, 11, 25, 11, 25), ('2', 11, 0, 31, 25, 20, 25), ('3', 30, 0, 50, 25, 20, 25),
         ('4', 51, 0, 68, 25, 17, 25), ('5', 68, 0, 86, 25, 17, 25), ('6', 87, 0, 105, 25, 18, 25),
         ('7', 106, 0, 123, 25, 17, 25), ('8', 122, 0, 142, 25, 20, 25), ('9', 143, 0, 162, 25, 19, 25),
         ('0', 162, 0, 183, 25, 21, 25), (':', 184, 0, 195, 25, 11, 25), (' ', 201, 0, 219, 25, 18, 25)]
MENU = [('a', 10, 8, 18, 17, 9, 10), ('b', 22, 8, 30, 17, 9, 10), ('c', 32, 8, 41, 17, 10, 10),
        ('d', 43, 8, 52, 17, 10, 10), ('e', 55, 8, 63, 17, 9, 10), ('f', 66, 8, 73, 17, 8, 10),
        ('g', 77, 8, 86, 17, 10, 10), ('h', 9, 25, 17, 34, 9, 10), ('i', 20, 25, 23, 34, 4, 10),
        ('j', 26, 25, 35, 34, 10, 10), ('k', 36, 25, 45, 34, 10, 10), ('l', 47, 25, 54, 34, 8, 10),
        ('m', 57, 25, 67, 34, 11, 10), ('n', 70, 25, 80, 34, 11, 10), ('o', 7, 44, 17, 53, 11, 10),
        ('p', 20, 44, 28, 53, 9, 10), ('q', 31, 44, 41, 53, 11, 10), ('r', 43, 44, 52, 53, 10, 10),
        ('s', 54, 44, 63, 53, 10, 10), ('t', 66, 44, 73, 53, 8, 10), ('u', 76, 44, 85, 52, 10, 9),
        ('v', 87, 44, 94, 53, 8, 10), ('w', 10, 63, 20, 72, 11, 10), ('x', 21, 63, 29, 72, 9, 10),
        ('y', 31, 63, 39, 72, 9, 10), ('z', 42, 63, 50, 72, 9, 10), ('0', 7, 82, 19, 93, 13, 12),
        ('1', 23, 82, 28, 99, 6, 11), ('2', 32, 82, 43, 96, 11, 12), ('3', 46, 82, 56, 96, 11, 12),
        ('4', 61, 82, 70, 96, 10, 11), ('5', 74, 82, 84, 96, 11, 12), ('8', 35, 101, 45, 115, 11, 13),
        ('6', 8, 101, 18, 115, 11, 13), ('7', 22, 101, 31, 115, 10, 12), ('9', 50, 101, 60, 115, 11, 13),
        (':', 64, 101, 69, 115, 6, 12), (' ', 106, 100, 118, 111, 6, 12)]

try:
    from .words import N_, catalog, languages
except ImportError:   # run as a script to write the header
    from words import N_, catalog, languages

# Words the game draws at run time with the menu font, from the catalogs: the built-in
# gem sets' names (lower case: the font draws small capitals).
SET_NAMES = [N_('jewels'), N_('marbles'), N_('clear shapes')]

# What the catalogs add to the menu font comes beside it, in a picture of its own: one
# cell per character, in rows, CJK characters a little wider and taller than letters.
MENU_WIDE_PICTURE = 'highscalpw.tga'
WIDE_COLUMNS, WIDE_CELL, WIDE_CJK_CELL = 10, (12, 12), (13, 14)


def _cjk(ch):
    return ord(ch) >= 0x2E80


def menu_wide_characters():
    """Every character the languages' set names need that the menu font lacks."""
    ascii_font = {g[0] for g in MENU}
    needed = {ch for code in languages() for name in SET_NAMES for ch in catalog(code).gettext(name).lower()}
    return sorted(ch for ch in needed if ch not in ascii_font and not ch.isspace())


def menu_wide():
    """(character, x1, y1, x2, y2, advance, height) of each, as the other tables."""
    table = []
    for i, ch in enumerate(menu_wide_characters()):
        col, row = i % WIDE_COLUMNS, i // WIDE_COLUMNS
        w, h = WIDE_CJK_CELL if _cjk(ch) else WIDE_CELL
        x, y = col * WIDE_CJK_CELL[0], row * WIDE_CJK_CELL[1]
        table.append((ch, x + 1, y + 1, x + w - 1, y + h - 2, w - 1, h - 3))
    return table


def wide_size():
    """The picture's logical size: whole rows of cells, at least one."""
    rows = max(1, -(-len(menu_wide_characters()) // WIDE_COLUMNS))
    return WIDE_COLUMNS * WIDE_CJK_CELL[0] + 2, rows * WIDE_CJK_CELL[1]


TABLES = {'GLYPHS_TIMER': TIMER, 'GLYPHS_SCORE': SCORE, 'GLYPHS_MENU': MENU}


def _cpp_record(glyph):
    c = glyph[0]
    if len(c) != 1 or not c.isprintable() or not c.isascii():
        raise ValueError('no one-byte C++ character for %r' % c)
    return '{%s, %s}' % ("'\\%s'" % c if c in "'\\" else "'%s'" % c, ', '.join(map(str, glyph[1:])))


def _cpp_macro(name, table):
    records = [_cpp_record(g) for g in table] + ['{0, 0, 0, 0, 0, 0, 0}']
    rows = [', '.join(records[i:i + 3]) for i in range(0, len(records), 3)]
    return '// %d glyphs and the end record\n#define %s { \\\n    %s}' % (len(table), name, ', \\\n    '.join(rows))


def _wide_macro(table):
    records = ['{0x%04X, %s}' % (ord(g[0]), ', '.join(map(str, g[1:]))) for g in table] + ['{0, 0, 0, 0, 0, 0, 0}']
    rows = [', '.join(records[i:i + 3]) for i in range(0, len(records), 3)]
    return ('// %d glyphs beyond ASCII, in %s, and the end record\n#define GLYPHS_MENU_WIDE_COUNT %d\n'
            '#define GLYPHS_MENU_WIDE { \\\n    %s}' % (len(table), MENU_WIDE_PICTURE, len(table) + 1, ', \\\n    '.join(rows)))


def cpp_header():
    return ('// Glyph tables of the bitmap fonts, by the names of assets/tool/glyphs.py, which\n'
            '// writes this file at build time; the font pictures are drawn from the same tables.\n'
            '// Each is the initialiser of a KFont array; GLYPHS_MENU_WIDE, of a KGlyph array.\n'
            '#pragma once\n\n%s\n\n%s\n' % ('\n\n'.join(_cpp_macro(n, t) for n, t in TABLES.items()),
                                           _wide_macro(menu_wide())))


if __name__ == '__main__':
    import os
    import sys
    os.makedirs(os.path.dirname(os.path.abspath(sys.argv[1])), exist_ok=True)
    with open(sys.argv[1], 'w') as out:
        out.write(cpp_header())
