"""The menu picture (screen, lit buttons, panels, markers, knob) and the credits."""
import math

import cairo
import numpy as np

from . import icons
from . import layout as L
from . import paint as P
from . import theme
from .gems import jewel
from .imagefile import from_rgba, new_surface, px, to_rgba
from .marks import MARKS
from .words import N_, language, word


def _screen(skin, draw):
    surf = new_surface(640, 480)
    ctx = P.context(surf)
    theme.background(ctx, skin)
    theme.well(ctx, skin, *_xywh(L.WELL))
    draw(ctx)
    return to_rgba(surf)


def _xywh(r):
    return r[0], r[1], r[2] - r[0], r[3] - r[1]


def _chrome(ctx, skin, lit):
    """Everything outside the well: logo, main buttons, play button, ornaments."""
    theme.logo(ctx, skin, 320, 40, 50)
    for (x1, y1, x2, y2), caption in L.MAIN_BUTTONS:
        if not lit:
            P.soft_shadow(ctx, lambda: P.shape(ctx, skin['shape'], x1, y1 + 2, x2 - x1, y2 - y1,
                                               skin['radius']), (0, 0, 0, 0.3), 2, 3)
        theme.button(ctx, skin, x1, y1, x2 - x1, y2 - y1, word(caption), lit, 13)
    _play_button(ctx, skin, lit)
    if not lit:
        _ornament(ctx, skin)
        for y in (100, 425):
            _flourish(ctx, skin, 232, y)
        P.text(ctx, word(skin['tagline']), 320, 462, skin['label_family'], 11, skin['text_dim'] if skin['number'] != 1
               else skin['text'], bold=False, align='center', tracking=1.0, box=(20, 450, 620, 476))


def _play_button(ctx, skin, lit):
    x1, y1, x2, y2 = L.PLAY
    top, bottom = (skin['lit_top'], skin['lit_bottom']) if lit else (skin['btn_top'], skin['btn_bottom'])
    border = skin['lit_border'] if lit else skin['btn_border']
    if lit:
        P.glow(ctx, lambda: (ctx.arc(489, 363, 19, 0, 2 * math.pi),
                             P.rounded_rect(ctx, 438, 381, 100, 19, 9.5)), skin['lit_glow'], 8, 6)
    else:
        P.soft_shadow(ctx, lambda: P.rounded_rect(ctx, 438, 384, 100, 19, 9.5), (0, 0, 0, 0.35), 3, 3)
    theme.button(ctx, skin, 438, 381, 100, 19, '', lit)
    # TRANSLATORS: the play button's bar, under its disc: one short word, capitals
    P.text(ctx, word('PLAY'), 489, 391, skin['label_family'], 12, skin['lit_text'] if lit else skin['btn_text'],
           align='center', tracking=2, box=(439, 382, 537, 400))
    ctx.arc(489, 363, 19, 0, 2 * math.pi)
    P.fill_path(ctx, P.radial_gradient(489, 363, 19, [(0, P.mix(top, (1, 1, 1, 1), 0.4)), (0.7, bottom),
                                                      (1, P.mix(bottom, (0, 0, 0, 1), 0.3))],
                                       fx=483, fy=356), True)
    P.stroke_path(ctx, border, 1.5)
    ctx.arc(489, 363, 16.5, 0, 2 * math.pi)
    P.stroke_path(ctx, (1, 1, 1, 0.5 if lit else 0.25), 1)
    icons.play(ctx, 491, 363, 20, skin['lit_text'] if lit else skin['btn_text'])


def _flourish(ctx, skin, cx, y):
    """A thin rule with a small diamond: fills the well where panels leave it bare."""
    colour = skin['well_border']
    ctx.rectangle(cx - 120, y - 0.5, 240, 1)
    g = cairo.LinearGradient(cx - 120, 0, cx + 120, 0)
    for offset, alpha in ((0, 0), (0.5, 0.8), (1, 0)):
        g.add_color_stop_rgba(offset, *P.with_alpha(colour, alpha))
    ctx.set_source(g)
    ctx.fill()
    P.polygon(ctx, [(cx, y - 5), (cx + 7, y), (cx, y + 5), (cx - 7, y)])
    P.fill_path(ctx, colour, True)
    P.stroke_path(ctx, (0, 0, 0, 0.4), 1)


def _ornament(ctx, skin):
    """A little cascade of gems beside the main buttons."""
    for i, (k, x, y) in enumerate([(0, 598, 150), (2, 584, 196), (3, 606, 232), (1, 590, 276), (4, 604, 318)]):
        g = from_rgba(jewel(k))
        ctx.save()
        ctx.translate(x, y)
        ctx.rotate((-0.25, 0.2, -0.1, 0.3, -0.2)[i])
        ctx.scale(0.8, 0.8)
        ctx.set_source_surface(g, -L.GEM / 2, -L.GEM / 2)
        ctx.paint_with_alpha(0.9)
        ctx.restore()


# ---- panel 0: game settings -----------------------------------------------------

MODE_ICONS = [icons.stopwatch, icons.clock, icons.trophy, icons.leaf]


def _panel0(ctx, skin):
    for i, (x1, y1, x2, y2) in enumerate(L.MODE_ROWS):
        mx, my = L.MODE_MARKERS[i]
        mid = my + L.MODE_MARKER_SIZE[i][1] / 2
        theme.card(ctx, skin, 108, y1, 244, y2 - y1)
        MODE_ICONS[i](ctx, 124, (y1 + y2) / 2, 18, skin['heading'])
        P.text(ctx, word(L.MODE_NAMES[i]), 140, mid, P.SANS, 14, skin['text'], box=(138, y1 + 1, 350, mid + 10))
        P.text(ctx, word(L.MODE_HINTS[i]), 140, mid + 16, P.SANS, 10, skin['text_dim'], bold=False,
               box=(138, mid + 10, 350, y2 - 1))
    P.text(ctx, word('difficulty'), 238, 347, P.SANS, 11, skin['text_dim'], align='center', tracking=1,
           box=(110, 338, 352, 357))
    for (x1, y1, x2, y2), name in zip(L.DIFF_BOXES, L.DIFF_NAMES):
        theme.button(ctx, skin, x1, y1, x2 - x1, 384 - y1 - 1, word(name), False, 12)


def _markers(ctx, skin):
    """Selection markers; kept off panel 0's own column 105 and row 383, which the
    marker regions share with the panel."""
    colour = skin['accent'] if skin['number'] != 1 else skin['heading']
    ctx.save()
    ctx.rectangle(0, 0, L.PANEL0[0], 480)
    ctx.clip()
    for i, (x, y) in enumerate(L.MODE_MARKERS):
        w, h = L.MODE_MARKER_SIZE[i]
        cy = y + h / 2
        pts = [(x + 3, cy - 7), (x + 17, cy), (x + 3, cy + 7)]
        P.glow(ctx, lambda: P.polygon(ctx, pts), colour, 2.5, 3)
        P.polygon(ctx, pts)
        P.fill_path(ctx, P.vertical_gradient(cy - 7, cy + 7, [(0, (1, 1, 1, 1)), (1, colour)]), True)
        P.stroke_path(ctx, (0, 0, 0, 0.6), 1)
    ctx.restore()
    ctx.save()
    ctx.rectangle(0, L.PANEL0[3], 640, 480 - L.PANEL0[3])
    ctx.clip()
    for (x, y), (w, h) in zip(L.DIFF_MARKERS, L.DIFF_MARKER_SIZE):
        cx = x + w / 2
        pts = [(cx, y + 2), (cx + 7, y + 12), (cx - 7, y + 12)]
        P.glow(ctx, lambda: P.polygon(ctx, pts), colour, 2.5, 3)
        P.polygon(ctx, pts)
        P.fill_path(ctx, P.vertical_gradient(y + 2, y + 12, [(0, (1, 1, 1, 1)), (1, colour)]), True)
        P.stroke_path(ctx, (0, 0, 0, 0.6), 1)
    ctx.restore()


# ---- panel 1: how to play ---------------------------------------------------------

HOW_TO = N_('Click two neighbouring gems to swap them. Every line of three or more of a colour vanishes, '
            'and the gems above fall into the gap. Longer lines and cascades score more.')
STUCK = N_('Stuck? The hint button shows a move for 50 points.')
MARK_CAPTIONS = [('bomb.tga', N_('the 3 x 3 square')), ('horiz.tga', N_('the whole row')),
                 ('verti.tga', N_('the whole column')), ('xzap.tga', N_('row and column')),
                 ('question.tga', N_('a surprise'))]


def _english_end(ctx, s, y, width, size):
    """The baseline after s as an English paragraph from y: every language's panel keeps
    the English places, its words made smaller where they need more room."""
    with language(None):
        P.set_font(ctx, P.SANS, size, False)
        return y + len(P.wrap(ctx, s, width)) * size * 1.35


def _panel1(ctx, skin):
    x0, y0 = L.PANEL1_AT
    theme.heading(ctx, skin, word('how to play'), 233, y0 + 20, 18, 'center', box=(78, y0 + 8, 387, y0 + 33))
    y = y0 + 46
    end = _english_end(ctx, HOW_TO, y, 306, 12)
    P.paragraph(ctx, word(HOW_TO), 80, y, 306, P.SANS, 12, skin['text'], box=(y0 + 33, end - 5))
    y = end
    theme.heading(ctx, skin, word('bonus marks'), 233, y + 3, 14, 'center', box=(78, y - 5, 387, y + 11))
    y += 18
    for i, (mark, caption) in enumerate(MARK_CAPTIONS):
        col, row = i % 2, i // 2
        mx, my = 80 + col * 156, y + row * 28
        ctx.set_source_surface(from_rgba(jewel((1, 4, 3, 6, 5)[i])), mx, my - 4)
        ctx.paint_with_alpha(0.95)
        pic = MARKS[mark]()
        h, w = pic.shape[0] / px(1), pic.shape[1] / px(1)
        ctx.set_source_surface(from_rgba(pic), mx + 18 - w / 2, my + 14 - h / 2)
        ctx.paint_with_alpha(0.75)
        P.paragraph(ctx, word(caption), mx + 40, my + 18, 112, P.SANS, 11, skin['text'], box=(my + 4, my + 27),
                    centred=True)
    # Beside the last mark, where the second column has none.
    P.paragraph(ctx, word(STUCK), 236, y + 67, 152, P.SANS, 10, skin['text_dim'], leading=1.3,
                box=(y + 57, y + 88))
    _keys(ctx, skin, y + 94)


KEYS = [[(N_('arrows, WASD'), N_('move the cursor')), (N_('Space, Enter'), N_('pick the gem')),
         (N_('Shift+arrow'), N_('swap that way')), (N_('Tab'), N_('pause buttons')),
         (N_('F11, Alt+Enter'), N_('full screen'))],
        [(N_('H'), N_('hint')), (N_('N, F1'), N_('new game')), (N_('P'), N_('pause')), (N_('Escape'), N_('menu'))]]
PAD = N_('Pad: d-pad or stick moves, A picks, B is Escape, X hint, Y new game, Start pause.')


def _keys(ctx, skin, y):
    """Every key and pad button, as the help page lists them: two columns of a key and
    what it does, then the pad's buttons. Their boxes tile one rectangle."""
    theme.heading(ctx, skin, word('keys'), 233, y + 4, 14, 'center', box=(78, y - 4, 387, y + 15))
    for (key_x, what_x, end_x), rows in zip(((80, 176, 272), (274, 320, 387)), KEYS):
        for i in range(len(KEYS[0])):
            row_y = y + 24 + i * 13
            if i == len(rows):
                P.note_box(ctx, (key_x - 2, row_y - 9, end_x, row_y + 4))
                P.mark_box(ctx, (key_x - 2, row_y - 9, end_x, row_y + 4))
                continue
            key, what = rows[i]
            P.text(ctx, word(key), key_x, row_y, P.SANS, 10, skin['heading'], bold=True, middle=False,
                   box=(key_x - 2, row_y - 9, what_x - 2, row_y + 4))
            P.text(ctx, word(what), what_x, row_y, P.SANS, 10, skin['text'], bold=False, middle=False,
                   box=(what_x - 2, row_y - 9, end_x, row_y + 4))
    P.paragraph(ctx, word(PAD), 80, y + 24 + 5 * 13 + 1, 306, P.SANS, 10, skin['text_dim'], leading=1.3,
                box=(y + 24 + 4 * 13 + 4, L.PANEL1_AT[1] + 344))


# ---- panel 2: options ---------------------------------------------------------------

def _panel2(ctx, skin, reset_lit=False, volume_filled=False):
    """Options, centred on the well like the other panels. The reset button must
    fill its lit region (105..318), so a trophy to its right balances the row."""
    _flourish(ctx, skin, 232, 100)
    P.text(ctx, word('high scores'), 232, 124, P.SANS, 11, skin['text_dim'], align='center', tracking=1,
           box=(80, 113, 384, 135))
    theme.button(ctx, skin, 105, 142, 213, 22, word('reset high scores'), reset_lit, 12, icon=icons.refresh)
    icons.trophy(ctx, 344, 153, 22, skin['heading'])
    _divider(ctx, skin, 190)
    P.text(ctx, word('sound volume'), 232, 220, P.SANS, 12, skin['text'], align='center', box=(90, 200, 374, 238))
    icons.speaker(ctx, 162, 254, 14, skin['heading'], waves=0)
    icons.speaker(ctx, 318, 254, 16, skin['heading'], waves=3)
    _volume_track(ctx, skin, volume_filled)
    _divider(ctx, skin, 277)
    P.text(ctx, word('gem set: click to change'), 232, 288, P.SANS, 11, skin['text'], align='center',
           box=(90, 279, 374, 297))
    _dark_tray(ctx, skin, 86, 298, 306, 72)


def _divider(ctx, skin, y):
    ctx.rectangle(96, y, 272, 1)
    g = cairo.LinearGradient(96, 0, 368, 0)
    for offset, alpha in ((0, 0), (0.5, 0.7), (1, 0)):
        g.add_color_stop_rgba(offset, *P.with_alpha(skin['card_border'], alpha))
    ctx.set_source(g)
    ctx.fill()


def _volume_track(ctx, skin, filled):
    """The groove the knob runs in; the game copies the filled look up to the knob."""
    x0, y0, x1, y1 = L.VOLUME_TRACK
    P.rounded_rect(ctx, x0, y0, x1 - x0, y1 - y0, 4)
    P.fill_path(ctx, P.vertical_gradient(y0, y1, [(0, (0, 0, 0, 0.6)), (1, (0, 0, 0, 0.25))]), True)
    P.stroke_path(ctx, P.with_alpha(skin['card_border'], 1), 1)
    if filled:
        P.rounded_rect(ctx, x0 + 2, y0 + 2, x1 - x0 - 4, y1 - y0 - 4, 2)
        P.fill_path(ctx, P.vertical_gradient(y0 + 2, y1 - 2, [(0, skin['accent2']), (1, skin['accent'])]))


def _dark_tray(ctx, skin, x, y, w, h):
    """Dark inset where the game writes white text (gem-set name, score rows)."""
    P.rounded_rect(ctx, x + 0.5, y + 0.5, w - 1, h - 1, 8)
    tray = {0: P.rgb('#07132a', 0.9), 1: P.rgb('#6e2457', 0.92), 2: P.rgb('#0b0d10', 0.9)}[skin['number']]
    P.fill_path(ctx, tray, True)
    P.stroke_path(ctx, skin['card_border'], 1)


# ---- panel 3: high scores ---------------------------------------------------------

def _panel3(ctx, skin, lit_tabs=False):
    for (x1, y1, x2, y2), name in zip(L.HIGH_TABS, L.TAB_NAMES):
        tx1, tx2 = x1 + 4, x2 + 1
        theme.button(ctx, skin, tx1, 114, tx2 - tx1, 24, word(name), lit_tabs, 11)
    _dark_tray(ctx, skin, 76, 140, 308, 264)
    for block, name in enumerate(L.DIFF_NAMES):
        ys = L.HIGH_NAME_Y[block * 3:block * 3 + 3]
        for i, y in enumerate(ys):
            ctx.rectangle(103, y - 5, 265, 19)
            P.fill_path(ctx, (1, 1, 1, 0.07 if i % 2 == 0 else 0.03))
            medal = ('#ffd34a', '#d8dde6', '#d08a4a')[i]
            ctx.arc(97, y + 4, 3.2, 0, 2 * math.pi)
            P.fill_path(ctx, P.rgb(medal))
        ctx.save()
        ctx.translate(86, (ys[0] + ys[2]) / 2 + 5)
        ctx.rotate(-math.pi / 2)
        half = (ys[2] - ys[0]) / 2 + 10
        P.text(ctx, word(name), 0, 0, P.SANS, 9, skin['accent'] if skin['number'] != 1 else P.rgb('#ffc2e0'),
               align='center', box=(-half, -9, half, 7))
        ctx.restore()


def _credits(ctx, skin):
    ox, oy = L.CREDITS_AT
    theme.logo(ctx, skin, 236, oy + 28, 34)
    theme.button(ctx, skin, 84, 193, 172, 31, word('write to us'), False, 13, icon=icons.envelope)
    # TRANSLATORS: two lines; break them where it reads best
    P.text(ctx, word('Brolix was designed, drawn, scored\nand built by the Brolix team.'), 236, 249, P.SANS, 10.5,
           skin['text'], bold=False, align='center', leading=14, box=(76, 234, 396, 264))
    # TRANSLATORS: two lines; break them where it reads best
    P.text(ctx, word('Tell us what you think, or find news\nand more games on our web site.'), 236, 277, P.SANS,
           10.5, skin['text'], bold=False, align='center', leading=14, box=(76, 264, 396, 292))
    P.text(ctx, word('Thank you for playing!'), 236, 298, P.SANS, 10.5, skin['text'], align='center',
           box=(76, 292, 396, 306))
    theme.button(ctx, skin, 165, 320, 174, 74, '', False)
    icons.globe(ctx, 196, 357, 34, skin['btn_text'])
    # TRANSLATORS: the web site button's two lines, the second in larger letters
    P.text(ctx, word('visit our'), 268, 346, P.SANS, 13, skin['btn_text'], align='center', box=(216, 324, 336, 356))
    P.text(ctx, word('web site'), 268, 366, P.SANS, 16, skin['btn_text'], align='center', box=(216, 356, 336, 390))


def _copy(dst, src, rect, at):
    """Copy screen rectangle rect of src into dst with its top-left at 'at'."""
    x1, y1, x2, y2 = px(*rect)
    ax, ay = px(*at)
    dst[ay:ay + y2 - y1, ax:ax + x2 - x1] = src[y1:y2, x1:x2]


def menu_picture(skin):
    """1024 x 1024 RGBA menu picture of a skin."""
    base = _screen(skin, lambda ctx: _chrome(ctx, skin, False))
    lit = _screen(skin, lambda ctx: (_chrome(ctx, skin, False), _chrome(ctx, skin, True)))
    p0 = _screen(skin, lambda ctx: (_panel0(ctx, skin), _markers(ctx, skin)))
    p1 = _screen(skin, lambda ctx: _panel1(ctx, skin))
    p2 = _screen(skin, lambda ctx: _panel2(ctx, skin))
    p2filled = _screen(skin, lambda ctx: _panel2(ctx, skin, volume_filled=True))
    p2lit = _screen(skin, lambda ctx: _panel2(ctx, skin, True))
    p3 = _screen(skin, lambda ctx: _panel3(ctx, skin))
    p3lit = _screen(skin, lambda ctx: _panel3(ctx, skin, True))

    out = np.zeros((px(1024), px(1024), 4), np.uint8)
    out[..., 3] = 255
    out[px(480):px(960), :px(640)] = _dimmed(base)
    out[:px(480), :px(640)] = base
    for (x1, y1, x2, y2), _ in L.MAIN_BUTTONS:
        _copy(out, lit, (x1, y1, x2, y2), (x1, y1 + L.LIT))
    _copy(out, lit, L.PLAY, (L.PLAY[0], L.PLAY[1] + L.LIT))
    _copy(out, p0, L.PANEL0, (L.PANEL0[0], L.PANEL0[1] + L.LIT))
    for (x, y), (w, h) in zip(L.MODE_MARKERS, L.MODE_MARKER_SIZE):
        _copy(out, p0, (x, y, x + w, y + h), (x, y + L.LIT))
    for (x, y), (w, h) in zip(L.DIFF_MARKERS, L.DIFF_MARKER_SIZE):
        _copy(out, p0, (x, y, x + w, y + h), (x, y + L.LIT))
    for src, (sx1, sy1, sx2, sy2), (ax, ay) in ((p1, L.PANEL1_SRC, L.PANEL1_AT), (p2, L.PANEL2_SRC, L.PANEL2_AT),
                                              (p3, L.PANEL3_SRC, L.PANEL3_AT)):
        _copy(out, src, (ax, ay, ax + sx2 - sx1, ay + sy2 - sy1), (sx1, sy1))
    rx1, ry1, rx2, ry2 = L.RESET_LIT_SRC
    _copy(out, p2lit, (L.RESET_AT[0], L.RESET_AT[1], L.RESET_AT[0] + rx2 - rx1, L.RESET_AT[1] + ry2 - ry1),
          (rx1, ry1))
    for (sx1, sy1, sx2, sy2), (ax, ay) in L.TAB_LIT:
        _copy(out, p3lit, (ax, ay, ax + sx2 - sx1, ay + sy2 - sy1), (sx1, sy1))
    _copy(out, p2filled, L.VOLUME_TRACK, L.VOLUME_FILL_SRC[:2])
    from .marks import knob
    kx1, ky1, kx2, ky2 = px(*L.KNOB_SRC)
    out[ky1:ky2, kx1:kx2] = knob(skin)
    return out


def _dimmed(rgba):
    """Faded copy of the screen that fills the unused parts of the lower half."""
    out = rgba.copy()
    out[..., :3] = (out[..., :3].astype(np.uint16) * 2 // 5).astype(np.uint8)
    return out


def credits_picture(skin):
    """Credits picture: column 8 is drawn at screen x 73."""
    screen = _screen(skin, lambda ctx: _credits(ctx, skin))
    w, h = px(*L.CREDITS_SIZE)
    x0, y0 = px(L.CREDITS_AT[0] - 8, L.CREDITS_AT[1])
    return screen[y0:y0 + h, x0:x0 + w].copy()
