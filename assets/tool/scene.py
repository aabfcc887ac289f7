"""Screens put together from the data folder the way the game draws them."""
import os

import numpy as np

from . import fonts, overlays
from . import layout as L
from .imagefile import read_picture


N = 1   # pixels per logical pixel of the screens drawn: the density of the pictures read


class Data:
    """Pictures of a data folder at density N, read on first use; with a language, its
    overlays laid over them as the game lays them."""

    def __init__(self, root, language=None):
        self.root, self.language = root, language
        self._cache = {}

    def __getitem__(self, name):
        if (name, N) not in self._cache:
            path = name if N == 1 else dense_path(name, N)
            pic = read_picture(os.path.join(self.root, path)).astype(np.float32)
            lang = self.language and os.path.join(self.root, 'lang', self.language, os.path.splitext(name)[0] + '.png')
            if lang and os.path.isfile(lang):
                for (x1, y1, x2, y2), part in overlays.scaled_parts(lang, N):
                    pic[y1 * N:y2 * N, x1 * N:x2 * N] = part
            self._cache[name, N] = pic
        return self._cache[name, N]


def dense_path(name, n):
    """The n-times-denser sibling of picture name (as the art tool writes it)."""
    folder, file = os.path.split(name)
    stem, ext = os.path.splitext(file)
    return os.path.join(folder, '%dx' % n, stem + ('.jpg' if ext == '.jpg' else '.png'))


def blank():
    return np.zeros((480 * N, 640 * N, 3), np.float32)


def blit(dst, pic, src, at, alpha=None):
    """blitRect (alpha None: opaque) or blitAlphaRect with an extra alpha factor."""
    sx1, sy1, sx2, sy2 = [int(v) * N for v in src]
    dx, dy = at[0] * N, at[1] * N
    w, h = sx2 - sx1, sy2 - sy1
    x0, y0 = max(dx, 0), max(dy, 0)
    x1, y1 = min(dx + w, 640 * N), min(dy + h, 480 * N)
    if x1 <= x0 or y1 <= y0:
        return
    part = pic[sy1 + y0 - dy:sy1 + y1 - dy, sx1 + x0 - dx:sx1 + x1 - dx]
    if alpha is None:
        dst[y0:y1, x0:x1] = part[..., :3]
        return
    a = part[..., 3:4] / 255.0 * alpha
    dst[y0:y1, x0:x1] = part[..., :3] * a + dst[y0:y1, x0:x1] * (1 - a)


def whole(pic):
    return (0, 0, pic.shape[1] // N, pic.shape[0] // N)


def text(dst, data, font, s, x, y, align='left'):
    table = fonts.FONTS[font][0]
    pic = data[font]
    glyphs = {c: (x1, y1, x2, y2, adv) for c, x1, y1, x2, y2, adv, _ in reversed(table)}
    chars = [glyphs[c] for c in s if c in glyphs]
    if align == 'right':
        for g in reversed(chars):
            x -= g[4]
            blit(dst, pic, g[:4], (x, y), 1.0)
        return
    if align == 'center':
        x1, x2 = x
        x = x1 + (x2 - x1 - sum(g[4] for g in chars)) // 2
    for g in chars:
        blit(dst, pic, g[:4], (x, y), 1.0)
        x += g[4]


def width(s, font):
    table = fonts.FONTS[font][0]
    adv = {c: a for c, _, _, _, _, a, _ in reversed(table)}
    return sum(adv[c] for c in s if c in adv)


# ---- menu -----------------------------------------------------------------------

HIGH_ROWS = [('ruby', 600), ('jade', 450), ('opal', 350), ('amber', 300), ('pearl', 200),
             ('topaz', 100), ('onyx', 30), ('coral', 20), ('garnet', 10)]


def score_text(tab, score):
    """A table's result as the panel writes it: points, or hh:mm:ss for the million tab."""
    if tab != 2:
        return str(score)
    return '%02d:%02d:%02d' % (score // 3600, score // 60 % 60, score % 60)


def menu(data, skin, panel, hover=None, gem_set=0, volume=100, mode=0, difficulty=1, tab=0, rows=HIGH_ROWS):
    """The menu with one panel open (0 to 4) and the pointer over 'hover'."""
    m = data['menu%d.tga' % skin]
    out = blank()
    blit(out, m, (0, 0, 640, 480), (0, 0))
    lit = [i for i, ((x1, y1, x2, y2), _) in enumerate(L.MAIN_BUTTONS) if hover == ('main', i)]
    for i in lit:
        _lit_main(out, m, i)
    if hover == 'play':
        _lit(out, m, L.PLAY)
    if panel == 0:
        _lit(out, m, L.PANEL0)
        (x, y), (w, h) = L.MODE_MARKERS[mode], L.MODE_MARKER_SIZE[mode]
        _lit(out, m, (x, y, x + w, y + h))
        (x, y), (w, h) = L.DIFF_MARKERS[difficulty], L.DIFF_MARKER_SIZE[difficulty]
        _lit(out, m, (x, y, x + w, y + h))
    elif panel == 1:
        blit(out, m, L.PANEL1_SRC, L.PANEL1_AT)
    elif panel == 2:
        blit(out, m, L.PANEL2_SRC, L.PANEL2_AT)
        for j in range(1, 8):
            gem = data['gems/set%d/gem0%d.tga' % (gem_set, j)]
            w = gem.shape[1] // N
            blit(out, gem, whole(gem), ((w + 4) * j + L.GEM_ROW_X, L.GEM_ROW_Y), 1.0)
        with open(os.path.join(data.root, 'gems/set%d/name.txt' % gem_set)) as f:
            name = f.read()
        x1, x2, y = L.GEM_NAME
        text(out, data, 'highscalp.tga', name, (x1, x2), y, 'center')
        fx1, fy1, fx2, fy2 = L.VOLUME_FILL_SRC
        blit(out, m, (fx1, fy1, min(fx2, fx1 + volume + 8), fy2), L.VOLUME_TRACK[:2])
        blit(out, m, L.KNOB_SRC, (volume + L.VOLUME_X0, L.KNOB_Y), 1.0)
        if hover == 'reset':
            blit(out, m, L.RESET_LIT_SRC, L.RESET_AT)
    elif panel == 3:
        blit(out, m, L.PANEL3_SRC, L.PANEL3_AT)
        blit(out, m, *L.TAB_LIT[tab])
        for (name, score), y in zip(rows, L.HIGH_NAME_Y):
            score = score_text(tab, score)
            room = L.HIGH_SCORE_RIGHT - width(score, 'highscalp.tga') - L.HIGH_NAME_GAP - L.HIGH_NAME_X
            while name and width(name, 'highscalp.tga') > room:
                name = name[:-1]   # cut at the last letter before the score, as the game does
            text(out, data, 'highscalp.tga', name, L.HIGH_NAME_X, y)
            text(out, data, 'highscalp.tga', score, L.HIGH_SCORE_RIGHT, y - 1, 'right')
    elif panel == 4:
        c = data['credits%d.tga' % skin]
        blit(out, c, (8, 0, c.shape[1] // N, c.shape[0] // N), L.CREDITS_AT)
    if panel <= 4:
        _lit_main(out, m, panel)
    return out


def _lit(out, m, rect):
    """The lit copy of a screen rectangle, from LIT rows below it in the menu picture."""
    x1, y1, x2, y2 = rect
    blit(out, m, (x1, y1 + L.LIT, x2, y2 + L.LIT), (x1, y1))


def _lit_main(out, m, i):
    _lit(out, m, L.MAIN_BUTTONS[i][0])


# ---- game -----------------------------------------------------------------------

def board(seed=5, colours=7):
    rng = np.random.default_rng(seed)
    cells = rng.integers(0, colours, (L.COLS, L.ROWS))
    marks = {(2, 1): 'bomb.tga', (5, 3): 'horiz.tga', (8, 2): 'verti.tga', (10, 6): 'xzap.tga',
             (3, 6): 'question.tga'}
    return cells, marks


MARK_AT = {'bomb.tga': (6, 5), 'horiz.tga': (6, 7), 'verti.tga': (5, 5), 'xzap.tga': (6, 6),
           'question.tga': (6, 5)}


def game(data, skin, gem_set=0, mode=0, hover=None, score=12480, timer='00:42', selected=(6, 4),
         show_board=True, cursor=None):
    bg = data['ingame%d.tga' % skin]
    out = blank()
    blit(out, bg, (0, 0, 640, 480), (0, 0))
    if show_board:
        cells, marks = board()
        for x in range(L.COLS):
            for y in range(L.ROWS):
                px, py = 71 + 42 * x, 90 + 42 * y
                if (x, y) == selected:
                    sel = data['select%d.tga' % skin]
                    blit(out, sel, whole(sel), (px - 1, py - 1), 1.0)
                gem = data['gems/set%d/gem0%d.tga' % (gem_set, cells[x, y] + 1)]
                blit(out, gem, whole(gem), (px, py), 1.0)
                if (x, y) in marks:
                    pic = data[marks[(x, y)]]
                    ox, oy = MARK_AT[marks[(x, y)]]
                    blit(out, pic, whole(pic), (px + ox, py + oy), 0.5)
        if cursor is not None:
            pic = data['cursor%d.tga' % skin]
            blit(out, pic, whole(pic), (71 + 42 * cursor[0] + L.CURSOR_AT[0], 90 + 42 * cursor[1] + L.CURSOR_AT[1]), 1.0)
    if hover is not None:
        (x1, y1, x2, y2), _ = L.GAME_BUTTONS[hover]
        blit(out, bg, (x1, y1 + 480, x2, y2 + 480), (x1, y1))
    text(out, data, 'numbers.tga', str(score), 435, 442)
    text(out, data, 'timenmb.tga', timer, 560, 37)
    (x1, y1, x2, y2), at, _ = L.MODE_LABELS[mode]
    blit(out, bg, (x1, y1, x2, y2), at, 1.0)
    return out


def paused(data, skin, mode=1):
    out = game(data, skin, mode=mode, show_board=False, timer='03:17')
    bg = data['ingame%d.tga' % skin]
    blit(out, bg, L.PAUSE_SRC, L.PAUSE_AT)
    return out


def game_over(data, skin):
    out = game(data, skin, selected=None, timer='00:00')
    pic = data['gameover%d.tga' % skin]
    blit(out, pic, whole(pic), L.centred_at(whole(pic)[2:]), 1.0)
    return out


def name_entry(data, skin, relax=False, name='player one'):
    out = game(data, skin, selected=None, mode=3 if relax else 0, timer='21:05' if relax else '00:00')
    pic = data[('enternamer%d.bmp' if relax else 'entername%d.tga') % skin]
    blit(out, pic, whole(pic), L.entry_at(whole(pic)[2:]), 1.0)
    text(out, data, 'highscalp.tga', name, 232, 314)
    w = width(name, 'highscalp.tga') if name else -1
    out[314 * N:323 * N, (w + 233) * N:(w + 239) * N] = 0
    return out


def zap(data, skin):
    out = game(data, skin, selected=None, mode=1)
    bg = data['ingame%d.tga' % skin]
    blit(out, bg, L.ZAP_SRC, L.ZAP_AT, 1.0)
    return out


def cursor(out, data, x, y):
    pic = data['mouse.tga']
    blit(out, pic, whole(pic), (x - 3, y - 3), 1.0)
    return out


def to_uint8(screen):
    return np.clip(screen + 0.5, 0, 255).astype(np.uint8)
