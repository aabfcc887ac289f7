#!/usr/bin/python3
"""Writes contact sheets of a built data folder for review.

usage: preview.py DATA_DIR OUT_DIR

OUT_DIR receives sheet-skin0.png .. sheet-skin2.png (every screen of a skin at
half size), sheet-common.png (gem sets, marks, cursor, pages), sheet-density.png
(crops of pictures at 1x, 2x and 3x side by side, each pixel shown as a square),
every screen at full size under screens/, and under languages/ a sheet per language
(sheet-LANG.jpg: the screens with words, drawn at 1x and at 2x with that language's
overlays, each skin in turn).
"""
import argparse
import os
import sys

import cairo
import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from build_data import dense_path  # noqa: E402
from tool import paint as P  # noqa: E402
from tool import scene  # noqa: E402
from tool.imagefile import flatten, from_rgba, read_picture, to_rgba  # noqa: E402
from tool.skins import SKINS  # noqa: E402
from tool.words import languages  # noqa: E402


LONG = 'w' * 19   # the widest name the entry takes
LONG_ROWS = [(LONG, 9999), ('mm' * 9 + 'm', 8888), ('ruby', 600), ('opal', 350), (LONG, 1000), ('amber', 300),
             ('pearl', 200), (LONG, 100), ('onyx', 30)]
LONG_TIMES = [(LONG, 587), (LONG, 3599), ('ruby', 3600), (LONG, 35999), ('opal', 9432), ('jade', 12610),
              (LONG, 86399), ('amber', 15697), ('pearl', 15697)]


def skin_screens(data, k):
    gem_set = [0, 1, 2][k]
    return [
        ('menu: game settings, pointer on play', scene.cursor(scene.menu(data, k, 0, 'play'), data, 480, 360)),
        ('menu: how to play', scene.menu(data, k, 1)),
        ('menu: options, pointer on reset', scene.cursor(scene.menu(data, k, 2, 'reset', gem_set=gem_set),
                                                         data, 200, 158)),
        ('menu: high scores', scene.menu(data, k, 3, tab=1)),
        ('menu: credits, pointer on a button', scene.cursor(scene.menu(data, k, 4, ('main', 2)), data, 470, 204)),
        ('game: set %d, marks, selection, hint lit' % gem_set,
         scene.cursor(scene.game(data, k, gem_set=gem_set, hover=1), data, 222, 450)),
        ('game: paused', scene.paused(data, k)),
        ('game over', scene.game_over(data, k)),
        ('name entry', scene.name_entry(data, k)),
        ('name entry, relax mode (BMP)', scene.name_entry(data, k, relax=True, name='')),
        ('board replaced: zap label', scene.zap(data, k)),
        ('game: set %d, menu button lit' % ((gem_set + 1) % 3),
         scene.game(data, k, gem_set=(gem_set + 1) % 3, hover=2, mode=2, timer='04:05', score=987600)),
        ('name entry: 19 "w"', scene.name_entry(data, k, name=LONG)),
        ('high scores: 19 "w" beside points', scene.menu(data, k, 3, tab=0, rows=LONG_ROWS)),
        ('high scores: 19 "w" beside million times', scene.menu(data, k, 3, tab=2, rows=LONG_TIMES)),
    ]


def language_screens(data, k):
    return [('menu', scene.cursor(scene.menu(data, k, 0, 'play'), data, 480, 360)),
            ('how to play', scene.menu(data, k, 1)),
            ('options, reset lit', scene.menu(data, k, 2, 'reset', gem_set=k)),
            ('credits', scene.menu(data, k, 4, ('main', 2))),
            ('board, hint lit', scene.game(data, k, gem_set=k, hover=1)),
            ('paused', scene.paused(data, k)),
            ('game over', scene.game_over(data, k)),
            ('name entry', scene.name_entry(data, k)),
            ('zap', scene.zap(data, k))]


def language_sheets(root, out, skins=range(len(SKINS)), screens=None, each=False):
    """Per language, the screens with words (those named in screens, else all) at 1x and
    2x, a skin a row pair; each: every screen at full size too."""
    os.makedirs(os.path.join(out, 'languages'), exist_ok=True)
    for code in ('en',) + languages():
        tiles = []
        for k in skins:
            for n in (1, 2):
                scene.N = n
                data = scene.Data(root, code)
                shown = [(c, s) for c, s in language_screens(data, k) if not screens or c.split(',')[0] in screens]
                tiles += [('%s %dx skin %d: %s' % (code, n, k, caption), screen) for caption, screen in shown]
                for caption, screen in shown if each else ():
                    name = '%s-skin%d-%dx-%s.png' % (code, k, n, caption.split(',')[0].replace(' ', '-'))
                    Image.fromarray(scene.to_uint8(screen)).save(os.path.join(out, 'languages', name))
        scene.N = 1
        sheet(tiles, os.path.join(out, 'languages', 'sheet-%s.jpg' % code), columns=len(tiles) // len(skins) // 2,
              scale=0.375)


def sheet(tiles, path, columns=3, scale=0.5):
    """Tiles of (caption, HxWx3 array) on a grid, captions underneath."""
    tw, th = int(640 * scale), int(480 * scale)
    pad, cap = 12, 22
    rows = (len(tiles) + columns - 1) // columns
    surf = cairo.ImageSurface(cairo.FORMAT_ARGB32, columns * (tw + pad) + pad, rows * (th + cap + pad) + pad)
    ctx = P.context(surf)
    ctx.set_source_rgb(0.16, 0.16, 0.18)
    ctx.paint()
    for i, (caption, screen) in enumerate(tiles):
        x, y = pad + (i % columns) * (tw + pad), pad + (i // columns) * (th + cap + pad)
        rgba = np.dstack([scene.to_uint8(screen), np.full(screen.shape[:2], 255, np.uint8)])
        ctx.save()
        ctx.translate(x, y)
        ctx.scale(tw / rgba.shape[1], th / rgba.shape[0])
        ctx.set_source_surface(from_rgba(rgba), 0, 0)
        ctx.get_source().set_filter(cairo.FILTER_GOOD)
        ctx.paint()
        ctx.restore()
        P.text(ctx, caption, x, y + th + 11, P.SANS, 12, (0.9, 0.9, 0.9, 1), bold=False)
    if path.endswith('.jpg'):
        Image.fromarray(to_rgba(surf)[..., :3]).save(path, 'JPEG', quality=85)
    else:
        surf.write_to_png(path)


def _on(background, pic, scale=1):
    rgb = flatten(pic, background).astype(np.float32)
    return np.kron(rgb, np.ones((scale, scale, 1), np.float32)) if scale > 1 else rgb


def common_tiles(data):
    tiles = [('loading.bmp', data['loading.bmp'][..., :3]), ('page1.jpg', data['page1.jpg'][..., :3])]
    backgrounds = [(19, 43, 87), (253, 238, 246), (38, 43, 49)]
    for s in range(3):
        canvas = np.zeros((480, 640, 3), np.float32) + 40
        for row, bg in enumerate(backgrounds):
            y = 20 + row * 150
            canvas[y:y + 140, 10:630] = bg
            for k in range(7):
                gem = read_picture(os.path.join(data.root, 'gems/set%d/gem0%d.tga' % (s, k + 1)))
                canvas[y + 10:y + 82, 20 + k * 86:92 + k * 86] = _on(bg, gem, 2)
                if k < 5:
                    mark = read_picture(os.path.join(data.root, list(scene.MARK_AT)[k]))
                    gem_on = canvas[y + 84:y + 120, 38 + k * 86:74 + k * 86]
                    gem_on[:] = _on(bg, gem)
                    ox, oy = scene.MARK_AT[list(scene.MARK_AT)[k]]
                    a = mark[..., 3:4] / 255.0 * 0.5
                    region = gem_on[oy:oy + mark.shape[0], ox:ox + mark.shape[1]]
                    region[:] = mark[..., :3] * a + region * (1 - a)
        with open(os.path.join(data.root, 'gems/set%d/name.txt' % s)) as f:
            tiles.append(('gem set %d "%s": x2, and at size with a mark at half opacity' % (s, f.read()), canvas))
    small = np.zeros((480, 640, 3), np.float32) + 60
    x = 20
    for name in ('mouse.tga', 'select0.tga', 'select1.tga', 'select2.tga'):
        pic = read_picture(os.path.join(data.root, name))
        big = _on((60, 60, 60), pic, 2)
        small[20:20 + big.shape[0], x:x + big.shape[1]] = big
        x += big.shape[1] + 16
    sign = _on((60, 60, 60), read_picture(os.path.join(data.root, 'internet.tga')))
    small[20:20 + sign.shape[0], x:x + sign.shape[1]] = sign
    for name, (x, y) in (('timenmb.tga', (20, 150)), ('highscalp.tga', (300, 150)), ('numbers.tga', (20, 410))):
        big = _on((20, 30, 50), read_picture(os.path.join(data.root, name)), 2)
        small[y:y + big.shape[0], x:x + big.shape[1]] = big
    tiles.append(('cursor, server sign, selection frames, fonts (x2)', small))
    tiles.append(('board cursor beside the selection: a row per skin, a column per gem set', board_cursor_tile(data)))
    for kind in CVD:
        tiles.append(('%s simulation: a row per gem set, on a dark and a light board' % kind, cvd_tile(data, kind)))
    return tiles


def board_cursor_tile(data):
    canvas = np.zeros((480, 640, 3), np.float32) + 40
    x0, y0, w, h = 71 + 42 * 4, 90 + 42 * 3, 42 * 4, 42 * 3
    for skin in range(3):
        for gem_set in range(3):
            screen = scene.game(data, skin, gem_set=gem_set, selected=(5, 4), cursor=(6, 4))
            x, y = 30 + gem_set * (w + 28), 30 + skin * (h + 24)
            canvas[y:y + h, x:x + w] = screen[y0:y0 + h, x0:x0 + w]
    return canvas


# Full-severity dichromat simulation on linear RGB (Machado, Oliveira and Fernandes, 2009).
CVD = {
    'deuteranopia': np.array([[0.367322, 0.860646, -0.227968], [0.280085, 0.672501, 0.047413],
                              [-0.011820, 0.042940, 0.968881]]),
    'protanopia': np.array([[0.152286, 1.052583, -0.204868], [0.114503, 0.786281, 0.099216],
                            [-0.003882, -0.048116, 1.051998]]),
}


def simulate(rgb, kind):
    lin = (rgb / 255.0) ** 2.2
    seen = np.clip(lin @ CVD[kind].T, 0, 1)
    return seen ** (1 / 2.2) * 255


def cvd_tile(data, kind):
    canvas = np.zeros((480, 640, 3), np.float32) + 40
    for s in range(3):
        y = 14 + s * 156
        for half, bg in enumerate(((19, 43, 87), (247, 220, 236))):
            canvas[y + half * 74:y + half * 74 + 74, 10:630] = bg
            for k in range(7):
                gem = read_picture(os.path.join(data.root, 'gems/set%d/gem0%d.tga' % (s, k + 1)))
                canvas[y + 1 + half * 74:y + 73 + half * 74, 20 + k * 86:92 + k * 86] = _on(bg, gem, 2)
    return simulate(canvas, kind)


# Crops, in logical pixels (x, y, w, h), where edges, text and gradients show most.
DENSITY_CROPS = [('menu0.tga', (262, 14, 64, 40)), ('menu1.tga', (415, 164, 64, 40)),
                 ('ingame2.tga', (372, 440, 64, 40)), ('page1.jpg', (56, 150, 64, 40)),
                 ('gems/set0/gem01.tga', (0, 0, 36, 36)), ('gems/set2/gem05.tga', (0, 0, 36, 36)),
                 ('numbers.tga', (0, 0, 64, 25)), ('highscalp.tga', (6, 6, 64, 40)),
                 ('mouse.tga', (0, 0, 32, 32)), ('question.tga', (0, 0, 24, 26))]
ZOOM = 6   # screen pixels per logical pixel on the sheet: whole at every density


def density_sheet(root, path, columns=2):
    """Each crop at 1x, 2x and 3x on a grey ground, every picture pixel a square."""
    cw, ch, pad, cap = 64 * ZOOM, 40 * ZOOM, 10, 20
    group = 3 * cw + 2 * pad
    rows = (len(DENSITY_CROPS) + columns - 1) // columns
    canvas = np.zeros((pad + rows * (cap + ch + pad), pad + columns * (group + 2 * pad), 3), np.uint8) + 40
    for i, (name, (x, y, w, h)) in enumerate(DENSITY_CROPS):
        gx, gy = pad + (i % columns) * (group + 2 * pad), pad + (i // columns) * (cap + ch + pad) + cap
        for n in (1, 2, 3):
            pic = read_picture(os.path.join(root, name if n == 1 else dense_path(name, n)))
            crop = flatten(pic[y * n:(y + h) * n, x * n:(x + w) * n], (96, 96, 96))
            big = np.kron(crop, np.ones((ZOOM // n, ZOOM // n, 1), np.uint8))
            px = gx + (n - 1) * (cw + pad)
            canvas[gy:gy + big.shape[0], px:px + big.shape[1]] = big
    surf = from_rgba(np.dstack([canvas, np.full(canvas.shape[:2], 255, np.uint8)]))
    ctx = P.context(surf)
    for i, (name, _) in enumerate(DENSITY_CROPS):
        gx, gy = pad + (i % columns) * (group + 2 * pad), pad + (i // columns) * (cap + ch + pad)
        for n in (1, 2, 3):
            P.text(ctx, '%s  %dx' % (name, n), gx + (n - 1) * (cw + pad), gy + cap / 2, P.SANS, 12,
                   (0.9, 0.9, 0.9, 1), bold=False)
    surf.write_to_png(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('data_dir')
    parser.add_argument('out_dir')
    args = parser.parse_args()
    data = scene.Data(args.data_dir)
    os.makedirs(os.path.join(args.out_dir, 'screens'), exist_ok=True)
    for skin in SKINS:
        k = skin['number']
        tiles = skin_screens(data, k)
        sheet(tiles, os.path.join(args.out_dir, 'sheet-skin%d.png' % k))
        for i, (_, screen) in enumerate(tiles):
            sheet([('skin %d' % k, screen)], os.path.join(args.out_dir, 'screens', 'skin%d-%02d.png' % (k, i)),
                  1, 1.0)
    sheet(common_tiles(data), os.path.join(args.out_dir, 'sheet-common.png'), 2, 0.75)
    density_sheet(args.data_dir, os.path.join(args.out_dir, 'sheet-density.png'))
    language_sheets(args.data_dir, args.out_dir)
    print('contact sheets written to', args.out_dir)


if __name__ == '__main__':
    main()
