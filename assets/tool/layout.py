"""Where the game draws things: screen rectangles and picture regions.

Rectangles are (x1, y1, x2, y2), right and bottom edges exclusive, unless noted.
"""
LIT = 480  # lit states sit this far below the place they are shown


def N_(caption):
    """Marks a caption for the catalogs; the art tool draws it through word()."""
    return caption


# Menu picture ---------------------------------------------------------------
MAIN_BUTTONS = [  # edges inclusive on screen; the lit copy spans x1..x2, y1..y2
    ((415, 137, 533, 160), N_('game mode')),
    ((415, 164, 561, 189), N_('how to play')),
    ((415, 193, 521, 216), N_('options')),
    ((415, 222, 561, 245), N_('high scores')),
    ((415, 249, 509, 274), N_('credits')),
    ((415, 278, 470, 301), N_('quit')),
]
PLAY = (431, 342, 553, 405)             # lit copy from (431, 822)
PLAY_DISC = (467, 346, 511, 382)        # hot zones of the play button
PLAY_BAR = (437, 381, 538, 399)
WELL = (58, 76, 406, 440)               # frame that holds every panel

PANEL0 = (105, 138, 354, 384)           # screen; source is 480 lower
MODE_ROWS = [(105, 138, 360, 176), (105, 190, 360, 229), (105, 242, 360, 280), (105, 295, 360, 334)]
MODE_NAMES = [N_('sixty seconds'), N_('five minutes'), N_('million'), N_('relax')]
MODE_HINTS = [N_('score all you can in one minute'), N_('score all you can in five minutes'),
              N_('reach 1 000 000 points, fast'), N_('no clock, no pressure')]
DIFF_BOXES = [(131, 359, 188, 385), (198, 359, 280, 385), (293, 359, 345, 385)]
DIFF_NAMES = [N_('easy'), N_('normal'), N_('hard')]
MODE_MARKERS = [(86, 141), (86, 194), (86, 245), (86, 299)]      # 20 x 18
MODE_MARKER_SIZE = [(20, 18), (20, 19), (20, 20), (20, 18)]
DIFF_MARKERS = [(149, 384), (230, 384), (311, 384)]
DIFF_MARKER_SIZE = [(21, 17), (20, 17), (19, 17)]

PANEL1_SRC, PANEL1_AT = (641, 0, 973, 347), (67, 84)
PANEL2_SRC, PANEL2_AT = (641, 706, 971, 990), (67, 86)
PANEL3_SRC, PANEL3_AT = (642, 385, 960, 680), (71, 113)
KNOB_SRC = (582, 979, 598, 994)
KNOB_Y = 246
VOLUME_X0 = 176                         # knob drawn at volume + 176
VOLUME_TRACK = (180, 250, 306, 258)     # screen; the game copies its filled look from
VOLUME_FILL_SRC = (8, 1000, 134, 1008)  # here, volume + 8 pixels wide
VOLUME_SLIDER = (182, 250, 299, 269)   # screen, open bounds; the volume is x - 182
RESET_LIT_SRC, RESET_AT = (679, 997, 892, 1023), (105, 138)
RESET_BUTTON = (101, 149, 316, 176)    # screen, open bounds
HIGH_TABS = [(105, 117, 168, 137), (169, 117, 233, 137), (234, 117, 297, 137), (300, 117, 363, 137)]
TAB_NAMES = [N_('60 s'), N_('5 min'), N_('million'), N_('relax')]
TAB_LIT = [((x1 + 575, 358, x2 + 572, 382), (x1 + 4, 113)) for x1, _, x2, _ in HIGH_TABS]  # picture, screen
HIGH_NAME_Y = [151, 175, 198, 233, 257, 280, 315, 339, 362]
HIGH_NAME_X, HIGH_SCORE_RIGHT, HIGH_NAME_GAP = 110, 360, 6   # scores end at the right; names stop short of them

GEM_ROW_X, GEM_ROW_Y = 61, 306          # gem j (1..7) of the set at ((width + 4) * j + 61, 306)
GEM_NAME = (95, 383, 355)               # set name centred between x 95 and 383, at y 355
GEM_SET_BUTTON = (80, 300, 398, 371)    # screen, open bounds: a click shows the next set

CREDITS_AT = (73, 129)                  # picture column 8 lands here
CREDITS_SIZE = (334, 290)
CREDITS_MAIL = (80, 190, 260, 227)      # screen, open bounds
CREDITS_WEB = (161, 315, 343, 399)

# In-game picture ------------------------------------------------------------
CELL, BOARD_X, BOARD_Y, COLS, ROWS = 42, 71, 90, 12, 8
GEM = 36
CURSOR_SIZE, CURSOR_AT = (46, 46), (-2, -2)   # board cursor's frame picture, placed from its cell's corner
GAME_BUTTONS = [((70, 438, 170, 465), N_('new game')), ((200, 438, 247, 465), N_('hint')),
                ((265, 438, 330, 465), N_('menu'))]
SCORE_AT, TIMER_AT = (435, 442), (560, 37)
PAUSE_SRC, PAUSE_AT = (69, 498, 571, 832), (69, 88)
MODE_LABELS = [((675, 20, 713, 36), (25, 37), N_('60 s')), ((716, 20, 776, 36), (20, 37), N_('5 min')),
               ((776, 20, 833, 36), (20, 37), N_('million')), ((833, 20, 883, 36), (20, 37), N_('relax'))]
ZAP_SRC, ZAP_AT = (671, 231, 1011, 277), (150, 200)

# Driver page ----------------------------------------------------------------
DRIVER_CONTINUE = (334, 362, 459, 479)  # screen, edges inclusive
DRIVER_DOWNLOAD = (504, 362, 638, 479)

# Game-over and name entry --------------------------------------------------------
GAMEOVER_SIZE = (360, 210)
ENTRY_SIZE = (400, 250)
NAME_AT = (232, 314)

# Marks are centred on the gem: size = 2 * (gem centre - drawing offset)
MARK_OFFSETS = {'bomb': (6, 5), 'horiz': (6, 7), 'verti': (5, 5), 'xzap': (6, 6), 'question': (6, 5)}


def mark_size(name):
    ox, oy = MARK_OFFSETS[name]
    return GEM - 2 * ox, GEM - 2 * oy


def centred_at(size):
    """Top-left of a game-over picture of this size (centred on the play band)."""
    w, h = size
    return int((640 - w) / 2), int((357 - h) / 2 + 77)


def entry_at(size):
    x, y = centred_at(size)
    return x - 3, y - 1


# The same table for the game's code --------------------------------------------
# Written at build time into brolix_layout.h: python3 layout.py OUT.h. Captions stay
# here; four numbers are a Rect, two a Point (a Size when the name ends in _SIZE),
# a rectangle with its place a Placed, a table of points a struct of its names.

CPP_TYPES = '''struct Rect { int x1, y1, x2, y2; };
struct Point { int x, y; };
struct Size { int w, h; };
struct Placed { Rect src; Point at; };   // a region of a picture and where it is drawn'''


def _without_captions(value):
    if isinstance(value, (tuple, list)):
        items = [_without_captions(v) for v in value if not isinstance(v, str)]
        if isinstance(value, tuple):
            return items[0] if len(items) == 1 else tuple(items)
        return items
    return value


def _cpp_type(name, value):
    if isinstance(value, int):
        return 'int'
    if isinstance(value, list):
        return _cpp_type(name, value[0])
    if all(isinstance(v, int) for v in value):
        return {4: 'Rect', 2: 'Size' if name.endswith('_SIZE') else 'Point'}.get(len(value), 'int')
    if [len(v) for v in value] == [4, 2]:
        return 'Placed'
    raise ValueError('%s: no C++ type for %r' % (name, value))


def _cpp_value(value):
    if isinstance(value, int):
        return str(value)
    return '{' + ', '.join(_cpp_value(v) for v in value) + '}'


def _cpp_struct(name, table):
    words = name.lower().split('_')
    struct = ''.join(w.capitalize() for w in words)
    fields = ', '.join(table)
    return 'struct %s { Point %s; };\ninline constexpr %s %s = {%s};' % (
        struct, fields, struct, name, ', '.join(_cpp_value(v) for v in table.values()))


def _cpp_line(name, value):
    if isinstance(value, dict):
        return _cpp_struct(name, value)
    value = _without_captions(value)
    if value == []:
        return None
    kind = _cpp_type(name, value)
    array = isinstance(value, list) or kind == 'int' and isinstance(value, tuple)
    size = '[%d]' % len(value) if array else ''
    return 'inline constexpr %s %s%s = %s;' % (kind, name, size, _cpp_value(value))


def cpp_header():
    names = [n for n, v in globals().items() if n.isupper() and not isinstance(v, str) and not callable(v)]
    lines = [line for line in (_cpp_line(n, globals()[n]) for n in names) if line]
    return ('// Screen regions and picture places, by the names of assets/tool/layout.py, which\n'
            '// writes this file at build time; the art is drawn from the same table.\n'
            '#pragma once\n\nnamespace layout {\n\n%s\n\n%s\n\n}  // namespace layout\n'
            % (CPP_TYPES, '\n'.join(lines)))


if __name__ == '__main__':
    import os
    import sys
    os.makedirs(os.path.dirname(os.path.abspath(sys.argv[1])), exist_ok=True)
    with open(sys.argv[1], 'w') as out:
        out.write(cpp_header())
