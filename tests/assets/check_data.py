#!/usr/bin/python3
"""The built data folder: every file in its form, regions and glyphs filled, the 2x and 3x
siblings, sounds that decode, help offline, the same bytes again from scratch.  usage: check_data.py DATA_DIR GENERATED_DIR GENERATOR"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

import numpy as np
from PIL import Image

DATA, GENERATED, GENERATOR = sys.argv[1:4]
sys.path.insert(0, os.path.dirname(os.path.abspath(GENERATOR)))
from tool import fonts, glyphs, imagefile, layout, overlays, scene, words  # noqa: E402  the tables the game's regions and fonts come from

UNREAD_SKIN_FILES = ['credits%d.tga', 'gameover%d.tga', 'entername%d.tga', 'enternamer%d.bmp', 'select%d.tga']
UNREAD_FIXED = ['internet.tga', 'bomb.tga', 'horiz.tga', 'verti.tga', 'question.tga', 'xzap.tga', 'mouse.tga',
                'loading.bmp', 'page1.jpg']
SOUNDS = ['click.wav', 'nohint.wav', 'good.ogg', 'gameover.ogg', 'swap.ogg', 'hint.ogg', 'thunder.ogg',
          'bomb.ogg', 'lifeup.ogg']
VISIBLE = 24  # alpha that counts as seen
GEM_SETS = sorted(d for d in os.listdir(os.path.join(DATA, 'gems')) if re.fullmatch(r'set\d+', d))
DENSER = tuple(n for n in imagefile.DENSITIES if n > 1)
BUDGET = 64 << 20  # the data folder as installed
LANGUAGE_BUDGET = 3 << 19   # what one language may add


def read_any(name):
    """RGBA rows top first and the form (format, mode) of a picture of the data folder; a TGA
    must be uncompressed true colour stored bottom row first, all the game reads."""
    path = os.path.join(DATA, name)
    if not path.endswith('.tga'):
        with Image.open(path) as img:
            return np.asarray(img.convert('RGBA')), (img.format, img.mode)
    data = open(path, 'rb').read()
    w, h, depth, flags = struct.unpack_from('<HHBB', data, 12)
    assert data[:3] == b'\0\0\2' and depth in (24, 32) and not flags & 0x20, '%s: form %r' % (path, data[:3])
    assert len(data) == 18 + w * h * depth // 8, '%s: %d bytes for %dx%d' % (path, len(data), w, h)
    return imagefile.read_picture(path), ('TGA', 'RGBA' if depth == 32 else 'RGB')


def pic(name):
    return read_any(name)[0]


def files_below(root):
    return sorted(os.path.relpath(os.path.join(b, f), root) for b, _, files in os.walk(root) for f in files)


def one_x_pictures():
    """The pictures the game loads at 1x (the help's are the browser's)."""
    return [n for n in files_below(DATA) if n.endswith(('.tga', '.bmp', '.jpg')) and
            not any(re.fullmatch(r'\d+x', f) or f in ('help', 'lang') for f in n.split(os.sep)[:-1])]


def premultiplied(pixels):
    out = pixels.astype(np.float32)
    out[..., :3] *= out[..., 3:] / 255
    return out


class DataFolder(unittest.TestCase):
    def test_files_no_other_check_reads_are_there(self):
        names = [f % s for f in UNREAD_SKIN_FILES for s in range(3)] + UNREAD_FIXED
        self.assertEqual([n for n in names if not os.path.isfile(os.path.join(DATA, n))], [])

    def test_regions_the_game_draws_are_filled(self):
        def lit(r):
            return r[0], r[1] + layout.LIT, r[2], r[3] + layout.LIT
        menu = [lit(layout.PLAY), layout.PANEL1_SRC, layout.PANEL2_SRC, layout.PANEL3_SRC, layout.KNOB_SRC,
                layout.RESET_LIT_SRC, layout.VOLUME_FILL_SRC] + [lit(r) for r, _ in layout.MAIN_BUTTONS]
        game = [layout.PAUSE_SRC, layout.ZAP_SRC] + [m[0] for m in layout.MODE_LABELS]
        game += [lit(r) for r, _ in layout.GAME_BUTTONS]
        for s in range(3):
            shown, played = pic('menu%d.tga' % s), pic('ingame%d.tga' % s)
            for picture, (x1, y1, x2, y2) in [(shown, r) for r in menu] + [(played, r) for r in game]:
                part = picture[y1:y2, x1:x2]
                seen = part[part[..., 3] >= VISIBLE][:, :3].astype(int)
                with self.subTest(skin=s, region=(x1, y1, x2, y2)):
                    self.assertTrue(len(seen) and np.ptp(seen, axis=0).max() > 20, 'empty or flat')

    def test_gem_sets_fit_their_cell_and_one_tells_colours_by_shape(self):
        self.assertGreaterEqual(len(GEM_SETS), 3)
        menu_font = {t[0] for t in glyphs.MENU}
        distinct = []
        for folder in GEM_SETS:
            gems = [pic('gems/%s/gem0%d.tga' % (folder, i)) for i in range(1, 8)]
            name = open(os.path.join(DATA, 'gems', folder, 'name.txt'), 'rb').read().decode('ascii')
            with self.subTest(folder):
                self.assertTrue(0 < len(name) < 256 and set(name) <= menu_font, 'name the menu cannot draw')
                self.assertEqual({g.shape for g in gems}, {gems[0].shape})
                self.assertLessEqual(max(gems[0].shape[:2]), layout.CELL)
            masks = [g[..., 3] >= 128 for g in gems]
            distinct.append(all((a & b).sum() < 0.85 * (a | b).sum()
                                for i, a in enumerate(masks) for b in masks[i + 1:]))
        self.assertTrue(any(distinct), 'no set has a shape of its own for every colour')

    def test_board_cursor_stands_out_on_every_gem(self):
        """Dark and light ink, so it shows on light, dark and see-through gems; over each
        gem, where it lies, it changes what the player sees."""
        ox, oy = (-v for v in layout.CURSOR_AT)
        for s in range(3):
            frame = pic('cursor%d.tga' % s).astype(float)
            self.assertEqual(frame.shape[1::-1], layout.CURSOR_SIZE)
            ink = frame[frame[..., 3] >= 200][:, :3].mean(axis=1)
            self.assertTrue((ink < 60).any() and (ink > 200).any(), 'cursor %d: one tone only' % s)
            for folder, i in ((f, i) for f in GEM_SETS for i in range(1, 8)):
                gem = pic('gems/%s/gem0%d.tga' % (folder, i)).astype(float)
                h, w = gem.shape[:2]
                under = gem[..., :3] * gem[..., 3:] / 255 + 128 * (1 - gem[..., 3:] / 255)   # on a grey board
                a = frame[oy:oy + h, ox:ox + w, 3:] / 255
                seen = frame[oy:oy + h, ox:ox + w, :3] * a + under * (1 - a)
                with self.subTest(skin=s, gem=(folder, i)):
                    self.assertGreater(np.abs(seen - under)[a[..., 0] > 0.8].mean(), 60)

    def test_sounds_decode_short_audible_unclipped(self):
        for name in SOUNDS:
            path = os.path.join(DATA, 'audio', name)
            wav = open(path, 'rb').read() if name.endswith('.wav') else subprocess.run(
                ['oggdec', '-Q', '-o', '-', path], check=True, capture_output=True).stdout
            at = wav.find(b'data')
            fmt = wav.find(b'fmt ')
            channels, rate, bits = struct.unpack_from('<HI', wav, fmt + 10) + struct.unpack_from('<H', wav, fmt + 22)
            samples = np.frombuffer(wav, '<i2', struct.unpack_from('<I', wav, at + 4)[0] // 2, at + 8)
            with self.subTest(name):
                self.assertEqual(bits, 16)
                self.assertTrue(0.02 < len(samples) / channels / rate < 2.0)
                self.assertTrue(3000 < np.abs(samples.astype(int)).max() < 32767, 'silent or clipped')

    def test_help_works_offline_in_every_language(self):
        folder = os.path.join(DATA, 'help')
        codes = ['en'] + list(words.languages())
        for page in ('index.html', 'driver.html'):
            for code in codes:
                name = page if code == 'en' else page.replace('.html', '.%s.html' % code)
                text = open(os.path.join(folder, name), encoding='utf-8').read()
                with self.subTest(page=name):
                    self.assertIn('<html lang="%s">' % code.replace('_', '-'), text)
                    if page == 'index.html':   # links every language's page
                        self.assertEqual(len(re.findall(r'<a href="index[.a-zA-Z_]*html" lang=', text)), len(codes))
                    if code != 'en':   # and else stays in its own
                        self.assertEqual(re.findall(r'href="(?:index|driver)\.html"(?! lang=)', text), [])
                for link in re.findall(r'(?:href|src)="([^"#]+)', text):
                    with self.subTest(page=name, link=link):
                        self.assertNotIn('://', link)
                        self.assertTrue(os.path.isfile(os.path.join(folder, link)))

    def test_compiled_previews_differ_and_icon_has_alpha(self):
        previews = [np.asarray(Image.open(os.path.join(GENERATED, 'preview%d.bmp' % k)), int) for k in range(3)]
        self.assertEqual({p.shape for p in previews}, {(120, 160, 3)})
        self.assertTrue(all(np.abs(a - b).mean() > 15 for i, a in enumerate(previews) for b in previews[i + 1:]))
        icon = Image.open(os.path.join(GENERATED, 'icon.png'))
        self.assertEqual((icon.size, icon.mode, icon.getpixel((0, 0))[3], icon.getpixel((32, 32))[3]),
                         ((64, 64), 'RGBA', 0, 255))

    def test_a_second_build_gives_the_same_bytes(self):
        def digest(root):
            return {n: hashlib.sha256(open(os.path.join(root, n), 'rb').read()).hexdigest() for n in files_below(root)}
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([sys.executable, '-B', GENERATOR, tmp + '/d', '--generated', tmp + '/g'], check=True)
            for fresh, built in ((digest(tmp + '/d'), digest(DATA)), (digest(tmp + '/g'), digest(GENERATED))):
                self.assertEqual([n for n, h in fresh.items() if built.get(n) != h], [], 'stale or not reproducible')

    def test_every_picture_in_its_form_with_siblings_showing_what_it_shows(self):
        """Averaged down to 1x, a sibling matches its 1x picture in every 16-pixel square: a region
        misplaced at one density stands out far above finer edges and re-hinted text (below 26)."""
        expected = set()
        for name in one_x_pictures():
            one, form = read_any(name)
            self.assertEqual(form, {'tga': ('TGA', 'RGB' if 'credits' in name else 'RGBA'), 'jpg': ('JPEG', 'RGB'),
                                    'bmp': ('BMP', 'RGB')}[name[-3:]], name)
            one = premultiplied(one)
            h, w = one.shape[:2]
            for n in DENSER:
                expected.add(scene.dense_path(name, n))
                with self.subTest(name, density=n):
                    dense, dense_form = read_any(scene.dense_path(name, n))
                    self.assertEqual(dense_form, ('JPEG', 'RGB') if name.endswith('.jpg') else ('PNG', form[1]))
                    down = premultiplied(dense).reshape(h, n, w, n, 4).mean(axis=(1, 3))
                    diff = np.zeros((-(-h // 16) * 16, -(-w // 16) * 16))
                    diff[:h, :w] = np.abs(down - one).mean(axis=2)
                    worst = diff.reshape(diff.shape[0] // 16, 16, -1, 16).mean(axis=(1, 3))
                    self.assertLess(worst.max(), 40, 'differs around logical %s' % (
                        tuple(16 * int(v) for v in np.unravel_index(worst.argmax(), worst.shape))[::-1],))
        denser = {n for n in files_below(DATA) if re.fullmatch(r'\d+x', os.path.basename(os.path.dirname(n)))
                  and not n.startswith('lang' + os.sep)}
        self.assertEqual(denser - expected, set(), 'no 1x picture for these')
        size = sum(os.path.getsize(os.path.join(DATA, n)) for n in files_below(DATA))
        self.assertLess(size, BUDGET)

    def test_glyphs_fill_their_scaled_boxes_and_nothing_else(self):
        for name, (table, *_) in fonts.FONTS.items():
            for n in (1,) + DENSER:
                font = read_any(name if n == 1 else scene.dense_path(name, n))[0]
                inside = np.zeros(font.shape[:2], bool)
                for ch, x1, y1, x2, y2, *_ in table:
                    inside[y1 * n:y2 * n, x1 * n:x2 * n] = True
                    with self.subTest(font=name, density=n, glyph=ch):
                        ink = (font[y1 * n:y2 * n, x1 * n:x2 * n, 3] >= VISIBLE).sum()
                        self.assertTrue(ch == ' ' or ink >= 4 * n * n, 'blank glyph')
                with self.subTest(font=name, density=n):
                    self.assertFalse(((font[..., 3] > 0) & ~inside).any(), 'ink outside the glyphs')

    def test_the_game_has_a_glyph_for_every_character_of_its_words(self):
        """The compiled tables (brolix_glyphs.h), not only the font picture, must hold them."""
        header = open(os.path.join(GENERATED, '..', 'layout', 'brolix_glyphs.h'), encoding='utf-8').read()
        wide = header[header.index('#define GLYPHS_MENU_WIDE {'):]
        compiled = {chr(int(c, 16)) for c in re.findall(r'\{0x([0-9A-F]+),', wide)} | {g[0] for g in glyphs.MENU}
        for code in words.languages():
            for name in glyphs.SET_NAMES:
                shown = words.catalog(code).gettext(name)
                with self.subTest(code=code, name=shown):
                    self.assertEqual(set(shown.lower()) - compiled, set(), 'no glyph')

    def test_words_stay_inside_their_boxes_in_overlays_of_pictures_there_are(self):
        """Words clear of their box's outermost pixels: a word that overflows its box changes them."""
        sizes = {}
        for code in sorted(os.listdir(os.path.join(DATA, 'lang'))):
            root = os.path.join(DATA, 'lang', code)
            for overlay in files_below(root):
                below = os.path.splitext(overlay)[0]
                shared = [below + e for e in ('.tga', '.bmp', '.jpg') if os.path.isfile(os.path.join(DATA, below + e))]
                sizes[code] = sizes.get(code, 0) + os.path.getsize(os.path.join(root, overlay))
                with self.subTest(code=code, overlay=below):
                    self.assertEqual(len(shared), 1, 'no picture under it')
                    pixels, rects, boxes = overlays.read(os.path.join(root, overlay))
                    h, w = read_any(shared[0])[0].shape[:2]
                    self.assertEqual((pixels.shape[0], len(boxes)), (overlays.DENSITY * sum(y2 - y1 for _, y1, _, y2 in rects),
                                                                     len(rects)))
                    for (x1, y1, x2, y2), (bx1, by1, bx2, by2) in zip(rects, boxes):
                        self.assertTrue(x2 <= w and y2 <= h, (x1, y1, x2, y2))
                        self.assertTrue(bx1 < x1 and by1 < y1 and x2 < bx2 and y2 < by2,
                                        'words at the edge of box %r: %r' % ((bx1, by1, bx2, by2), (x1, y1, x2, y2)))
        print('\nbytes each language adds: %s' % ', '.join('%s %d' % kv for kv in sorted(sizes.items())))
        self.assertEqual(set(sizes) - set(words.languages()), set(), 'overlays of a language the game does not ship')
        self.assertLess(max(sizes.values()), LANGUAGE_BUDGET)


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:], verbosity=2)
