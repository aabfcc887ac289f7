"""The in-game picture and the game-over and name-entry panels."""
import numpy as np

from . import icons
from . import layout as L
from . import paint as P
from . import theme
from .imagefile import new_surface, px, to_rgba
from .words import word

BOARD = (L.BOARD_X - 3, L.BOARD_Y - 3, L.BOARD_X - 3 + L.COLS * L.CELL, L.BOARD_Y - 3 + L.ROWS * L.CELL)
SCORE_PLATE = (425, 436, 602, 473)
TIMER_PLATE = (550, 31, 632, 60)
MODE_PLATE = (12, 31, 90, 60)
PLATES = {0: ('#02060c', '#142033'), 1: ('#3a0d2a', '#6e2457'), 2: ('#050607', '#1d2228')}


def _plate(ctx, skin, rect):
    x1, y1, x2, y2 = rect
    style = 'round' if skin['shape'] == 'pill' else skin['shape']
    P.shape(ctx, style, x1 + 0.5, y1 + 0.5, x2 - x1 - 1, y2 - y1 - 1, 6)
    top, bottom = PLATES[skin['number']]
    P.fill_path(ctx, P.vertical_gradient(y1, y2, [(0, P.rgb(top, 0.9)), (1, P.rgb(bottom, 0.9))]), True)
    P.stroke_path(ctx, skin['well_border'], 1.5)


def _board(ctx, skin):
    x1, y1, x2, y2 = BOARD
    theme.well(ctx, skin, x1 - 8, y1 - 8, x2 - x1 + 16, y2 - y1 + 16)
    for cx in range(L.COLS):
        for cy in range(L.ROWS):
            tx, ty = x1 + cx * L.CELL, y1 + cy * L.CELL
            ctx.rectangle(tx, ty, L.CELL, L.CELL)
            P.fill_path(ctx, skin['tile_a'] if (cx + cy) % 2 == 0 else skin['tile_b'])
            P.rounded_rect(ctx, tx + 2.5, ty + 2.5, L.CELL - 5, L.CELL - 5, 5)
            P.stroke_path(ctx, skin['tile_line'], 1)
    ctx.rectangle(x1 + 0.5, y1 + 0.5, x2 - x1 - 1, y2 - y1 - 1)
    P.stroke_path(ctx, P.with_alpha(skin['well_border'], 0.6), 1)


def _hud(ctx, skin):
    theme.logo(ctx, skin, 320, 42, 36)
    _plate(ctx, skin, MODE_PLATE)
    _plate(ctx, skin, TIMER_PLATE)
    _plate(ctx, skin, SCORE_PLATE)
    colour = skin['text'] if skin['number'] != 1 else skin['heading']
    P.text(ctx, word('score'), 418, 455, skin['label_family'], 13, colour, align='right',
           shadow=(0, 0, 0, 0.4) if skin['number'] != 1 else (1, 1, 1, 0.7), box=(336, 441, 422, 470))
    P.text(ctx, word('time'), 544, 45, skin['label_family'], 12, colour, align='right',
           shadow=(0, 0, 0, 0.4) if skin['number'] != 1 else (1, 1, 1, 0.7), box=(400, 32, 547, 59))


GAME_ICONS = [icons.refresh, icons.bulb, icons.house]


def _buttons(ctx, skin, lit):
    for ((x1, y1, x2, y2), caption), icon in zip(L.GAME_BUTTONS, GAME_ICONS):
        if not lit:
            P.soft_shadow(ctx, lambda: P.shape(ctx, skin['shape'], x1, y1 + 2, x2 - x1, y2 - y1,
                                               skin['radius']), (0, 0, 0, 0.35), 2, 3)
        theme.button(ctx, skin, x1, y1, x2 - x1, y2 - y1, word(caption), lit, 12,
                     icon=icon if x2 - x1 > 60 else None)


def _screen(skin, *parts):
    surf = new_surface(640, 480)
    ctx = P.context(surf)
    theme.background(ctx, skin)
    for part in parts:
        part(ctx)
    return to_rgba(surf)


def _pause(ctx, skin):
    x, y = L.PAUSE_AT
    w, h = L.PAUSE_SRC[2] - L.PAUSE_SRC[0], L.PAUSE_SRC[3] - L.PAUSE_SRC[1]
    ctx.rectangle(x, y, w, h)
    P.fill_path(ctx, P.vertical_gradient(y, y + h, [(0, skin['well_top']), (1, skin['well_bottom'])]))
    ctx.save()
    ctx.rectangle(x, y, w, h)
    ctx.clip()
    for i in range(0, w + h, 14):
        ctx.move_to(x + i, y)
        ctx.line_to(x + i - h, y + h)
    P.stroke_path(ctx, P.with_alpha(skin['well_line'], 0.25), 5)
    ctx.restore()
    cx, cy = x + w / 2, y + h / 2
    theme.card(ctx, skin, cx - 150, cy - 70, 300, 140, 14)
    icons.pause(ctx, cx, cy - 32, 34, skin['heading'])
    theme.heading(ctx, skin, word('paused'), cx, cy + 12, 30, 'center', box=(cx - 146, cy - 10, cx + 146, cy + 33))
    # TRANSLATORS: P is the key that pauses and plays on, whatever the language
    P.text(ctx, word('press P to play on'), cx, cy + 44, P.SANS, 13, skin['text'], align='center', bold=False,
           box=(cx - 146, cy + 33, cx + 146, cy + 66))


def _mode_label(ctx, skin, rect, caption):
    x1, y1, x2, y2 = rect
    colour = skin['accent'] if skin['number'] != 1 else P.rgb('#ff8cc6')
    # Kept a column off the neighbours it touches; the outline may reach the top and
    # bottom rows, which the game still shows.
    P.text(ctx, word(caption), (x1 + x2) / 2, (y1 + y2) / 2, skin['label_family'], 12, colour, align='center',
           outline=(0, 0, 0, 0.85), outline_width=1.6, box=(x1 + 1, y1 - 1, x2 - 1, y2 + 1))


def _zap_label(ctx, skin):
    x1, y1, x2, y2 = L.ZAP_SRC
    cx, cy = (x1 + x2) / 2, (y1 + y2) / 2
    box = (x1 + 1, y1 + 1, x2 - 1, y2 - 1)
    P.note_box(ctx, box)
    # TRANSLATORS: flashed over the board when no move is left and it is replaced
    caption = word('NO MOVES: ZAP!')
    size, lines = P.fitted(ctx, caption, cx, cy, P.SANS, 30, True, 'center', 1, True, box, (4, 4, 4, 4))
    P.set_font(ctx, P.SANS, size)
    ext = ctx.text_extents('Z')
    lead = size * P.LEADING
    places = [(cx - P.text_width(ctx, line, 1) / 2, cy + ext.height / 2 + (i - (len(lines) - 1) / 2) * lead)
              for i, line in enumerate(lines)]

    def path():
        for line, (bx, base) in zip(lines, places):
            P.text_path(ctx, line, bx, base, 1)
    P.glow(ctx, path, P.rgb('#ffe066'), 4, 4)
    path()
    P.stroke_path(ctx, P.rgb('#2a0a00'), 4)
    path()
    top, base = places[0][1] - ext.height, places[-1][1]
    P.fill_path(ctx, P.vertical_gradient(top, base, [(0, P.rgb('#ffffff')), (0.5, P.rgb('#ffe14a')),
                                                     (1, P.rgb('#ff7a00'))]))
    P.mark_box(ctx, box)


def ingame_picture(skin):
    """1024 x 1024 RGBA in-game picture of a skin."""
    board = lambda ctx: _board(ctx, skin)
    hud = lambda ctx: _hud(ctx, skin)
    base = _screen(skin, board, hud, lambda ctx: _buttons(ctx, skin, False))
    lit = _screen(skin, board, hud, lambda ctx: _buttons(ctx, skin, False), lambda ctx: _buttons(ctx, skin, True))
    paused = _screen(skin, board, hud, lambda ctx: _pause(ctx, skin))
    out = np.zeros((px(1024), px(1024), 4), np.uint8)
    out[:px(480), :px(640)] = base
    for rect, _ in L.GAME_BUTTONS:
        x1, y1, x2, y2 = px(*rect)
        out[y1 + px(L.LIT):y2 + px(L.LIT), x1:x2] = lit[y1:y2, x1:x2]
    ax, ay = px(*L.PAUSE_AT)
    sx1, sy1, sx2, sy2 = px(*L.PAUSE_SRC)
    out[sy1:sy2, sx1:sx2] = paused[ay:ay + sy2 - sy1, ax:ax + sx2 - sx1]
    labels = new_surface(1024, 1024)
    ctx = P.context(labels)
    for rect, _, caption in L.MODE_LABELS:
        ctx.save()
        x1, y1, x2, y2 = rect
        ctx.rectangle(x1, y1 - 1, x2 - x1, y2 - y1 + 2)   # the label's box, a row above and below it
        ctx.clip()
        _mode_label(ctx, skin, rect, caption)
        ctx.restore()
    _zap_label(ctx, skin)
    overlay = to_rgba(labels)
    mask = overlay[..., 3] > 0
    out[mask] = overlay[mask]
    return out


# ---- game over and name entry ---------------------------------------------------

def _panel(ctx, skin, w, h, square):
    if square:
        ctx.rectangle(0, 0, w, h)
        P.fill_path(ctx, P.vertical_gradient(0, h, [(0, skin['well_top']), (1, skin['well_bottom'])]), True)
        P.stroke_path(ctx, skin['well_border'], 6)
        ctx.rectangle(6.5, 6.5, w - 13, h - 13)
        P.stroke_path(ctx, skin['well_line'], 1)
        return
    theme.well(ctx, skin, 6, 4, w - 12, h - 12)


def gameover_picture(skin):
    w, h = L.GAMEOVER_SIZE
    surf = new_surface(w, h)
    ctx = P.context(surf)
    _panel(ctx, skin, w, h, False)
    theme.heading(ctx, skin, word('game over'), w / 2, 62, 40, 'center', box=(14, 36, w - 14, 90))
    P.text(ctx, word('thanks for playing!'), w / 2, 108, P.SANS, 15, skin['text'], align='center',
           box=(14, 94, w - 14, 122))
    # TRANSLATORS: "new game" and "menu" are the buttons below the board; two lines
    P.text(ctx, word('new game plays again,\nmenu goes back to the menu'), w / 2, 149, P.SANS, 12, skin['text_dim'],
           align='center', bold=False, leading=18, box=(14, 128, w - 14, 172))
    return to_rgba(surf)


def entry_picture(skin, square=False):
    """Name-entry panel; the typed name lands at (232, 314) inside its field."""
    w, h = L.ENTRY_SIZE
    surf = new_surface(w, h)
    ctx = P.context(surf)
    _panel(ctx, skin, w, h, square)
    theme.heading(ctx, skin, word('new high score!'), w / 2, 46, 28, 'center', box=(14, 26, w - 14, 66))
    P.text(ctx, word('relax mode') if square else word('you made the table'), w / 2, 82, P.SANS, 13, skin['text'],
           align='center', box=(14, 70, w - 14, 94))
    for dx, size in ((-46, 9), (0, 34), (46, 9)):
        (icons.trophy if dx == 0 else _star)(ctx, w / 2 + dx, 128 + (8 if dx else 0), size, skin['heading'])
    ex, ey = L.entry_at(L.ENTRY_SIZE)
    nx, ny = L.NAME_AT[0] - ex, L.NAME_AT[1] - ey
    # Centred on the panel; the widest name (19 letters of 11 pixels) and the cursor
    # after it end by x 448, the pencil fills the room left of the name.
    fx, fw = nx - 56, 282
    P.text(ctx, word('your name:'), fx + 4, ny - 22, P.SANS, 12, skin['text_dim'], bold=True,
           box=(fx + 2, ny - 33, fx + fw, ny - 10))
    _name_field(ctx, skin, fx, ny - 8, fw, 27)
    icons.pencil(ctx, nx - 29, ny + 5, 22, (1, 1, 1, 0.85))
    # TRANSLATORS: Enter is the key; the name itself takes only the letters A to Z
    P.text(ctx, word('type your name, then press Enter'), w / 2, ny + 42, P.SANS, 12, skin['text_dim'],
           align='center', bold=False, box=(14, ny + 31, w - 14, ny + 54))
    return to_rgba(surf)


def _star(ctx, cx, cy, size, colour):
    P.star(ctx, cx, cy, size, size * 0.45, 5)
    P.fill_path(ctx, colour)


FIELD = {0: ('#5a86d0', '#3a64ad'), 1: ('#d06a9f', '#a8437a'), 2: ('#6e7a88', '#4a5460')}


def _name_field(ctx, skin, x, y, w, h):
    """Mid-tone field: the white letters and the black cursor both show on it."""
    top, bottom = FIELD[skin['number']]
    P.rounded_rect(ctx, x + 0.5, y + 0.5, w - 1, h - 1, 5)
    P.fill_path(ctx, P.vertical_gradient(y, y + h, [(0, P.rgb(top)), (1, P.rgb(bottom))]), True)
    P.stroke_path(ctx, skin['well_border'], 1.5)
    P.rounded_rect(ctx, x + 2, y + 2, w - 4, h / 2 - 2, 4)
    P.fill_path(ctx, (1, 1, 1, 0.12))
