"""Skin-styled building blocks: backgrounds, logo, wells, cards, buttons."""
import math

import cairo
import numpy as np

from . import paint as P


def background(ctx, skin, w=640, h=480):
    ctx.rectangle(0, 0, w, h)
    ctx.set_source(P.vertical_gradient(0, h, [(0, skin['bg_top']), (1, skin['bg_bottom'])]))
    ctx.fill()
    rng = np.random.default_rng(skin['seed'])
    {'lattice': _lattice, 'bokeh': _bokeh, 'carbon': _carbon}[skin['pattern']](ctx, skin, w, h, rng)
    # Vignette keeps the eye on the middle.
    ctx.rectangle(0, 0, w, h)
    ctx.set_source(P.radial_gradient(w / 2, h / 2, max(w, h) * 0.75,
                                     [(0.55, (0, 0, 0, 0)), (1, (0, 0, 0, 0.35 if skin['number'] != 1 else 0.08))]))
    ctx.fill()


def _lattice(ctx, skin, w, h, rng):
    ctx.set_line_width(1)
    ctx.set_source_rgba(*skin['pattern_colour'])
    step = 32
    for i in range(-h // step - 1, w // step + 2):
        ctx.move_to(i * step, 0)
        ctx.line_to(i * step + h, h)
        ctx.move_to(i * step, 0)
        ctx.line_to(i * step - h, h)
    ctx.stroke()
    for _ in range(70):
        x, y, r = rng.uniform(0, w), rng.uniform(0, h), rng.uniform(0.6, 2.2)
        a = rng.uniform(0.25, 0.8)
        P.star(ctx, x, y, r * 2.2, r * 0.5, 4)
        ctx.set_source_rgba(1, 0.95, 0.8, a)
        ctx.fill()


def _bokeh(ctx, skin, w, h, rng):
    for _ in range(40):
        x, y, r = rng.uniform(0, w), rng.uniform(0, h), rng.uniform(8, 46)
        ctx.arc(x, y, r, 0, 2 * math.pi)
        ctx.set_source(P.radial_gradient(x, y, r, [(0, P.rgb('#ffffff', 0.30)), (0.8, P.rgb('#ffffff', 0.18)),
                                                    (1, P.rgb('#ffffff', 0.0))]))
        ctx.fill()
    for _ in range(26):
        x, y, s = rng.uniform(0, w), rng.uniform(0, h), rng.uniform(3, 7)
        P.heart(ctx, x, y, s)
        ctx.set_source_rgba(*P.rgb('#ff7fb8' if rng.uniform() < 0.6 else '#b69cff', rng.uniform(0.25, 0.55)))
        ctx.fill()


def _carbon(ctx, skin, w, h, rng):
    cell = 8
    for y in range(0, h, cell):
        for x in range(0, w, cell):
            light = ((x // cell) + (y // cell)) % 2 == 0
            g = P.vertical_gradient(y, y + cell, [(0, (1, 1, 1, 0.05 if light else 0.0)),
                                                  (1, (0, 0, 0, 0.12 if light else 0.05))])
            ctx.rectangle(x, y, cell, cell)
            ctx.set_source(g)
            ctx.fill()
    ctx.set_source_rgba(*P.rgb('#ff7a1a', 0.09))
    ctx.set_line_width(3)
    for i in range(-8, 30):
        ctx.move_to(i * 40, h)
        ctx.line_to(i * 40 + 120, h - 120)
    ctx.stroke()


def logo(ctx, skin, cx, cy, size):
    """The game's name, lettered in the skin's style, centred on (cx, cy)."""
    word = 'BROLIX' if skin['title_upper'] else 'Brolix'
    # The name, in the skin's own face whatever the language.
    ctx.select_font_face(skin['title_family'], cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    ctx.set_font_size(size)
    track = skin['title_tracking']
    width = P.text_width(ctx, word, track)
    ext = ctx.text_extents('B')
    x, base = cx - width / 2, cy + ext.height / 2
    top, bottom = base - ext.height, base
    P.glow(ctx, lambda: P.text_path(ctx, word, x, base, track), P.with_alpha(skin['accent'], 0.9), 7)
    P.text_path(ctx, word, x + 2, base + 3, track)
    P.fill_path(ctx, (0, 0, 0, 0.45))
    P.text_path(ctx, word, x, base, track)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    P.stroke_path(ctx, skin['title_outline'], max(3, size / 11))
    hi, mid, lo = skin['title_fill']
    P.text_path(ctx, word, x, base, track)
    P.fill_path(ctx, P.vertical_gradient(top, bottom, [(0, hi), (0.55, mid), (1, lo)]))
    # A sheen across the upper half of the letters.
    ctx.save()
    P.text_path(ctx, word, x, base, track)
    ctx.clip()
    ctx.rectangle(x - 4, top - 4, width + 8, (bottom - top) * 0.45 + 4)
    P.fill_path(ctx, (1, 1, 1, 0.28))
    ctx.restore()
    return width


def well(ctx, skin, x, y, w, h):
    """The framed area that holds panels and the board."""
    style = 'round' if skin['shape'] == 'pill' else skin['shape']
    r = skin['radius'] + 4
    P.soft_shadow(ctx, lambda: P.shape(ctx, style, x, y + 3, w, h, r), (0, 0, 0, 0.35), 6)
    P.shape(ctx, style, x, y, w, h, r)
    P.fill_path(ctx, P.vertical_gradient(y, y + h, [(0, skin['well_top']), (1, skin['well_bottom'])]), True)
    P.stroke_path(ctx, skin['well_border'], 3)
    P.shape(ctx, style, x + 4, y + 4, w - 8, h - 8, max(1, r - 4))
    P.stroke_path(ctx, skin['well_line'], 1)


def card(ctx, skin, x, y, w, h, radius=None):
    """A soft inner box for grouping things inside a panel."""
    r = skin['radius'] if radius is None else radius
    style = 'round' if skin['shape'] == 'pill' else skin['shape']
    P.shape(ctx, style, x + 0.5, y + 0.5, w - 1, h - 1, r)
    P.fill_path(ctx, skin['card'], True)
    P.stroke_path(ctx, skin['card_border'], 1)


def heading(ctx, skin, s, x, y, size=15, align='left', box=None):
    shadow = (0, 0, 0, 0.5) if skin['number'] != 1 else (1, 1, 1, 0.8)
    return P.text(ctx, s, x, y, skin['title_family'], size, skin['heading'], align=align,
                  shadow=shadow, shadow_offset=(0, 1.2), box=box)


def button(ctx, skin, x, y, w, h, caption, lit=False, size=13, icon=None):
    """A pressable button filling the box (x, y, w, h) exactly; lit is the hover state."""
    style, r = skin['shape'], skin['radius']
    top, bottom = (skin['lit_top'], skin['lit_bottom']) if lit else (skin['btn_top'], skin['btn_bottom'])
    border = skin['lit_border'] if lit else skin['btn_border']
    x0, y0, w0, h0 = x + 0.5, y + 0.5, w - 1, h - 1
    P.shape(ctx, style, x0, y0, w0, h0, r)
    P.fill_path(ctx, P.vertical_gradient(y, y + h, [(0, top), (1, bottom)]), True)
    P.stroke_path(ctx, border, 1.0)
    if lit:
        # Inner halo: the lit state must read clearly even in a small box.
        P.shape(ctx, style, x0 + 1.5, y0 + 1.5, w0 - 3, h0 - 3, max(1, r - 1.5))
        P.stroke_path(ctx, P.with_alpha(skin['lit_glow'], 0.9), 1.5)
    # Gloss over the top half.
    ctx.save()
    P.shape(ctx, style, x0 + 1, y0 + 1, w0 - 2, h0 - 2, max(1, r - 1))
    ctx.clip()
    ctx.rectangle(x, y, w, h * 0.48)
    ctx.set_source(P.vertical_gradient(y, y + h * 0.48, [(0, (1, 1, 1, 0.55 if lit else 0.35)),
                                                         (1, (1, 1, 1, 0.08))]))
    ctx.fill()
    ctx.restore()
    text_colour = skin['lit_text'] if lit else skin['btn_text']
    shadow = skin['lit_shadow'] if lit else skin['btn_shadow']
    if not caption:
        return
    # The caption, and an icon before it, keep off the button's edge; the icon stands
    # before the caption as drawn, so a caption made smaller keeps it close.
    inside = (x + 1, y + 1, x + w - 1, y + h - 1)
    cx = x + w / 2
    if not icon:
        P.text(ctx, caption, cx, y + h / 2, skin['label_family'], size, text_colour, align='center',
               shadow=shadow, shadow_offset=(0, 1), box=inside)
        return
    icon_w = h * 0.55
    cx += (icon_w + 4) / 2
    room = (w - 2 - icon_w - 4) / 2 - 1
    P.note_box(ctx, inside)
    size, lines = P.fitted(ctx, caption, cx, y + h / 2, skin['label_family'], size, True, 'center', 0, True,
                           (cx - room, y + 1, cx + room, y + h - 1), (0, 0, 0, 1))
    P.set_font(ctx, skin['label_family'], size)
    tw = max(P.text_width(ctx, line) for line in lines)
    icon(ctx, cx - tw / 2 - 4 - icon_w / 2, y + h / 2, icon_w, text_colour)
    P.text(ctx, '\n'.join(lines), cx, y + h / 2, skin['label_family'], size, text_colour, align='center',
           shadow=shadow, shadow_offset=(0, 1), box=(cx - room, y + 1, cx + room, y + h - 1))
    P.mark_box(ctx, inside)


def knob(ctx, skin, cx, cy, r):
    ctx.arc(cx, cy + 1, r, 0, 2 * math.pi)
    P.fill_path(ctx, (0, 0, 0, 0.45))
    ctx.arc(cx, cy, r - 0.5, 0, 2 * math.pi)
    P.fill_path(ctx, P.radial_gradient(cx, cy, r, [(0, P.mix(skin['lit_top'], (1, 1, 1, 1), 0.6)),
                                                  (0.7, skin['lit_bottom']), (1, skin['btn_border'])],
                                       fx=cx - r / 3, fy=cy - r / 3), True)
    P.stroke_path(ctx, skin['btn_border'], 1)
