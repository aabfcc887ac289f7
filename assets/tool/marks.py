"""Small pictures: bonus marks, selection frame, mouse cursor, server-wait sign."""
import math

import cairo

from . import paint as P
from . import theme
from .imagefile import new_surface, to_rgba
from .layout import CELL, CURSOR_AT, CURSOR_SIZE, GEM, mark_size
from .words import word

OUTLINE = (0.05, 0.05, 0.08, 1)
WHITE = (1, 1, 1, 1)


def _badge(ctx, w, h):
    """Dark disc with a crisp dark rim under a sign: the game draws marks at half
    opacity, so the sign needs its own dark ground, edged, to stand out on pale
    and bright gems alike. Small enough to stay on the narrow gems."""
    r = min(w, h) / 2 - 2
    ctx.arc(w / 2, h / 2, r, 0, 2 * math.pi)
    P.fill_path(ctx, (0.02, 0.02, 0.06, 0.9), True)
    P.stroke_path(ctx, OUTLINE, 1.6)


def _outlined(ctx, path, fill=WHITE, width=2.6):
    """White sign with a thick dark rim: legible at half opacity on any gem."""
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    path()
    P.stroke_path(ctx, OUTLINE, width * 2)
    path()
    P.fill_path(ctx, fill)


def _double_arrow(ctx, x0, y0, x1, y1, shaft, head, spread=0.9):
    """Arrow with heads at both ends along the segment (x0, y0)-(x1, y1)."""
    length = math.hypot(x1 - x0, y1 - y0)
    ctx.save()
    ctx.translate(x0, y0)
    ctx.rotate(math.atan2(y1 - y0, x1 - x0))
    s, h, w = shaft / 2, head, head * spread
    P.polygon(ctx, [(0, 0), (h, -w), (h, -s), (length - h, -s), (length - h, -w),
                    (length, 0), (length - h, w), (length - h, s), (h, s), (h, w)])
    ctx.restore()


def bomb():
    w, h = mark_size('bomb')
    surf = new_surface(w, h)
    ctx = P.context(surf)
    cx, cy, r = w / 2, h / 2 + 2.5, w / 2 - 4
    def body():
        ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.arc(cx, cy, r + 2.8, 0, 2 * math.pi)
    P.fill_path(ctx, OUTLINE)
    ctx.arc(cx, cy, r + 2.0, 0, 2 * math.pi)
    P.fill_path(ctx, WHITE)
    body()
    P.fill_path(ctx, P.radial_gradient(cx, cy, r, [(0, P.rgb('#5a5f6a')), (1, P.rgb('#08090c'))],
                                       fx=cx - r / 3, fy=cy - r / 3))
    ctx.arc(cx - r * 0.35, cy - r * 0.35, r * 0.25, 0, 2 * math.pi)
    P.fill_path(ctx, (1, 1, 1, 0.8))
    ctx.move_to(cx + r * 0.5, cy - r * 0.75)
    ctx.curve_to(cx + r * 0.7, cy - r * 1.3, cx + r * 1.0, cy - r * 1.2, cx + r * 1.1, cy - r * 1.55)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    P.stroke_path(ctx, OUTLINE, 3.2, True)
    P.stroke_path(ctx, P.rgb('#e8c890'), 1.6)
    P.star(ctx, cx + r * 1.1, cy - r * 1.6, 3.6, 1.3, 5)
    P.fill_path(ctx, P.rgb('#ffcf3a'), True)
    P.stroke_path(ctx, P.rgb('#ff5a00'), 0.8)
    return to_rgba(surf)


def horiz():
    w, h = mark_size('horiz')
    surf = new_surface(w, h)
    ctx = P.context(surf)
    _badge(ctx, w, h)
    _outlined(ctx, lambda: _double_arrow(ctx, 2, h / 2, w - 2, h / 2, 5, 7))
    return to_rgba(surf)


def verti():
    w, h = mark_size('verti')
    surf = new_surface(w, h)
    ctx = P.context(surf)
    _badge(ctx, w, h)
    _outlined(ctx, lambda: _double_arrow(ctx, w / 2, 2, w / 2, h - 2, 5, 7))
    return to_rgba(surf)


def xzap():
    w, h = mark_size('xzap')
    surf = new_surface(w, h)
    ctx = P.context(surf)
    def both():
        _double_arrow(ctx, 2, h / 2, w - 2, h / 2, 3.2, 5, 0.75)
        _double_arrow(ctx, w / 2, 2, w / 2, h - 2, 3.2, 5, 0.75)
    _badge(ctx, w, h)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    both()
    P.stroke_path(ctx, OUTLINE, 4.6)
    ctx.set_fill_rule(cairo.FILL_RULE_WINDING)
    both()
    P.fill_path(ctx, WHITE)
    return to_rgba(surf)


def question():
    w, h = mark_size('question')
    surf = new_surface(w, h)
    ctx = P.context(surf)
    P.set_font(ctx, P.SANS, 24)
    ext = ctx.text_extents('?')
    x = (w - ext.width) / 2 - ext.x_bearing
    y = (h - ext.height) / 2 - ext.y_bearing
    _badge(ctx, w, h)
    _outlined(ctx, lambda: (ctx.move_to(x, y), ctx.text_path('?')))
    return to_rgba(surf)


MARKS = {'bomb.tga': bomb, 'horiz.tga': horiz, 'verti.tga': verti, 'xzap.tga': xzap,
         'question.tga': question}


def select(skin):
    """Frame drawn at (cell - 1) around the gem, which fills the cell's top-left."""
    surf = new_surface(44, 44)
    ctx = P.context(surf)
    x, y, s = 1.5, 1.5, GEM + 2   # continuous span of the gem is picture 1..GEM+1
    colour = skin['accent']
    P.glow(ctx, lambda: P.rounded_rect(ctx, x, y, s, s, 6), P.with_alpha(colour, 1.0), 2.5, 5)
    P.rounded_rect(ctx, x, y, s, s, 6)
    P.stroke_path(ctx, OUTLINE, 3.5)
    P.rounded_rect(ctx, x, y, s, s, 6)
    P.stroke_path(ctx, colour, 2.0)
    for cx, cy in ((x, y), (x + s, y), (x, y + s), (x + s, y + s)):
        ctx.arc(cx + (3 if cx == x else -3), cy + (3 if cy == y else -3), 2.2, 0, 2 * math.pi)
        P.fill_path(ctx, WHITE)
    return to_rgba(surf)


def cursor_frame(skin):
    """The board cursor: four corner brackets round the whole cell, wider than the
    selection frame and open along the sides so both show at once. White on a dark
    rim with the skin's accent inside, so it reads on light, dark and see-through
    gems alike; drawn in vectors at every density."""
    w, h = CURSOR_SIZE
    surf = new_surface(w, h)
    ctx = P.context(surf)
    inset = -CURSOR_AT[0]   # where the cell starts in the picture
    x0, y0, x1, y1 = inset + 0.5, inset + 0.5, inset + CELL - 0.5, inset + CELL - 0.5
    arm = CELL * 0.3

    def brackets():
        for cx, cy, dx, dy in ((x0, y0, 1, 1), (x1, y0, -1, 1), (x0, y1, 1, -1), (x1, y1, -1, -1)):
            ctx.move_to(cx + dx * arm, cy)
            ctx.line_to(cx, cy)
            ctx.line_to(cx, cy + dy * arm)

    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    for colour, width in ((OUTLINE, 5.0), (WHITE, 3.0), (skin['accent'], 1.2)):
        brackets()
        P.stroke_path(ctx, colour, width)
    return to_rgba(surf)


def mouse():
    """Arrow pointer whose tip is the hot spot at (3, 3)."""
    surf = new_surface(32, 32)
    ctx = P.context(surf)
    pts = [(3.4, 3.4), (3.4, 24), (8.5, 19), (12.5, 28), (16.5, 26.3), (12.6, 17.5), (20, 17.5)]
    ctx.save()
    ctx.translate(1.5, 1.5)
    P.polygon(ctx, pts)
    ctx.restore()
    P.fill_path(ctx, (0, 0, 0, 0.35))
    ctx.set_line_join(cairo.LINE_JOIN_BEVEL)
    P.polygon(ctx, pts)
    P.fill_path(ctx, P.vertical_gradient(3, 28, [(0, P.rgb('#ffffff')), (1, P.rgb('#d6e4f5'))]), True)
    P.stroke_path(ctx, OUTLINE, 1.4)
    return to_rgba(surf)


INTERNET_SIZE = (212, 60)


def internet():
    """Server-wait sign; its content stays inside (4, 4)-(W-4, H-8)."""
    w, h = INTERNET_SIZE
    surf = new_surface(w, h)
    ctx = P.context(surf)
    P.rounded_rect(ctx, 5.5, 5.5, w - 11, h - 16, 9)
    P.fill_path(ctx, P.vertical_gradient(4, h - 8, [(0, P.rgb('#23324a', 0.95)), (1, P.rgb('#0c1422', 0.95))]), True)
    P.stroke_path(ctx, P.rgb('#7fb8ff'), 1.5)
    cx, cy, r = 26, (h - 4) / 2, 14
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    P.fill_path(ctx, P.radial_gradient(cx, cy, r, [(0, P.rgb('#8fd3ff')), (1, P.rgb('#1f6fc9'))],
                                       fx=cx - 5, fy=cy - 5), True)
    P.stroke_path(ctx, (1, 1, 1, 0.9), 1.2)
    ctx.set_line_width(1.0)
    ctx.set_source_rgba(1, 1, 1, 0.8)
    for k in (-1, 0, 1):
        ctx.save()
        ctx.translate(cx, cy)
        ctx.scale(abs(k) * 0.55 + 0.05 if k else 0.05, 1)
        ctx.arc(0, 0, r, 0, 2 * math.pi)
        ctx.restore()
        ctx.stroke()
    for dy in (-6, 0, 6):
        half = math.sqrt(max(0, r * r - dy * dy))
        ctx.move_to(cx - half, cy + dy)
        ctx.line_to(cx + half, cy + dy)
    ctx.stroke()
    P.text(ctx, word('score server'), 48, cy - 7, P.SANS, 13, P.rgb('#ffffff'), box=(46, 8, 204, 28))
    P.text(ctx, word('one moment please...'), 48, cy + 9, P.SANS, 11, P.rgb('#a9cdf5'), bold=False,
           box=(46, 28, 204, 47))
    return to_rgba(surf)


def knob(skin):
    surf = new_surface(16, 15)
    ctx = P.context(surf)
    theme.knob(ctx, skin, 8, 7.2, 6.8)
    return to_rgba(surf)
