"""Drawing helpers shared by every picture: shapes, gradients, text, bevels."""
import math

import cairo

SANS, SERIF, MONO = 'DejaVu Sans', 'DejaVu Serif', 'DejaVu Sans Mono'

_FONT_OPTIONS = cairo.FontOptions()
_FONT_OPTIONS.set_antialias(cairo.ANTIALIAS_GRAY)
_FONT_OPTIONS.set_hint_style(cairo.HINT_STYLE_SLIGHT)
_FONT_OPTIONS.set_hint_metrics(cairo.HINT_METRICS_OFF)


def rgb(hex_colour, alpha=1.0):
    """'#rrggbb' to a cairo colour tuple."""
    v = hex_colour.lstrip('#')
    return (int(v[0:2], 16) / 255, int(v[2:4], 16) / 255, int(v[4:6], 16) / 255, alpha)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def with_alpha(colour, alpha):
    return colour[:3] + (alpha,)


def context(surface):
    ctx = cairo.Context(surface)
    ctx.set_font_options(_FONT_OPTIONS)
    return ctx


# ---- shapes -----------------------------------------------------------------

def rounded_rect(ctx, x, y, w, h, r):
    r = max(0.0, min(r, w / 2, h / 2))
    ctx.new_sub_path()
    ctx.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    ctx.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    ctx.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    ctx.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    ctx.close_path()


def chamfer_rect(ctx, x, y, w, h, c):
    c = max(0.0, min(c, w / 2, h / 2))
    ctx.move_to(x + c, y)
    ctx.line_to(x + w - c, y)
    ctx.line_to(x + w, y + c)
    ctx.line_to(x + w, y + h - c)
    ctx.line_to(x + w - c, y + h)
    ctx.line_to(x + c, y + h)
    ctx.line_to(x, y + h - c)
    ctx.line_to(x, y + c)
    ctx.close_path()


def shape(ctx, style, x, y, w, h, size):
    """A box in the skin's shape: 'round', 'pill' or 'chamfer'."""
    if style == 'chamfer':
        chamfer_rect(ctx, x, y, w, h, size)
    elif style == 'pill':
        rounded_rect(ctx, x, y, w, h, h / 2)
    else:
        rounded_rect(ctx, x, y, w, h, size)


def polygon(ctx, points):
    ctx.move_to(*points[0])
    for p in points[1:]:
        ctx.line_to(*p)
    ctx.close_path()


def regular_polygon(ctx, cx, cy, r, n, rotation=-math.pi / 2):
    polygon(ctx, [(cx + r * math.cos(rotation + 2 * math.pi * i / n),
                   cy + r * math.sin(rotation + 2 * math.pi * i / n)) for i in range(n)])


def star(ctx, cx, cy, r_out, r_in, n, rotation=-math.pi / 2):
    pts = []
    for i in range(2 * n):
        r = r_out if i % 2 == 0 else r_in
        a = rotation + math.pi * i / n
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    polygon(ctx, pts)


def heart(ctx, cx, cy, s):
    ctx.move_to(cx, cy + s * 0.95)
    ctx.curve_to(cx - s * 1.25, cy + s * 0.05, cx - s * 0.95, cy - s * 1.05, cx, cy - s * 0.35)
    ctx.curve_to(cx + s * 0.95, cy - s * 1.05, cx + s * 1.25, cy + s * 0.05, cx, cy + s * 0.95)
    ctx.close_path()


# ---- fills ------------------------------------------------------------------

def vertical_gradient(y0, y1, stops):
    g = cairo.LinearGradient(0, y0, 0, y1)
    for offset, colour in stops:
        g.add_color_stop_rgba(offset, *colour)
    return g


def radial_gradient(cx, cy, r, stops, fx=None, fy=None):
    g = cairo.RadialGradient(cx if fx is None else fx, cy if fy is None else fy, 0, cx, cy, r)
    for offset, colour in stops:
        g.add_color_stop_rgba(offset, *colour)
    return g


def fill_path(ctx, source, preserve=False):
    ctx.set_source(source) if isinstance(source, cairo.Pattern) else ctx.set_source_rgba(*source)
    ctx.fill_preserve() if preserve else ctx.fill()


def stroke_path(ctx, colour, width, preserve=False):
    ctx.set_source(colour) if isinstance(colour, cairo.Pattern) else ctx.set_source_rgba(*colour)
    ctx.set_line_width(width)
    ctx.stroke_preserve() if preserve else ctx.stroke()


def soft_shadow(ctx, draw_path, colour, spread, steps=6):
    """A blurred-looking shadow made of widening translucent strokes."""
    for i in range(steps, 0, -1):
        draw_path()
        ctx.set_source_rgba(*with_alpha(colour, colour[3] / steps))
        ctx.set_line_width(spread * 2 * i / steps)
        ctx.set_line_join(cairo.LINE_JOIN_ROUND)
        ctx.stroke()
    draw_path()
    ctx.set_source_rgba(*colour)
    ctx.fill()


def glow(ctx, draw_path, colour, spread, steps=8):
    """A halo around a path, fading outwards."""
    for i in range(steps, 0, -1):
        draw_path()
        ctx.set_source_rgba(*with_alpha(colour, colour[3] * (1 - i / (steps + 1)) / 2.5))
        ctx.set_line_width(spread * 2 * i / steps)
        ctx.set_line_join(cairo.LINE_JOIN_ROUND)
        ctx.stroke()


# ---- text -------------------------------------------------------------------

def set_font(ctx, family, size, bold=True):
    ctx.select_font_face(family, cairo.FONT_SLANT_NORMAL,
                         cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(size)


def text_width(ctx, text, tracking=0.0):
    return ctx.text_extents(text).x_advance + tracking * max(0, len(text) - 1)


def text_path(ctx, text, x, y, tracking=0.0):
    """Path of a line of text with its baseline at y, starting at x."""
    if not tracking:
        ctx.move_to(x, y)
        ctx.text_path(text)
        return
    for ch in text:
        ctx.move_to(x, y)
        ctx.text_path(ch)
        x += ctx.text_extents(ch).x_advance + tracking


def text(ctx, s, x, y, family, size, fill, bold=True, align='left', outline=None,
         outline_width=2.0, shadow=None, shadow_offset=(0, 1.5), tracking=0.0, middle=True):
    """A line of text; y is its optical middle when middle is set, else its baseline."""
    set_font(ctx, family, size, bold)
    width = text_width(ctx, s, tracking)
    if align == 'center':
        x -= width / 2
    elif align == 'right':
        x -= width
    if middle:
        ascent = ctx.text_extents('X').height
        y += ascent / 2
    if shadow:
        text_path(ctx, s, x + shadow_offset[0], y + shadow_offset[1], tracking)
        if outline:
            ctx.set_line_width(outline_width * 2)
            ctx.set_line_join(cairo.LINE_JOIN_ROUND)
            ctx.set_source_rgba(*shadow)
            ctx.stroke_preserve()
        ctx.set_source_rgba(*shadow)
        ctx.fill()
    if outline:
        text_path(ctx, s, x, y, tracking)
        ctx.set_line_width(outline_width * 2)
        ctx.set_line_join(cairo.LINE_JOIN_ROUND)
        ctx.set_source_rgba(*outline)
        ctx.stroke()
    text_path(ctx, s, x, y, tracking)
    fill_path(ctx, fill)
    return width


def wrap(ctx, s, width):
    """Greedy word wrap for the current font."""
    lines, line = [], ''
    for word in s.split():
        trial = word if not line else line + ' ' + word
        if line and ctx.text_extents(trial).x_advance > width:
            lines.append(line)
            line = word
        else:
            line = trial
    if line:
        lines.append(line)
    return lines


def paragraph(ctx, s, x, y, width, family, size, colour, bold=False, leading=1.35):
    """Wrapped left-aligned text from the baseline y; returns the y after it."""
    set_font(ctx, family, size, bold)
    for line in wrap(ctx, s, width):
        ctx.move_to(x, y)
        ctx.set_source_rgba(*colour)
        ctx.show_text(line)
        y += size * leading
    return y
