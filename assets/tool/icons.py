"""Small vector icons used on buttons and panels: (ctx, cx, cy, size, colour)."""
import math

import cairo

from . import paint as P


def play(ctx, cx, cy, s, colour):
    P.polygon(ctx, [(cx - s * 0.35, cy - s * 0.5), (cx + s * 0.5, cy), (cx - s * 0.35, cy + s * 0.5)])
    P.fill_path(ctx, colour)


def clock(ctx, cx, cy, s, colour, hand=0.25):
    r = s / 2
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    P.stroke_path(ctx, colour, max(1.2, s / 10))
    ctx.move_to(cx, cy)
    ctx.line_to(cx, cy - r * 0.7)
    ctx.move_to(cx, cy)
    a = 2 * math.pi * hand - math.pi / 2
    ctx.line_to(cx + r * 0.55 * math.cos(a), cy + r * 0.55 * math.sin(a))
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    P.stroke_path(ctx, colour, max(1.2, s / 10))


def stopwatch(ctx, cx, cy, s, colour):
    clock(ctx, cx, cy + s * 0.06, s * 0.88, colour, 0.08)
    ctx.rectangle(cx - s * 0.1, cy - s * 0.58, s * 0.2, s * 0.12)
    P.fill_path(ctx, colour)


def trophy(ctx, cx, cy, s, colour):
    ctx.move_to(cx - s * 0.35, cy - s * 0.45)
    ctx.line_to(cx + s * 0.35, cy - s * 0.45)
    ctx.curve_to(cx + s * 0.35, cy + s * 0.05, cx + s * 0.1, cy + s * 0.15, cx + s * 0.06, cy + s * 0.2)
    ctx.line_to(cx + s * 0.06, cy + s * 0.3)
    ctx.line_to(cx + s * 0.25, cy + s * 0.45)
    ctx.line_to(cx - s * 0.25, cy + s * 0.45)
    ctx.line_to(cx - s * 0.06, cy + s * 0.3)
    ctx.line_to(cx - s * 0.06, cy + s * 0.2)
    ctx.curve_to(cx - s * 0.1, cy + s * 0.15, cx - s * 0.35, cy + s * 0.05, cx - s * 0.35, cy - s * 0.45)
    P.fill_path(ctx, colour)
    ctx.arc(cx - s * 0.35, cy - s * 0.22, s * 0.15, math.pi / 2, 3 * math.pi / 2)
    ctx.new_sub_path()
    ctx.arc(cx + s * 0.35, cy - s * 0.22, s * 0.15, -math.pi / 2, math.pi / 2)
    P.stroke_path(ctx, colour, max(1.2, s / 10))


def leaf(ctx, cx, cy, s, colour):
    ctx.move_to(cx - s * 0.45, cy + s * 0.4)
    ctx.curve_to(cx - s * 0.5, cy - s * 0.2, cx, cy - s * 0.5, cx + s * 0.48, cy - s * 0.45)
    ctx.curve_to(cx + s * 0.45, cy + s * 0.1, cx + s * 0.05, cy + s * 0.45, cx - s * 0.45, cy + s * 0.4)
    P.fill_path(ctx, colour)
    ctx.move_to(cx - s * 0.45, cy + s * 0.4)
    ctx.line_to(cx + s * 0.15, cy - s * 0.15)
    P.stroke_path(ctx, P.with_alpha((0, 0, 0, 1), 0.35), max(1, s / 12))


def speaker(ctx, cx, cy, s, colour, waves=2):
    P.polygon(ctx, [(cx - s * 0.5, cy - s * 0.18), (cx - s * 0.25, cy - s * 0.18), (cx + s * 0.05, cy - s * 0.45),
                    (cx + s * 0.05, cy + s * 0.45), (cx - s * 0.25, cy + s * 0.18), (cx - s * 0.5, cy + s * 0.18)])
    P.fill_path(ctx, colour)
    for r in (0.25, 0.45, 0.65)[:waves]:
        ctx.arc(cx + s * 0.05, cy, s * r + s * 0.1, -0.8, 0.8)
        ctx.new_sub_path()
    P.stroke_path(ctx, colour, max(1.2, s / 10))


def envelope(ctx, cx, cy, s, colour):
    w, h = s, s * 0.68
    ctx.rectangle(cx - w / 2, cy - h / 2, w, h)
    P.stroke_path(ctx, colour, max(1.3, s / 11))
    ctx.move_to(cx - w / 2, cy - h / 2)
    ctx.line_to(cx, cy + h * 0.1)
    ctx.line_to(cx + w / 2, cy - h / 2)
    P.stroke_path(ctx, colour, max(1.3, s / 11))


def globe(ctx, cx, cy, s, colour):
    r = s / 2
    lw = max(1.2, s / 14)
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    P.stroke_path(ctx, colour, lw)
    for k in (0.05, 0.55):
        ctx.save()
        ctx.translate(cx, cy)
        ctx.scale(k, 1)
        ctx.arc(0, 0, r, 0, 2 * math.pi)
        ctx.restore()
        P.stroke_path(ctx, colour, lw)
    for dy in (-0.45, 0, 0.45):
        half = math.sqrt(max(0.0, 1 - dy * dy)) * r
        ctx.move_to(cx - half, cy + dy * r)
        ctx.line_to(cx + half, cy + dy * r)
    P.stroke_path(ctx, colour, lw)


def bulb(ctx, cx, cy, s, colour):
    ctx.arc(cx, cy - s * 0.12, s * 0.3, math.pi * 0.8, math.pi * 2.2)
    ctx.line_to(cx + s * 0.12, cy + s * 0.3)
    ctx.line_to(cx - s * 0.12, cy + s * 0.3)
    ctx.close_path()
    P.fill_path(ctx, colour)
    ctx.rectangle(cx - s * 0.12, cy + s * 0.34, s * 0.24, s * 0.1)
    P.fill_path(ctx, colour)


def refresh(ctx, cx, cy, s, colour):
    r = s * 0.36
    ctx.arc(cx, cy, r, -math.pi * 0.2, math.pi * 1.45)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    P.stroke_path(ctx, colour, max(1.5, s / 7))
    a = -math.pi * 0.2
    tx, ty = cx + r * math.cos(a), cy + r * math.sin(a)
    P.polygon(ctx, [(tx - s * 0.2, ty - s * 0.05), (tx + s * 0.16, ty - s * 0.16), (tx + s * 0.05, ty + s * 0.2)])
    P.fill_path(ctx, colour)


def house(ctx, cx, cy, s, colour):
    P.polygon(ctx, [(cx, cy - s * 0.48), (cx + s * 0.5, cy), (cx + s * 0.32, cy), (cx + s * 0.32, cy + s * 0.42),
                    (cx - s * 0.32, cy + s * 0.42), (cx - s * 0.32, cy), (cx - s * 0.5, cy)])
    P.fill_path(ctx, colour)


def pause(ctx, cx, cy, s, colour):
    for dx in (-0.25, 0.1):
        ctx.rectangle(cx + dx * s, cy - s * 0.4, s * 0.16, s * 0.8)
    P.fill_path(ctx, colour)


def pencil(ctx, cx, cy, s, colour):
    """A pencil pointing down-left, for a field that takes typing."""
    ctx.save()
    ctx.translate(cx, cy)
    ctx.rotate(-math.pi / 4)
    w, body = s * 0.2, s * 0.5
    P.polygon(ctx, [(-body, -w), (body * 0.55, -w), (body * 0.55, w), (-body, w)])
    P.fill_path(ctx, colour)
    P.polygon(ctx, [(-body - w * 1.6, 0), (-body - w * 0.2, -w), (-body - w * 0.2, w)])
    P.fill_path(ctx, colour)
    ctx.rectangle(body * 0.7, -w, body * 0.3, w * 2)
    P.fill_path(ctx, colour)
    ctx.restore()
