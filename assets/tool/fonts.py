"""The three bitmap fonts: every glyph drawn inside its rectangle of glyphs.py's tables."""
import cairo
import numpy as np

from . import paint as P
from .glyphs import MENU, MENU_WIDE_PICTURE, SCORE, TIMER, menu_wide, wide_size
from .imagefile import new_surface, px, to_rgba

FONTS = {  # file, table, picture size, ink height, style
    'timenmb.tga': (TIMER, (128, 64), 12.5, 'timer'),
    'numbers.tga': (SCORE, (256, 32), 21, 'score'),
    'highscalp.tga': (MENU, (128, 128), 8, 'menu'),
    MENU_WIDE_PICTURE: (menu_wide(), wide_size(), 8, 'menu'),
}
MENU_ASCII = {g[0] for g in MENU}
# Han characters and kana, from the face whose forms Japanese readers expect.
CJK_FACE = 'Noto Sans CJK JP'


def own_box(table, index):
    """The glyph's rectangle less every neighbour it overlaps, so no glyph shows a
    sliver of another. Overlaps in these tables are at most a column wide."""
    x1, y1, x2, y2 = table[index][1:5]
    for j, (oc, ox1, oy1, ox2, oy2, *_) in enumerate(table):
        if j == index or oc == ' ' or ox1 >= x2 or ox2 <= x1 or oy1 >= y2 or oy2 <= y1:
            continue
        if ox1 <= x1 < ox2:
            x1 = ox2
        elif ox1 < x2 <= ox2:
            x2 = ox1
    return x1, y1, x2, y2


def _paint_glyph(ctx, style, ch, x, y, w, h):
    """Draw one large stylised character inside (x, y, w, h)."""
    ctx.save()
    if ch == ':':
        _colon_path(ctx, x + 1.5, y + 1, w - 3, h - 2.5)
    else:
        _fit_path(ctx, ch, P.SANS, x + 1.5, y + 1, w - 3, h - 2.5)
    path = ctx.copy_path()
    ctx.restore()
    if style == 'score':
        top, mid, bottom, edge = P.rgb('#ffffff'), P.rgb('#ffe68a'), P.rgb('#f0a020'), P.rgb('#3a1c00')
    else:
        top, mid, bottom, edge = P.rgb('#ffffff'), P.rgb('#d8f4ff'), P.rgb('#62c6ff'), P.rgb('#06223d')
    ctx.new_path()
    ctx.append_path(path)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    P.stroke_path(ctx, edge, 3.0 if style == 'score' else 2.2)
    ctx.append_path(path)
    P.fill_path(ctx, P.vertical_gradient(y, y + h, [(0, top), (0.45, mid), (1, bottom)]))


def _colon_path(ctx, x, y, w, h):
    d = min(w, h / 4)
    cx = x + w / 2
    for cy in (y + h * 0.3, y + h * 0.8):
        P.rounded_rect(ctx, cx - d / 2, cy - d / 2, d, d, d / 4)


def _fit_path(ctx, ch, family, x, y, w, h):
    """Path of ch with ink height h, at most w wide (stretched a little at most),
    centred in (x, y, w, h)."""
    big = 100.0
    probe = P.context(new_surface(4, 4))
    P.set_font(probe, family, big)
    probe.move_to(0, 0)
    probe.text_path(ch)
    x0, y0, x1, y1 = probe.fill_extents()
    sy = h / (y1 - y0)
    sx = min(w / (x1 - x0), sy * 1.2)
    ctx.save()
    ctx.translate(x + (w - (x1 - x0) * sx) / 2, y)
    ctx.scale(sx, sy)
    ctx.translate(-x0, -y0)
    P.set_font(ctx, family, big)
    ctx.move_to(0, 0)
    ctx.text_path(ch)
    ctx.restore()


MENU_LETTER = (11, 8)   # font size, rows of ink from the top of the box
MENU_DIGIT = (13, 10)


def _resample(glyph, n, axis):
    """Linear resampling of an alpha raster to n rows or columns."""
    size = glyph.shape[axis]
    src = np.linspace(0, size - 1, n)
    lo = np.floor(src).astype(int)
    hi = np.minimum(lo + 1, size - 1)
    t = src - lo
    if axis == 0:
        return glyph[lo] * (1 - t)[:, None] + glyph[hi] * t[:, None]
    return glyph[:, lo] * (1 - t) + glyph[:, hi] * t


# The font's own one, squeezed into its narrow box, thins to a hairline; this one
# keeps the other digits' weight, with a flag and a foot.
MENU_ONE = ['.##.', '+##.', '###.', '.##.', '.##.', '.##.', '.##.', '.##.', '.##.', '####']


def _menu_glyph(ch):
    """Raster of one menu-font character trimmed to its ink, hinted at the density's own
    pixel grid; letters are small capitals. Anything below the baseline is folded into
    the cap height."""
    if ch == '1':
        one = np.array([[{'.': 0, '+': 150, '#': 255}[c] for c in row] for row in MENU_ONE], np.float32)
        return np.kron(one, np.ones((px(1), px(1)), np.float32))
    cjk = ord(ch) >= 0x2E80
    size, cap = MENU_DIGIT if ch.isdigit() else (12, 11) if cjk else MENU_LETTER
    baseline, cap = px(24, cap)
    surf = new_surface(48, 48)
    ctx = cairo.Context(surf)
    opts = cairo.FontOptions()
    opts.set_antialias(cairo.ANTIALIAS_GRAY)
    opts.set_hint_style(cairo.HINT_STYLE_FULL)
    opts.set_hint_metrics(cairo.HINT_METRICS_ON)
    ctx.set_font_options(opts)
    if cjk:
        ctx.select_font_face(CJK_FACE, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
        ctx.set_font_size(size)
    else:
        P.set_font(ctx, P.SANS, size)
    ctx.move_to(10, 24)
    ctx.set_source_rgba(1, 1, 1, 1)
    ctx.show_text(ch.upper())
    alpha = to_rgba(surf)[..., 3].astype(np.float32)
    if cjk:   # the whole em square, so a dash stays in the middle and a small kana small
        return _resample(alpha[px(13):px(25), px(10):px(22)], cap, 0)
    cols = np.nonzero(alpha.max(axis=0))[0]
    rows = np.nonzero(alpha.max(axis=1))[0]
    if ch not in MENU_ASCII and (rows[0] < baseline - cap or rows[-1] >= baseline):
        # An accent above or a cedilla below: squeezed with the letter into the cap height and a row.
        glyph = alpha[min(rows[0], baseline - cap):max(baseline, rows[-1] + 1), cols[0]:cols[-1] + 1]
        return _resample(glyph, cap + px(1), 0)
    glyph = alpha[baseline - cap:max(baseline, rows[-1] + 1), cols[0]:cols[-1] + 1]
    if glyph.shape[0] > cap:
        glyph = _resample(glyph, cap, 0)
    return glyph


def _blit_menu_glyph(out, ch, x1, y1, x2, y2):
    """Copy the glyph into its box, one column short of its right edge so that every
    two neighbours stand two columns apart: narrow glyphs widened by up to a third
    (and centred if still narrow); wide ones, whose slanted sides leave room of
    their own, squeezed into the whole box."""
    x1, y1, x2, y2 = px(x1, y1, x2, y2)
    glyph = _menu_glyph(ch)
    w = x2 - x1 - (px(1) if glyph.shape[1] < x2 - x1 else 0)
    if glyph.shape[1] != w:
        glyph = _resample(glyph, min(w, round(glyph.shape[1] * 4 / 3)), 1)
    gh, gw = glyph.shape
    ox = x1 + (w - gw + 1) // 2
    rows = min(gh, y2 - y1)
    part = np.clip(glyph[:rows] * 1.15, 0, 255).astype(np.uint8)
    out[y1:y1 + rows, ox:ox + gw, 3] = np.maximum(out[y1:y1 + rows, ox:ox + gw, 3], part)


def render_font(name):
    """RGBA array of a font picture; transparent outside the glyph rectangles."""
    table, (pw, ph), ink_h, style = FONTS[name]
    if style == 'menu':
        out = np.zeros((px(ph), px(pw), 4), np.uint8)
        out[..., :3] = 255
        for i, entry in enumerate(table):
            if entry[0] != ' ':
                _blit_menu_glyph(out, entry[0], *own_box(table, i))
        return out
    surf = new_surface(pw, ph)
    ctx = P.context(surf)
    for i, (ch, *_) in enumerate(table):
        if ch == ' ':
            continue
        bx1, by1, bx2, by2 = own_box(table, i)
        ctx.save()
        ctx.rectangle(bx1, by1, bx2 - bx1, by2 - by1)
        ctx.clip()
        _paint_glyph(ctx, style, ch, bx1, by1, bx2 - bx1, ink_h + 2.5)
        ctx.restore()
    return to_rgba(surf)
