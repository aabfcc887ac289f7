#!/usr/bin/python3
"""Builds the game's data folder from the sources in assets/.

usage: build_data.py DATA_DIR [--generated DIR]

DATA_DIR receives the pictures, fonts, gem sets, sounds and help pages; with
--generated, DIR receives the skin previews, the window icon and the C++ source
that compiles them into the executable. Same sources, same bytes.
"""
import argparse
import glob
import multiprocessing
import os
import shutil
import sys
from functools import partial
from multiprocessing.pool import ThreadPool

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from tool import fonts, gems, ingame, marks, menu, overlays, pages, resources, scene, sounds  # noqa: E402
from tool.imagefile import DENSITIES, Regions, density, regions, write_bmp, write_jpeg, write_png, write_tga  # noqa: E402
from tool.skins import SKINS  # noqa: E402
from tool import words  # noqa: E402
from tool.words import languages  # noqa: E402

sys.path.insert(0, words.PO)
import catalogs  # noqa: E402


RGBA, RGB = 'rgba', 'rgb'   # kept alpha or opaque


def pictures():
    """Every picture of the data folder: (path, function drawing it, RGBA or RGB). The
    extension of the path is the 1x file's form; one line here adds a picture at every
    density."""
    for skin in SKINS:
        n = skin['number']
        yield 'menu%d.tga' % n, partial(menu.menu_picture, skin), RGBA
        yield 'credits%d.tga' % n, partial(menu.credits_picture, skin), RGB
        yield 'ingame%d.tga' % n, partial(ingame.ingame_picture, skin), RGBA
        yield 'gameover%d.tga' % n, partial(ingame.gameover_picture, skin), RGBA
        yield 'entername%d.tga' % n, partial(ingame.entry_picture, skin), RGBA
        yield 'enternamer%d.bmp' % n, partial(ingame.entry_picture, skin, square=True), RGB
        yield 'select%d.tga' % n, partial(marks.select, skin), RGBA
        yield 'cursor%d.tga' % n, partial(marks.cursor_frame, skin), RGBA
    yield from ((name, draw, RGBA) for name, draw in marks.MARKS.items())
    yield 'mouse.tga', marks.mouse, RGBA
    yield 'internet.tga', marks.internet, RGBA
    yield from ((name, partial(fonts.render_font, name), RGBA) for name in fonts.FONTS)
    yield 'loading.bmp', pages.loading_picture, RGB
    yield 'page1.jpg', pages.driver_page, RGB
    for index in range(len(gems.SETS)):
        for k, draw in enumerate(gems.gem_set(index)[1]):
            yield 'gems/set%d/gem0%d.tga' % (index, k + 1), draw, RGBA


def dense_path(name, n):
    """Where the n-times-denser sibling of the 1x picture name lives: an nx/ folder
    beside it, same stem; JPEG stays JPEG, everything else becomes PNG."""
    folder, file = os.path.split(name)
    stem, ext = os.path.splitext(file)
    return os.path.join(folder, '%dx' % n, stem + ('.jpg' if ext == '.jpg' else '.png'))


def overlay_path(name, code):
    """Where the words of picture name in language code lie: under lang/CODE/, the
    picture's own path, always a PNG."""
    return os.path.join('lang', code, os.path.splitext(name)[0] + '.png')


def write_picture(out, name, draw, form, n):
    recorded = Regions()
    with density(n), regions(recorded):
        drawn = draw()
    pixels = drawn[..., :3] if form == RGB else drawn
    path = os.path.join(out, name if n == 1 else dense_path(name, n))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if n > 1:
        (write_jpeg if path.endswith('.jpg') else write_png)(path, pixels)
    elif name.endswith('.tga'):
        write_tga(path, pixels, form == RGBA)
    else:
        (write_jpeg if name.endswith('.jpg') else write_bmp)(path, pixels)
    if any(recorded.boxes) and n == overlays.DENSITY:
        write_overlays(out, name, draw, form, n, drawn, recorded.boxes)


def write_overlays(out, name, draw, form, n, english, boxes):
    """Each language's words of the picture, where they differ from the English ones,
    drawn at density n alone: the game scales them to the density it loads. Drawn at
    every density they would take three times the room."""
    def drawn(code):
        with density(n):
            pixels = overlays.redrawn(draw, boxes, code)
        if form == RGB:
            pixels[..., 3] = 255
        return overlays.crops(pixels, rects, n)
    rects = overlays.word_rects(draw)
    if form == RGB:
        english[..., 3] = 255
    # Drawn inside the boxes alone, cairo's edges may come out a few levels apart.
    shown = drawn(None)
    if any(np.abs(a.astype(int) - b).max() > 16 or np.abs(a.astype(int) - b).mean() > 0.5
           for a, b in zip(shown, overlays.crops(english, rects, n))):
        raise ValueError('%s at %dx: drawn again inside its word boxes, it is not the picture' % (name, n))
    for code in languages():
        rects_parts = overlays.changed(rects, drawn(code), shown, n)
        if rects_parts:
            path = os.path.join(out, overlay_path(name, code))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, 'wb') as f:
                f.write(overlays.packed(*rects_parts))


def build_pictures(out):
    """Densest first, on two processes: the 3x screens are most of the work. The
    languages' words are written beside each picture, so the folder of them starts empty."""
    shutil.rmtree(os.path.join(out, 'lang'), ignore_errors=True)
    jobs = [(out, name, draw, form, n) for n in sorted(DENSITIES, reverse=True)
            for name, draw, form in pictures()]
    with multiprocessing.Pool(min(2, os.cpu_count() or 1)) as pool:
        pool.starmap(write_picture, jobs, chunksize=1)


def build_gem_names(out):
    for index in range(len(gems.SETS)):
        with open(os.path.join(out, 'gems', 'set%d' % index, 'name.txt'), 'wb') as f:
            f.write(gems.gem_set(index)[0].encode('ascii'))


def build_sounds(out):
    folder = os.path.join(out, 'audio')
    os.makedirs(folder, exist_ok=True)
    for recipe in sorted(glob.glob(os.path.join(HERE, 'sounds', '*.json'))):
        sounds.build(recipe, folder)


def help_page(job):
    """One page in one language, from its catalog: index.de.html for German, showing the
    game in German (screen.de.png)."""
    page, code, names, folder = job
    po = os.path.join(words.PO, code + '.po')
    text = catalogs.translated('xhtml', os.path.join(HERE, 'help', page), po, code)
    text = text.replace('src="screen.png"', 'src="%s"' % catalogs.page_name('screen.png', code))
    with open(os.path.join(folder, catalogs.page_name(page, code)), 'w', encoding='utf-8') as f:
        f.write(catalogs.finish_page(text, code, names))


def build_help(out):
    """Pages in every language and the style, plus pictures taken from the data just built."""
    folder = os.path.join(out, 'help')
    os.makedirs(folder, exist_ok=True)
    sources = sorted(os.listdir(os.path.join(HERE, 'help')))
    for name in sources:
        if not name.endswith('.html'):
            shutil.copyfile(os.path.join(HERE, 'help', name), os.path.join(folder, name))
    names = [('en', catalogs.NAME_ID)] + [(code, catalogs.own_name(words.catalog(code))) for code in languages()]
    jobs = [(page, code, names, folder) for page in sources if page.endswith('.html') for code, _ in names]
    with ThreadPool() as pool:   # po4a's start-up is most of the time
        pool.map(help_page, jobs)
    for code, _ in names:
        shown = scene.game(scene.Data(out, None if code == 'en' else code), 0, selected=(5, 4))
        write_png(os.path.join(folder, catalogs.page_name('screen.png', code)), scene.to_uint8(shown))
    data = scene.Data(out)
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
    for step in (build_pictures, build_gem_names, build_sounds, build_help):
        step(args.data_dir)
    if args.generated:
        resources.write(args.data_dir, args.generated)


if __name__ == '__main__':
    main()
