"""Full-screen pages: the loading picture and the software-renderer page."""
from . import icons
from . import paint as P
from . import theme
from .gems import jewel
from .imagefile import from_rgba, new_surface, to_rgba
from .layout import DRIVER_CONTINUE, DRIVER_DOWNLOAD
from .skins import CLASSIC
from .words import N_, language, word

MARGIN, BOTTOM_MARGIN = 30, 20    # the well's side margin; the buttons' distance from the bottom
CHOICE_WIDTH = 104


def _gem_row(ctx, cx, y, scale=1.0):
    n = 7
    step = 44 * scale
    for k in range(n):
        ctx.save()
        ctx.translate(cx - step * (n - 1) / 2 + step * k, y)
        ctx.scale(scale, scale)
        ctx.set_source_surface(from_rgba(jewel(k)), -18, -18)
        ctx.paint()
        ctx.restore()


def loading_picture():
    surf = new_surface(640, 480)
    ctx = P.context(surf)
    theme.background(ctx, CLASSIC)
    theme.logo(ctx, CLASSIC, 320, 190, 96)
    _gem_row(ctx, 320, 290)
    P.text(ctx, word('loading...'), 320, 360, P.SANS, 18, CLASSIC['text'], align='center', tracking=2,
           box=(100, 344, 540, 378))
    return to_rgba(surf)


def _choice(ctx, rect, title, lines, icon, primary):
    """A big button inside its click zone, kept off the screen's right and bottom
    edges by the well's margin."""
    x1, y1, x2, y2 = rect
    w, h = CHOICE_WIDTH, 480 - BOTTOM_MARGIN - (y1 + 2)
    x, y = min(x2 - 2, 640 - MARGIN) - w, y1 + 2
    s = CLASSIC
    P.soft_shadow(ctx, lambda: P.rounded_rect(ctx, x, y + 3, w, h, 10), (0, 0, 0, 0.4), 4, 3)
    P.rounded_rect(ctx, x + 0.5, y + 0.5, w - 1, h - 1, 10)
    top, bottom = (s['lit_top'], s['lit_bottom']) if primary else (s['btn_top'], s['btn_bottom'])
    colour = s['lit_text'] if primary else s['btn_text']
    P.fill_path(ctx, P.vertical_gradient(y, y + h, [(0, top), (1, bottom)]), True)
    P.stroke_path(ctx, s['lit_border'] if primary else s['btn_border'], 1.5)
    ctx.save()
    P.rounded_rect(ctx, x + 1, y + 1, w - 2, h - 2, 9)
    ctx.clip()
    ctx.rectangle(x, y, w, h * 0.45)
    ctx.set_source(P.vertical_gradient(y, y + h * 0.45, [(0, (1, 1, 1, 0.45)), (1, (1, 1, 1, 0.05))]))
    ctx.fill()
    ctx.restore()
    icon(ctx, x + w / 2, y + 24, 28, colour)
    P.text(ctx, title, x + w / 2, y + 52, P.SANS, 14, colour, align='center', box=(x + 3, y + 42, x + w - 3, y + 62))
    P.text(ctx, lines, x + w / 2, y + 75, P.SANS, 10, colour, align='center', bold=False, leading=12,
           box=(x + 3, y + 62, x + w - 3, y + h - 3))


def _download_icon(ctx, cx, cy, s, colour):
    P.polygon(ctx, [(cx - s * 0.12, cy - s * 0.5), (cx + s * 0.12, cy - s * 0.5), (cx + s * 0.12, cy - s * 0.05),
                    (cx + s * 0.32, cy - s * 0.05), (cx, cy + s * 0.3), (cx - s * 0.32, cy - s * 0.05),
                    (cx - s * 0.12, cy - s * 0.05)])
    P.fill_path(ctx, colour)
    ctx.rectangle(cx - s * 0.45, cy + s * 0.38, s * 0.9, s * 0.12)
    P.fill_path(ctx, colour)


def driver_page():
    """Shown when OpenGL is not accelerated: continue, or fetch a driver."""
    surf = new_surface(640, 480)
    ctx = P.context(surf)
    s = CLASSIC
    theme.background(ctx, s)
    theme.logo(ctx, s, 320, 48, 56)
    theme.well(ctx, s, 30, 96, 580, 196)
    theme.heading(ctx, s, word('Your graphics run in software'), 320, 128, 22, 'center', box=(40, 108, 600, 148))
    body = N_('Brolix found no hardware-accelerated OpenGL driver on this computer, so every picture '
              'is drawn by the processor instead of the graphics card. The game still works, but it may '
              'run slowly and feel less smooth.')
    body2 = N_('Installing the driver made for your graphics card usually fixes this. Choose below: play now '
               'with the software renderer, or open the page that helps you find a driver.')
    # Every language keeps the English places.
    with language(None):
        P.set_font(ctx, P.SANS, 14, False)
        y = 164 + len(P.wrap(ctx, body, 528)) * 14 * 1.35
    P.paragraph(ctx, word(body), 56, 164, 528, P.SANS, 14, s['text'], box=(149, y - 5))
    P.paragraph(ctx, word(body2), 56, y + 10, 528, P.SANS, 14, s['text_dim'], box=(y - 5, 286))
    _gem_row(ctx, 165, 418, 0.9)
    # TRANSLATORS: the driver page's two big buttons: a title and two short lines under it
    _choice(ctx, DRIVER_CONTINUE, word('continue'), word('play with the\nsoftware renderer'), icons.play, True)
    _choice(ctx, DRIVER_DOWNLOAD, word('get a driver'), word('open the download\npage, then quit'), _download_icon,
            False)
    return to_rgba(surf)
