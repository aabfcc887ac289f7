#!/usr/bin/python3
"""Builds the game's data folder from the sources in assets/.

usage: build_data.py DATA_DIR [--generated DIR]

DATA_DIR receives the pictures, fonts, gem sets, sounds and help pages; with
--generated, DIR receives the skin previews, the window icon and the C++ source
that compiles them into the executable. Same sources, same bytes.
"""
import argparse
import glob
import os
import shutil
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from tool import fonts, gems, ingame, marks, menu, pages, resources, scene, sounds  # noqa: E402
from tool.imagefile import write_bmp, write_jpeg, write_png, write_tga  # noqa: E402
from tool.skins import SKINS  # noqa: E402


def build_skins(out):
    for skin in SKINS:
        n = skin['number']
        write_tga(os.path.join(out, 'menu%d.tga' % n), menu.menu_picture(skin), True)
        write_tga(os.path.join(out, 'credits%d.tga' % n), menu.credits_picture(skin), False)
        write_tga(os.path.join(out, 'ingame%d.tga' % n), ingame.ingame_picture(skin), True)
        write_tga(os.path.join(out, 'gameover%d.tga' % n), ingame.gameover_picture(skin), True)
        write_tga(os.path.join(out, 'entername%d.tga' % n), ingame.entry_picture(skin), True)
        write_bmp(os.path.join(out, 'enternamer%d.bmp' % n), ingame.entry_picture(skin, square=True)[..., :3])
        write_tga(os.path.join(out, 'select%d.tga' % n), marks.select(skin), True)
        write_tga(os.path.join(out, 'cursor%d.tga' % n), marks.cursor_frame(skin), True)


def build_small(out):
    for name, draw in marks.MARKS.items():
        write_tga(os.path.join(out, name), draw(), True)
    write_tga(os.path.join(out, 'mouse.tga'), marks.mouse(), True)
    write_tga(os.path.join(out, 'internet.tga'), marks.internet(), True)
    for name in fonts.FONTS:
        write_tga(os.path.join(out, name), fonts.render_font(name), True)
    write_bmp(os.path.join(out, 'loading.bmp'), pages.loading_picture()[..., :3])
    write_jpeg(os.path.join(out, 'page1.jpg'), pages.driver_page()[..., :3])


def build_gems(out):
    for index in range(len(gems.SETS)):
        folder = os.path.join(out, 'gems', 'set%d' % index)
        os.makedirs(folder, exist_ok=True)
        name, pictures = gems.gem_set(index)
        with open(os.path.join(folder, 'name.txt'), 'wb') as f:
            f.write(name.encode('ascii'))
        for k, pic in enumerate(pictures):
            write_tga(os.path.join(folder, 'gem0%d.tga' % (k + 1)), pic, True)


def build_sounds(out):
    folder = os.path.join(out, 'audio')
    os.makedirs(folder, exist_ok=True)
    for recipe in sorted(glob.glob(os.path.join(HERE, 'sounds', '*.json'))):
        sounds.build(recipe, folder)


def build_help(out):
    """Pages and style as written, plus pictures taken from the data just built."""
    folder = os.path.join(out, 'help')
    os.makedirs(folder, exist_ok=True)
    for page in sorted(os.listdir(os.path.join(HERE, 'help'))):
        shutil.copyfile(os.path.join(HERE, 'help', page), os.path.join(folder, page))
    data = scene.Data(out)
    write_png(os.path.join(folder, 'screen.png'), scene.to_uint8(scene.game(data, 0, selected=(5, 4))))
    for name in scene.MARK_AT:
        write_png(os.path.join(folder, 'mark-' + name.replace('.tga', '.png')), help_mark(data, name))


def help_mark(data, name):
    """A mark on a red jewel as the board shows it, twice the size."""
    gem = data['gems/set0/gem01.tga'].copy()
    mark = data[name]
    ox, oy = scene.MARK_AT[name]
    h, w = mark.shape[:2]
    a = mark[..., 3:4] / 255.0 * 0.5
    spot = gem[oy:oy + h, ox:ox + w]
    spot[..., :3] = mark[..., :3] * a + spot[..., :3] * (1 - a)
    spot[..., 3:] = np.maximum(spot[..., 3:], mark[..., 3:] * 0.5)
    big = np.kron(gem, np.ones((2, 2, 1), np.float32))
    return np.clip(big + 0.5, 0, 255).astype(np.uint8)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('data_dir')
    parser.add_argument('--generated')
    args = parser.parse_args()
    os.makedirs(args.data_dir, exist_ok=True)
    for step in (build_skins, build_small, build_gems, build_sounds, build_help):
        step(args.data_dir)
    if args.generated:
        resources.write(args.data_dir, args.generated)


if __name__ == '__main__':
    main()
