"""Gem sets: seven pictures per set, one per token colour, plus a display name."""
import functools
import math

import cairo

from . import paint as P
from .glyphs import SET_NAMES
from .imagefile import new_surface, to_rgba
from .layout import GEM

# Token colour k keeps one hue family in every set: red, green, blue, yellow,
# purple, white, orange. The first five are the easy level's, so they differ most.
JEWEL_COLOURS = ['#e0202c', '#1fbf4a', '#2a6df0', '#ffd21a', '#a93ee8', '#eef2f8', '#ff8a1c']
# Marbles are round by nature, so the pairs a red-green blind eye confuses differ in
# lightness instead: a deep red and a light green, a deep blue and a light violet.
MARBLE_COLOURS = ['#d42432', '#5ade6e', '#2358e0', '#ffd23a', '#c98af5', '#e9eef5', '#12a4ae']
# Colour-blind-safe hues, each with its own silhouette and a dark inner symbol.
CLEAR_COLOURS = ['#d55e00', '#00b386', '#56b4e9', '#f0e442', '#e690c0', '#f4f4f4', '#a0d83a']

SETS = list(zip(SET_NAMES, ('jewel', 'marble', 'clear')))


_HALF_HEART = [(0.0, 1.08), (0.55, 0.5), (0.92, 0.02), (1.02, -0.4), (0.86, -0.78), (0.5, -0.95),
               (0.18, -0.8), (0.0, -0.55)]
HEART_CUT = _HALF_HEART + [(-x, y) for x, y in reversed(_HALF_HEART[1:-1])]
_QUARTER_MARQUISE = [(1.12, 0.0), (0.74, 0.48), (0.26, 0.74)]
MARQUISE_CUT = (_QUARTER_MARQUISE + [(-x, y) for x, y in reversed(_QUARTER_MARQUISE)]
                + [(-x, -y) for x, y in _QUARTER_MARQUISE] + [(x, -y) for x, y in reversed(_QUARTER_MARQUISE)])


def _outline(ctx, k, c, r):
    """Silhouette of jewel colour k centred on c with radius r."""
    if k == 0:   # a faceted heart: the one stone with a notch
        P.polygon(ctx, [(c + x * r, c + y * r) for x, y in HEART_CUT])
    elif k == 1:   # emerald cut: a tall step-cut oblong, unlike the round stones
        P.chamfer_rect(ctx, c - r * 0.7, c - r * 1.02, r * 1.4, r * 2.04, r * 0.34)
    elif k == 2:
        P.polygon(ctx, [(c, c - r * 1.12), (c + r * 1.0, c), (c, c + r * 1.12), (c - r * 1.0, c)])
    elif k == 3:
        P.regular_polygon(ctx, c, c - r * 0.22, r * 1.3, 3, math.pi / 2)
    elif k == 4:   # marquise: long and pointed, lying across
        P.polygon(ctx, [(c + x * r, c + y * r) for x, y in MARQUISE_CUT])
    elif k == 5:
        P.regular_polygon(ctx, c, c, r * 0.96, 12, 0)
    else:
        P.regular_polygon(ctx, c, c + r * 0.05, r * 1.0, 5)


def _scaled_about_centre(ctx, c, factor, draw_path):
    """Adds the path draw_path makes, shrunk by factor about (c, c)."""
    ctx.save()
    ctx.translate(c, c)
    ctx.scale(factor, factor)
    ctx.translate(-c, -c)
    draw_path()
    ctx.restore()


def _facets(ctx, k, c, r):
    _scaled_about_centre(ctx, c, 0.52, lambda: _outline(ctx, k, c, r))


def _canvas(size):
    """A size x size picture drawn at the design size GEM."""
    surf = new_surface(size, size)
    ctx = P.context(surf)
    ctx.scale(size / GEM, size / GEM)
    return surf, ctx


def _start(size, colour, lighten, darken):
    """Canvas drawn at the design size GEM, and the base, light and dark tones."""
    return _canvas(size) + _tones(colour, lighten, darken)


def _tones(colour, lighten, darken):
    base = P.rgb(colour)
    return base, P.mix(base, (1, 1, 1, 1), lighten), P.mix(base, (0, 0, 0, 1), darken)


def _shadow(ctx, path, dx, dy, alpha):
    ctx.save()
    ctx.translate(dx, dy)
    path()
    ctx.restore()
    P.fill_path(ctx, (0, 0, 0, alpha))


def jewel(k, size=GEM):
    surf, ctx = _canvas(size)
    draw_jewel(ctx, k)
    return to_rgba(surf)


def draw_jewel(ctx, k):
    """Jewel k at the design size GEM on any cairo context (pictures, icons, SVG)."""
    base, light, dark = _tones(JEWEL_COLOURS[k], 0.55, 0.55)
    c, r = GEM / 2, GEM / 2 - 2.2
    _shadow(ctx, lambda: _outline(ctx, k, c, r), 0.6, 1.2, 0.45)
    _outline(ctx, k, c, r)
    P.fill_path(ctx, P.radial_gradient(c, c, r * 1.3, [(0, light), (0.55, base), (1, dark)],
                                       fx=c - r * 0.4, fy=c - r * 0.5), True)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    P.stroke_path(ctx, P.mix(dark, (0, 0, 0, 1), 0.4), 1.3)
    # Crown facets: light from the top left.
    _facets(ctx, k, c, r)
    inner = ctx.copy_path_flat()
    ctx.new_path()
    _outline(ctx, k, c, r)
    outer = ctx.copy_path_flat()
    ctx.new_path()
    outer_pts = [p[1] for p in outer if p[0] in (cairo.PATH_MOVE_TO, cairo.PATH_LINE_TO)]
    inner_pts = [p[1] for p in inner if p[0] in (cairo.PATH_MOVE_TO, cairo.PATH_LINE_TO)]
    n = min(len(outer_pts), len(inner_pts))
    for i in range(n):
        a, b = outer_pts[i], outer_pts[(i + 1) % n]
        ia, ib = inner_pts[i], inner_pts[(i + 1) % n]
        mx, my = (a[0] + b[0] + ia[0] + ib[0]) / 4 - c, (a[1] + b[1] + ia[1] + ib[1]) / 4 - c
        shade = (-(mx + my) / (r * 1.2))
        P.polygon(ctx, [a, b, ib, ia])
        if shade > 0:
            P.fill_path(ctx, (1, 1, 1, min(0.45, shade * 0.5)))
        else:
            P.fill_path(ctx, (0, 0, 0, min(0.35, -shade * 0.4)))
    ctx.append_path(inner)
    P.fill_path(ctx, P.vertical_gradient(c - r * 0.5, c + r * 0.5,
                                         [(0, P.mix(light, (1, 1, 1, 1), 0.3)), (1, base)]), True)
    P.stroke_path(ctx, (1, 1, 1, 0.55), 0.8)
    _sparkle(ctx, c - r * 0.3, c - r * (0.2 if k == 3 else 0.38), 3.2)


def _sparkle(ctx, x, y, s):
    P.star(ctx, x, y, s, s * 0.25, 4, 0)
    P.fill_path(ctx, (1, 1, 1, 0.95))
    ctx.arc(x, y, s * 0.45, 0, 2 * math.pi)
    P.fill_path(ctx, (1, 1, 1, 1))


def marble(k, size=GEM):
    surf, ctx, base, light, dark = _start(size, MARBLE_COLOURS[k], 0.6, 0.6)
    c, r = GEM / 2, GEM / 2 - 2
    _shadow(ctx, lambda: ctx.arc(c, c, r, 0, 2 * math.pi), 0.5, 1.3, 0.4)
    ctx.arc(c, c, r, 0, 2 * math.pi)
    P.fill_path(ctx, P.radial_gradient(c, c, r, [(0, light), (0.5, base), (0.92, dark), (1, dark)],
                                       fx=c - r * 0.35, fy=c - r * 0.4), True)
    P.stroke_path(ctx, P.mix(dark, (0, 0, 0, 1), 0.4), 1.2)
    # A swirl band gives each marble depth.
    ctx.save()
    ctx.arc(c, c, r - 1, 0, 2 * math.pi)
    ctx.clip()
    ctx.set_line_width(r * 0.35)
    ctx.arc(c + r * 0.9, c + r * 0.9, r * 1.25, math.pi * 1.05, math.pi * 1.45)
    P.stroke_path(ctx, P.with_alpha(light, 0.35), r * 0.35)
    ctx.restore()
    ctx.save()
    ctx.translate(c - r * 0.3, c - r * 0.45)
    ctx.scale(1, 0.62)
    ctx.arc(0, 0, r * 0.45, 0, 2 * math.pi)
    ctx.restore()
    P.fill_path(ctx, P.vertical_gradient(c - r * 0.75, c - r * 0.15,
                                         [(0, (1, 1, 1, 0.9)), (1, (1, 1, 1, 0.1))]))
    ctx.arc(c + r * 0.35, c + r * 0.45, r * 0.18, 0, 2 * math.pi)
    P.fill_path(ctx, (1, 1, 1, 0.35))
    return to_rgba(surf)


def _clear_shape(ctx, k, c, r):
    if k == 0:
        ctx.arc(c, c, r * 0.9, 0, 2 * math.pi)
    elif k == 1:
        P.rounded_rect(ctx, c - r * 0.86, c - r * 0.86, r * 1.72, r * 1.72, r * 0.08)
    elif k == 2:
        P.regular_polygon(ctx, c, c + r * 0.18, r * 1.12, 3)
    elif k == 3:
        P.polygon(ctx, [(c, c - r * 1.05), (c + r * 1.0, c), (c, c + r * 1.05), (c - r * 1.0, c)])
    elif k == 4:
        P.star(ctx, c, c + r * 0.06, r * 1.08, r * 0.48, 5)
    elif k == 5:
        t = r * 0.36
        P.polygon(ctx, [(c - t, c - r), (c + t, c - r), (c + t, c - t), (c + r, c - t), (c + r, c + t),
                        (c + t, c + t), (c + t, c + r), (c - t, c + r), (c - t, c + t), (c - r, c + t),
                        (c - r, c - t), (c - t, c - t)])
    else:
        P.heart(ctx, c, c + r * 0.05, r * 0.95)


def clear(k, size=GEM):
    surf, ctx, base, light, dark = _start(size, CLEAR_COLOURS[k], 0.45, 0.5)
    c, r = GEM / 2, GEM / 2 - 2.5
    _shadow(ctx, lambda: _clear_shape(ctx, k, c, r), 0.6, 1.3, 0.5)
    _clear_shape(ctx, k, c, r)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    P.fill_path(ctx, P.vertical_gradient(c - r, c + r, [(0, light), (0.5, base), (1, dark)]), True)
    P.stroke_path(ctx, P.rgb('#1a1a1a'), 1.8)
    # A smaller copy of the same shape inside, dark, so the silhouette reads twice.
    _scaled_about_centre(ctx, c, 0.42, lambda: _clear_shape(ctx, k, c, r))
    P.fill_path(ctx, P.with_alpha(P.mix(base, (0, 0, 0, 1), 0.65), 0.85))
    return to_rgba(surf)


def gem_set(index):
    """(name, [seven functions drawing the RGBA picture of a token colour]) of set index."""
    name, style = SETS[index]
    draw = {'jewel': jewel, 'marble': marble, 'clear': clear}[style]
    return name, [functools.partial(draw, k) for k in range(7)]
