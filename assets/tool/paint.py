"""Drawing helpers shared by every picture: shapes, gradients, text, bevels."""
import contextlib
import math

import cairo

from . import imagefile
from .words import current

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
    boxes = imagefile.clip_boxes(surface)
    if boxes:
        n = surface.get_device_scale()[0]
        for x1, y1, x2, y2 in boxes:
            ctx.rectangle(x1 / n, y1 / n, (x2 - x1) / n, (y2 - y1) / n)
        ctx.clip()
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

# DejaVu draws Latin, Greek and Cyrillic; Japanese and Chinese words are drawn in the
# Noto CJK face of their language, whose Han characters take that language's forms.
CJK_FACES = {'ja': 'JP', 'zh_CN': 'SC'}


def _face(family):
    region = CJK_FACES.get(current())
    if not region:
        return family
    return {SANS: 'Noto Sans CJK ', SERIF: 'Noto Serif CJK ', MONO: 'Noto Sans Mono CJK '}[family] + region


def set_font(ctx, family, size, bold=True):
    ctx.select_font_face(_face(family), cairo.FONT_SLANT_NORMAL,
                         cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(size)


def check_glyphs(ctx, s):
    """Raises when the font set lacks a character of s: it would draw an empty box."""
    glyphs = ctx.get_scaled_font().text_to_glyphs(0, 0, s, False)
    missing = [ch for ch, g in zip(s, glyphs) if g.index == 0 and not ch.isspace()]
    if missing:
        raise ValueError('%s: no glyph for %r in %r' % (current(), ''.join(missing), s))


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


# ---- words in their boxes ------------------------------------------------------
# Every word drawn into a picture has a box, the room it may take. A word that does
# not fit gets a smaller size or a second line; the box's outermost pixel stays clear,
# so a picture for another language can be cut along the boxes without cutting a letter.

LEADING = 1.15          # line height of a word on two lines, in sizes
SMALLEST = 0.5          # no word is drawn below half its size


def _cjk(ch):
    return ord(ch) >= 0x2E80


# Kana and punctuation a line never starts with, and brackets it never ends with.
NO_LINE_START = set('、。，．・：；？！ー）」』】〕…々ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮ,.;:!?)')
NO_LINE_END = set('（「『【〔(')


def _units(s):
    """s as [separator before, unit]: words, and each CJK character with the punctuation
    that must stay beside it; the breaks between units are where a line may break."""
    units, sep = [], ''
    for ch in s:
        if ch == ' ':
            sep = ' '
            continue
        last = units[-1][1][-1] if units else ''
        if units and not sep and ((not _cjk(ch) and not _cjk(last)) or ch in NO_LINE_START or last in NO_LINE_END):
            units[-1][1] += ch
        else:
            units.append([sep if units else '', ch])
        sep = ''
    return units


def _joined(units):
    return ''.join((sep if i else '') + unit for i, (sep, unit) in enumerate(units))


def wrap(ctx, s, width):
    """Greedy wrap for the current font, breaking between words or CJK characters."""
    lines, line = [], []
    for unit in _units(s):
        if line and ctx.text_extents(_joined(line + [unit])).x_advance > width:
            lines.append(_joined(line))
            line = [['', unit[1]]]
        else:
            line.append(unit)
    if line:
        lines.append(_joined(line))
    return lines


def _two_lines(ctx, s):
    """s on two lines as even as its breaks allow; None when it has no break."""
    units = _units(s)
    splits = [(_joined(units[:i]), _joined([['', units[i][1]]] + units[i + 1:])) for i in range(1, len(units))]
    return min(splits, key=lambda p: max(ctx.text_extents(p[0]).x_advance, ctx.text_extents(p[1]).x_advance),
               default=None)


def _placed(ctx, lines, x, y, lead, align, tracking, middle):
    """(start x, baseline) of each line, lead apart: centred on y as a block when middle,
    else from baseline y."""
    ascent = ctx.text_extents('X').height
    first = y + ascent / 2 - (len(lines) - 1) * lead / 2 if middle else y
    out = []
    for i, line in enumerate(lines):
        width = text_width(ctx, line, tracking)
        out.append((x - {'left': 0, 'center': width / 2, 'right': width}[align], first + i * lead))
    return out


def _ink(ctx, lines, places, tracking):
    """Extents of the ink of lines drawn at places, in user space, wherever the clip is."""
    ctx.save()
    ctx.reset_clip()
    ctx.new_path()
    for line, (lx, base) in zip(lines, places):
        text_path(ctx, line, lx, base, tracking)
    extents = ctx.fill_extents()
    ctx.new_path()
    ctx.restore()
    return extents


def _fits(ink, box, pad):
    x0, y0, x1, y1 = ink
    bx1, by1, bx2, by2 = box
    return x0 - pad[0] >= bx1 + 1 and y0 - pad[1] >= by1 + 1 and x1 + pad[2] <= bx2 - 1 and y1 + pad[3] <= by2 - 1


def fitted(ctx, s, x, y, family, size, bold, align, tracking, middle, box, pad, leading=None):
    """(size, lines) of s drawn in box, lines leading apart (in sizes: LEADING): its own
    size on its own lines when they fit; else one line (s without a line break) made up
    to a fifth smaller, or the larger of two lines and one. Lines s breaks itself are
    only made smaller."""
    lead = leading / size if leading else LEADING

    def attempt(sz, two):
        set_font(ctx, family, sz, bold)
        lines = s.split('\n') if '\n' in s else _two_lines(ctx, s) if two else (s,)
        if not lines:
            return None
        places = _placed(ctx, lines, x, y, sz * lead, align, tracking, middle)
        return (sz, list(lines)) if _fits(_ink(ctx, lines, places, tracking), box, pad) else None
    steps = [size * (1 - k / 40) for k in range(int(40 * (1 - SMALLEST)) + 1)]
    # One line down to 4/5 of the size; then, size by size, one line or else two.
    tries = [(sz, False) for sz in steps if sz >= size * 0.8 - 1e-9 or '\n' in s]
    tries += [(sz, two) for sz in steps if sz < size * 0.8 - 1e-9 and '\n' not in s for two in (False, True)]
    for sz, two in tries:
        if (found := attempt(sz, two)):
            if current() == 'en' and found != (size, s.split('\n')):
                set_font(ctx, family, size, bold)
                lines = s.split('\n')
                ink = _ink(ctx, lines, _placed(ctx, lines, x, y, size * lead, align, tracking, middle), tracking)
                raise ValueError('English %r does not fit its box %r: ink %r, pad %r' % (s, box, ink, pad))
            return found
    raise ValueError('%r (%s) does not fit its box %r even at half its size' % (s, current(), box))


def note_box(ctx, box):
    """Notes box (user space) as carrying words."""
    _noted(ctx, box)


def mark_box(ctx, box):
    """Drawing boxes, covers the words just drawn in box with a flat patch. Words are
    drawn first so that what they leave set for later drawing stays as it was."""
    if _marking:
        ctx.save()
        ctx.rectangle(box[0], box[1], box[2] - box[0], box[3] - box[1])
        ctx.set_source_rgba(1, 0, 1, 1)
        ctx.fill()
        ctx.restore()


def _noted(ctx, box):
    """The box as pixels of the surface drawn on, noted as carrying words."""
    # Whole logical pixels: the rectangles found at 1x hold every pixel the box touches.
    surface = ctx.get_target()
    n = int(surface.get_device_scale()[0])
    corners = [ctx.user_to_device(bx, by) for bx in (box[0], box[2]) for by in (box[1], box[3])]
    w, h = surface.get_width(), surface.get_height()
    rect = (max(0, n * math.floor(min(c[0] for c in corners))), max(0, n * math.floor(min(c[1] for c in corners))),
            min(w, n * math.ceil(max(c[0] for c in corners))), min(h, n * math.ceil(max(c[1] for c in corners))))
    imagefile.note_box(surface, rect)
    return rect


_marking = False


@contextlib.contextmanager
def marking_boxes():
    """Draws each box that carries words as a flat patch instead of its words: where the
    boxes land in a finished picture."""
    global _marking
    _marking = True
    try:
        yield
    finally:
        _marking = False


def text(ctx, s, x, y, family, size, fill, bold=True, align='left', outline=None,
         outline_width=2.0, shadow=None, shadow_offset=(0, 1.5), tracking=0.0, middle=True, box=None,
         leading=None):
    """A line of text, or lines broken at its line breaks, leading pixels apart; y is the
    optical middle of the block when middle is set, else the first baseline. With a box
    (x1, y1, x2, y2), the text is fitted inside it (see fitted)."""
    lines, lead = s.split('\n'), (leading or size * LEADING) / size
    if box:
        note_box(ctx, box)
        grow = outline_width if outline else 0
        sx, sy = shadow_offset if shadow else (0, 0)
        pad = (grow + max(0, -sx), grow + max(0, -sy), grow + max(0, sx), grow + max(0, sy))
        size, lines = fitted(ctx, s, x, y, family, size, bold, align, tracking, middle, box, pad, leading)
    set_font(ctx, family, size, bold)
    for line in lines:
        check_glyphs(ctx, line)
    places = _placed(ctx, lines, x, y, size * lead, align, tracking, middle)
    if shadow:
        for line, (lx, base) in zip(lines, places):
            text_path(ctx, line, lx + shadow_offset[0], base + shadow_offset[1], tracking)
        if outline:
            ctx.set_line_width(outline_width * 2)
            ctx.set_line_join(cairo.LINE_JOIN_ROUND)
            ctx.set_source_rgba(*shadow)
            ctx.stroke_preserve()
        ctx.set_source_rgba(*shadow)
        ctx.fill()
    if outline:
        for line, (lx, base) in zip(lines, places):
            text_path(ctx, line, lx, base, tracking)
        ctx.set_line_width(outline_width * 2)
        ctx.set_line_join(cairo.LINE_JOIN_ROUND)
        ctx.set_source_rgba(*outline)
        ctx.stroke()
    for line, (lx, base) in zip(lines, places):
        text_path(ctx, line, lx, base, tracking)
    fill_path(ctx, fill)
    if box:
        mark_box(ctx, box)
    return max(text_width(ctx, line, tracking) for line in lines)


def paragraph(ctx, s, x, y, width, family, size, colour, bold=False, leading=1.35, box=None, centred=False):
    """Wrapped left-aligned text from the baseline y; returns the y after it. With a box
    (top, bottom), the text is kept inside x - 2 .. x + width + 1 and top .. bottom,
    smaller when it must be (a line may start with a letter reaching a hair left of x:
    T, Y, V); centred, its lines are centred on the baseline y."""
    lines = None
    if box:
        box = (x - 2, box[0], x + width + 1, box[1])
        note_box(ctx, box)
        size, lines = _paragraph_fitted(ctx, s, x, y, width, family, size, bold, leading, box, centred)
    set_font(ctx, family, size, bold)
    lines = lines or wrap(ctx, s, width)
    for line in lines:
        check_glyphs(ctx, line)
    y -= (len(lines) - 1) * size * leading / 2 if centred else 0
    for line in lines:
        ctx.move_to(x, y)
        ctx.set_source_rgba(*colour)
        ctx.show_text(line)
        y += size * leading
    if box:
        mark_box(ctx, box)
    return y


def _paragraph_fitted(ctx, s, x, y, width, family, size, bold, leading, box, centred):
    for k in range(int(40 * (1 - SMALLEST)) + 1):
        sz = size * (1 - k / 40)
        set_font(ctx, family, sz, bold)
        lines = wrap(ctx, s, width)
        first = y - ((len(lines) - 1) * sz * leading / 2 if centred else 0)
        if _fits(_ink(ctx, lines, [(x, first + i * sz * leading) for i in range(len(lines))], 0), box, (0, 0, 0, 0)):
            if k and current() == 'en':
                raise ValueError('English %r does not fit its box %r' % (s, box))
            return sz, lines
    raise ValueError('%r (%s) does not fit its box %r even at half its size' % (s, current(), box))
