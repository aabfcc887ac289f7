#!/usr/bin/python3
"""Checks the built data folder: every file the game reads, in the form and size it
needs, with its regions filled, fonts inside their glyph boxes, sounds that decode,
and a build that gives the same bytes twice.

usage: check_data.py DATA_DIR GENERATED_DIR GENERATOR
"""
import hashlib
import html.parser
import os
import struct
import subprocess
import sys
import tempfile
import unittest

import numpy as np
from PIL import Image

DATA, GENERATED, GENERATOR = (sys.argv[1:4] + [None] * 3)[:3] if __name__ == '__main__' else (None,) * 3
SKINS = (0, 1, 2)

# ---- readers, independent of the generator ------------------------------------------


class BadFile(Exception):
    pass


def read_tga(path):
    """(RGBA array top row first, depth) of an uncompressed true-colour TGA."""
    with open(path, 'rb') as f:
        data = f.read()
    if len(data) < 18:
        raise BadFile('%s: shorter than a TGA header' % path)
    id_len, cmap, kind = data[0], data[1], data[2]
    w, h, depth = struct.unpack_from('<HHB', data, 12)
    if id_len != 0 or cmap != 0 or kind != 2:
        raise BadFile('%s: not an uncompressed true-colour TGA (id %d, map %d, type %d)' % (path, id_len, cmap, kind))
    if depth not in (24, 32):
        raise BadFile('%s: depth %d' % (path, depth))
    if data[17] & 0x20:
        raise BadFile('%s: rows stored top first' % path)
    n = depth // 8
    if len(data) != 18 + w * h * n:
        raise BadFile('%s: %d bytes, expected %d' % (path, len(data), 18 + w * h * n))
    px = np.frombuffer(data, np.uint8, w * h * n, 18).reshape(h, w, n)[::-1]
    out = np.full((h, w, 4), 255, np.uint8)
    out[..., :3] = px[..., 2::-1]
    if n == 4:
        out[..., 3] = px[..., 3]
    return out, depth


def read_bmp(path):
    with open(path, 'rb') as f:
        data = f.read()
    if data[:2] != b'BM' or len(data) < 54:
        raise BadFile('%s: not a BMP' % path)
    offset = struct.unpack_from('<I', data, 10)[0]
    size, w, h, planes, bits, compression = struct.unpack_from('<IiiHHI', data, 14)
    if bits != 24 or compression != 0 or h <= 0:
        raise BadFile('%s: %d bits, compression %d, height %d' % (path, bits, compression, h))
    row = (w * 3 + 3) & ~3
    if len(data) < offset + row * h:
        raise BadFile('%s: pixel data cut short' % path)
    px = np.frombuffer(data, np.uint8, row * h, offset).reshape(h, row)[:, :w * 3].reshape(h, w, 3)[::-1]
    out = np.full((h, w, 4), 255, np.uint8)
    out[..., :3] = px[..., ::-1]
    return out


def read_wav(data):
    """(samples as int16 array, rate, channels) of a RIFF WAVE file with 16-bit PCM."""
    if data[:4] != b'RIFF' or data[8:12] != b'WAVE':
        raise BadFile('not RIFF/WAVE')
    pos, fmt = 12, None
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack_from('<I', data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b'fmt ':
            if size < 16:
                raise BadFile('fmt chunk too short')
            fmt = struct.unpack_from('<HHIIHH', body)
        elif tag == b'data':
            if fmt is None:
                raise BadFile('data before fmt')
            if fmt[0] != 1 or fmt[5] != 16:
                raise BadFile('not 16-bit PCM')
            if len(body) != size:
                raise BadFile('data chunk cut short')
            return np.frombuffer(body, '<i2'), fmt[2], fmt[1]
        pos += 8 + size + (size & 1)
    raise BadFile('no data chunk')


def lum(rgb):
    return rgb[..., 0] * 0.299 + rgb[..., 1] * 0.587 + rgb[..., 2] * 0.114


def region(pic, rect):
    x1, y1, x2, y2 = rect
    return pic[y1:y2, x1:x2]


# ---- what the game reads --------------------------------------------------------------

SKIN_FILES = ['menu%d.tga', 'credits%d.tga', 'ingame%d.tga', 'gameover%d.tga', 'entername%d.tga',
              'enternamer%d.bmp', 'select%d.tga']
FIXED_FILES = ['internet.tga', 'bomb.tga', 'horiz.tga', 'verti.tga', 'question.tga', 'xzap.tga', 'mouse.tga',
               'loading.bmp', 'page1.jpg', 'timenmb.tga', 'numbers.tga', 'highscalp.tga']
SOUNDS = ['click.wav', 'nohint.wav', 'good.ogg', 'gameover.ogg', 'swap.ogg', 'hint.ogg', 'thunder.ogg',
          'bomb.ogg', 'lifeup.ogg']
BLENDED = ['menu%d.tga', 'ingame%d.tga', 'gameover%d.tga', 'entername%d.tga', 'select%d.tga', 'internet.tga',
           'bomb.tga', 'horiz.tga', 'verti.tga', 'question.tga', 'xzap.tga', 'mouse.tga', 'timenmb.tga',
           'numbers.tga', 'highscalp.tga']

MAIN_BUTTONS = [(415, 137, 533, 160), (415, 164, 561, 189), (415, 193, 521, 216), (415, 222, 561, 245),
                (415, 249, 509, 274), (415, 278, 470, 301)]
HIGH_TABS = [(105, 168), (169, 233), (234, 297), (300, 363)]
# Regions of the menu picture: (name, source rectangle, blended)
MENU_REGIONS = ([('screen', (0, 0, 640, 480), False), ('lit play', (431, 822, 553, 885), False),
                 ('panel 0', (105, 618, 354, 864), False), ('panel 1', (641, 0, 973, 347), False),
                 ('panel 2', (641, 706, 971, 990), False), ('panel 3', (642, 385, 960, 680), False),
                 ('mode marker 0', (86, 621, 106, 639), False), ('mode marker 1', (86, 674, 106, 693), False),
                 ('mode marker 2', (86, 725, 106, 745), False), ('mode marker 3', (86, 779, 106, 797), False),
                 ('difficulty marker 0', (149, 864, 170, 881), False),
                 ('difficulty marker 1', (230, 864, 250, 881), False),
                 ('difficulty marker 2', (311, 864, 330, 881), False),
                 ('volume knob', (582, 979, 598, 994), True), ('lit reset', (679, 997, 892, 1023), False),
                 ('filled volume track', (8, 1000, 134, 1008), False)]
                + [('lit main button %d' % i, (x1, y1 + 480, x2, y2 + 480), False)
                   for i, (x1, y1, x2, y2) in enumerate(MAIN_BUTTONS)]
                + [('lit tab %d' % t, (x1 + 575, 358, x2 + 572, 382), False) for t, (x1, x2) in enumerate(HIGH_TABS)])
GAME_BUTTONS = [(70, 438, 170, 465), (200, 438, 247, 465), (265, 438, 330, 465)]
INGAME_REGIONS = ([('background', (0, 0, 640, 480), False), ('pause panel', (69, 498, 571, 832), False),
                   ('zap label', (671, 231, 1011, 277), True)]
                  + [('mode label %d' % i, r, True) for i, r in enumerate(
                      [(675, 20, 713, 36), (716, 20, 776, 36), (776, 20, 833, 36), (833, 20, 883, 36)])]
                  + [('lit button %d' % i, (x1, y1 + 480, x2, y2 + 480), False)
                     for i, (x1, y1, x2, y2) in enumerate(GAME_BUTTONS)])

# Glyph tables: (character, x1, y1, x2, y2, advance), right and bottom exclusive.
TIMER = [('1', 21, 6, 28, 22, 7), ('2', 30, 6, 43, 22, 13), ('3', 45, 6, 59, 22, 14), ('4', 58, 6, 71, 22, 13),
         ('5', 4, 25, 16, 40, 12), ('6', 18, 25, 30, 40, 12), ('7', 33, 25, 43, 40, 10),
         ('8', 45, 25, 58, 40, 13), ('9', 60, 25, 72, 40, 12), ('0', 3, 6, 18, 22, 15),
         (':', 73, 25, 82, 40, 9), (' ', 0, 30, 10, 40, 10)]
SCORE = [('1', 0, 0, 11, 25, 11), ('2', 11, 0, 31, 25, 20), ('3', 30, 0, 50, 25, 20), ('4', 51, 0, 68, 25, 17),
         ('5', 68, 0, 86, 25, 17), ('6', 87, 0, 105, 25, 18), ('7', 106, 0, 123, 25, 17),
         ('8', 122, 0, 142, 25, 20), ('9', 143, 0, 162, 25, 19), ('0', 162, 0, 183, 25, 21),
         (':', 184, 0, 195, 25, 11), (' ', 201, 0, 219, 25, 18)]
MENU_FONT = [('a', 10, 8, 18, 17, 9), ('b', 22, 8, 30, 17, 9), ('c', 32, 8, 41, 17, 10), ('d', 43, 8, 52, 17, 10),
             ('e', 55, 8, 63, 17, 9), ('f', 66, 8, 73, 17, 8), ('g', 77, 8, 86, 17, 10), ('h', 9, 25, 17, 34, 9),
             ('i', 20, 25, 23, 34, 4), ('j', 26, 25, 35, 34, 10), ('k', 36, 25, 45, 34, 10),
             ('l', 47, 25, 54, 34, 8), ('m', 57, 25, 67, 34, 11), ('n', 70, 25, 80, 34, 11),
             ('o', 7, 44, 17, 53, 11), ('p', 20, 44, 28, 53, 9), ('q', 31, 44, 41, 53, 11),
             ('r', 43, 44, 52, 53, 10), ('s', 54, 44, 63, 53, 10), ('t', 66, 44, 73, 53, 8),
             ('u', 76, 44, 85, 52, 10), ('v', 87, 44, 94, 53, 8), ('w', 10, 63, 20, 72, 11),
             ('x', 21, 63, 29, 72, 9), ('y', 31, 63, 39, 72, 9), ('z', 42, 63, 50, 72, 9),
             ('0', 7, 82, 19, 93, 13), ('1', 23, 82, 28, 99, 6), ('2', 32, 82, 43, 96, 11),
             ('3', 46, 82, 56, 96, 11), ('4', 61, 82, 70, 96, 10), ('5', 74, 82, 84, 96, 11),
             ('8', 35, 101, 45, 115, 11), ('6', 8, 101, 18, 115, 11), ('7', 22, 101, 31, 115, 10),
             ('9', 50, 101, 60, 115, 11), (':', 64, 101, 69, 115, 6), (' ', 106, 100, 118, 111, 6)]
FONTS = {'timenmb.tga': TIMER, 'numbers.tga': SCORE, 'highscalp.tga': MENU_FONT}

VISIBLE = 24    # alpha that counts as a visible pixel
MARK_OFFSETS = {'bomb.tga': (6, 5), 'horiz.tga': (6, 7), 'verti.tga': (5, 5), 'xzap.tga': (6, 6),
                'question.tga': (6, 5)}


class DataFolder(unittest.TestCase):
    """Shared helpers; pictures are read once."""
    _cache = {}

    def pic(self, name):
        if name not in self._cache:
            path = os.path.join(DATA, name)
            if name.endswith('.tga'):
                self._cache[name] = read_tga(path)[0]
            elif name.endswith('.bmp'):
                self._cache[name] = read_bmp(path)
            else:
                self._cache[name] = np.asarray(Image.open(path).convert('RGBA'))
        return self._cache[name]

    def assertFilled(self, pixels, what, blended):
        """Not empty: something visible, and more than one flat colour."""
        visible = pixels[..., 3] >= VISIBLE
        self.assertTrue(visible.any(), '%s is fully transparent' % what)
        colours = pixels[visible][:, :3].astype(int)
        self.assertGreater(np.ptp(colours, axis=0).max(), 20, '%s is one flat colour' % what)
        if not blended:
            self.assertTrue((pixels[..., 3] == 255).all(), '%s has see-through pixels but is drawn opaque' % what)


class Files(DataFolder):
    def test_every_named_file_exists(self):
        names = [f % s for f in SKIN_FILES for s in SKINS] + FIXED_FILES + ['audio/' + s for s in SOUNDS]
        names += ['help/index.html']
        missing = [n for n in names if not os.path.isfile(os.path.join(DATA, n))]
        self.assertEqual(missing, [])

    def test_tga_files_are_uncompressed_true_colour_bottom_up(self):
        for root, _, files in os.walk(DATA):
            for f in files:
                if f.endswith('.tga'):
                    with self.subTest(f):
                        read_tga(os.path.join(root, f))

    def test_blended_pictures_carry_alpha_and_opaque_ones_do_not(self):
        for name in BLENDED:
            for s in (SKINS if '%d' in name else (0,)):
                n = name % s if '%d' in name else name
                with self.subTest(n):
                    self.assertEqual(read_tga(os.path.join(DATA, n))[1], 32)
        for s in SKINS:
            self.assertEqual(read_tga(os.path.join(DATA, 'credits%d.tga' % s))[1], 24)

    def test_bmp_and_jpeg_forms(self):
        for name in ['loading.bmp'] + ['enternamer%d.bmp' % s for s in SKINS]:
            with self.subTest(name):
                read_bmp(os.path.join(DATA, name))
        with open(os.path.join(DATA, 'page1.jpg'), 'rb') as f:
            self.assertEqual(f.read(2), b'\xff\xd8')
        img = Image.open(os.path.join(DATA, 'page1.jpg'))
        self.assertEqual((img.format, img.size, img.mode), ('JPEG', (640, 480), 'RGB'))

    def test_readers_refuse_broken_files(self):
        good = os.path.join(DATA, 'bomb.tga')
        with open(good, 'rb') as f:
            data = f.read()
        with tempfile.TemporaryDirectory() as tmp:
            for label, broken in (('cut short', data[:-5]), ('run-length', data[:2] + b'\x0a' + data[3:]),
                                  ('16-bit', data[:16] + b'\x10' + data[17:]), ('header only', data[:10])):
                path = os.path.join(tmp, 'x.tga')
                with open(path, 'wb') as f:
                    f.write(broken)
                with self.subTest(label), self.assertRaises(BadFile):
                    read_tga(path)
        with self.assertRaises(BadFile):
            read_wav(b'RIFF\0\0\0\0WAVEdata\4\0\0\0abcd')   # data before fmt


class Skins(DataFolder):
    def test_menu_regions_filled(self):
        for s in SKINS:
            menu = self.pic('menu%d.tga' % s)
            self.assertGreaterEqual(menu.shape[:2], (1024, 974))
            for name, rect, blended in MENU_REGIONS:
                with self.subTest(skin=s, region=name):
                    self.assertFilled(region(menu, rect), name, blended)

    def test_knob_is_round_over_the_slider(self):
        for s in SKINS:
            knob = region(self.pic('menu%d.tga' % s), (582, 979, 598, 994))
            self.assertLess(knob[0, 0, 3], VISIBLE, 'knob corner should be see-through')
            self.assertEqual(knob[7, 8, 3], 255, 'knob centre should be solid')

    def test_lit_states_are_brighter_than_their_buttons(self):
        for s in SKINS:
            menu = self.pic('menu%d.tga' % s)
            lit = [(r, (r[0], r[1] + 480, r[2], r[3] + 480)) for r in MAIN_BUTTONS]
            lit.append(((431, 342, 553, 405), (431, 822, 553, 885)))
            lit.append(((105, 138, 318, 164), (679, 997, 892, 1023)))
            lit += [((x1 + 4, 113, x2 + 1, 137), (x1 + 575, 358, x2 + 572, 382)) for x1, x2 in HIGH_TABS]
            panel2, panel3 = region(menu, (641, 706, 971, 990)), region(menu, (642, 385, 960, 680))
            for shown, source in lit:
                if source[0] == 679:       # the reset button lives in panel 2
                    base = panel2[138 - 86:164 - 86, 105 - 67:318 - 67]
                elif source[1] == 358:     # tabs live in panel 3
                    base = panel3[0:24, shown[0] - 71:shown[2] - 71]
                else:
                    base = region(menu, shown)
                with self.subTest(skin=s, lit=source):
                    gain = lum(region(menu, source)[..., :3].astype(float)).mean() - lum(base[..., :3].astype(float)).mean()
                    self.assertGreater(gain, 25, 'lit state not clearly lit')
            game = self.pic('ingame%d.tga' % s)
            for x1, y1, x2, y2 in GAME_BUTTONS:
                with self.subTest(skin=s, game_button=x1):
                    gain = (lum(region(game, (x1, y1 + 480, x2, y2 + 480))[..., :3].astype(float)).mean()
                            - lum(region(game, (x1, y1, x2, y2))[..., :3].astype(float)).mean())
                    self.assertGreater(gain, 25)

    def test_ingame_regions_filled(self):
        for s in SKINS:
            game = self.pic('ingame%d.tga' % s)
            self.assertGreaterEqual(game.shape[:2], (946, 1011))
            for name, rect, blended in INGAME_REGIONS:
                with self.subTest(skin=s, region=name):
                    self.assertFilled(region(game, rect), name, blended)

    def test_score_timer_and_menu_text_sit_on_calm_dark_ground(self):
        # The digit fonts are bright and the menu font is white: the game writes them
        # straight onto these parts of the pictures.
        for s in SKINS:
            game, menu = self.pic('ingame%d.tga' % s), self.pic('menu%d.tga' % s)
            panel3 = region(menu, (642, 385, 960, 680))
            panel2 = region(menu, (641, 706, 971, 990))
            grounds = [('score', region(game, (435, 442, 590, 467))), ('timer', region(game, (560, 37, 626, 53))),
                       ('gem set name', panel2[355 - 86:366 - 86, 140 - 67:340 - 67])]
            grounds += [('score row %d' % i, panel3[y - 113:y - 113 + 10, 110 - 71:360 - 71])
                        for i, y in enumerate((151, 175, 198, 233, 257, 280, 315, 339, 362))]
            for name, ground in grounds:
                light = lum(ground[..., :3].astype(float))
                with self.subTest(skin=s, ground=name):
                    self.assertLess(light.mean(), 110, 'bright text would not show')
                    self.assertLess(light.std(), 25, 'busy ground under text')

    def test_skins_look_different(self):
        for name in ('menu%d.tga', 'ingame%d.tga'):
            screens = [self.pic(name % s)[:480, :640, :3].astype(float) for s in SKINS]
            for a in SKINS:
                for b in SKINS[a + 1:]:
                    with self.subTest(name, skins=(a, b)):
                        self.assertGreater(np.abs(screens[a] - screens[b]).mean(), 20, 'skins alike')
                        colour_gap = np.abs(screens[a].mean(axis=(0, 1)) - screens[b].mean(axis=(0, 1))).sum()
                        self.assertGreater(colour_gap, 30, 'skins share one palette')

    def test_credits_links_inside_the_picture(self):
        for s in SKINS:
            c = self.pic('credits%d.tga' % s)
            h, w = c.shape[:2]
            # screen (x, y) shows picture (x - 73 + 8, y - 129)
            for name, (x1, y1, x2, y2) in (('web', (161, 315, 343, 399)), ('mail', (80, 190, 260, 227))):
                rect = (x1 - 65, y1 - 129, x2 - 65, y2 - 129)
                with self.subTest(skin=s, link=name):
                    self.assertLessEqual((rect[2], rect[3]), (w, h))
                    self.assertFilled(region(c, rect), name, False)
            self.assertLessEqual(73 + w - 8, 406, 'credits run past the panel frame')

    def test_panels_fit_the_play_band(self):
        for s in SKINS:
            for name in ('gameover%d.tga', 'entername%d.tga', 'enternamer%d.bmp'):
                pic = self.pic(name % s)
                h, w = pic.shape[:2]
                with self.subTest(name % s):
                    self.assertLessEqual(w, 634)
                    self.assertLessEqual(h, 357)
                    self.assertFilled(pic, name % s, True)

    def test_typed_name_lands_in_a_field_that_shows_white_text_and_black_cursor(self):
        for s in SKINS:
            for name in ('entername%d.tga', 'enternamer%d.bmp'):
                pic = self.pic(name % s)
                h, w = pic.shape[:2]
                x0 = int((640 - w) / 2) - 3
                y0 = int((357 - h) / 2 + 77) - 1
                # first characters and an empty name's cursor: x 232..300, y 314..323
                band = pic[314 - y0:324 - y0, 232 - x0:300 - x0]
                with self.subTest(name % s):
                    self.assertTrue((band[..., 3] == 255).all())
                    light = lum(band[..., :3].astype(float))
                    self.assertGreater(light.min(), 45, 'black cursor would not show')
                    self.assertLess(light.max(), 200, 'white letters would not show')

    def test_selection_frame_surrounds_a_cell_and_leaves_the_gem_visible(self):
        for s in SKINS:
            sel = self.pic('select%d.tga' % s)
            self.assertGreaterEqual(sel.shape[:2], (44, 44))
            a = sel[..., 3]
            with self.subTest(skin=s):
                self.assertTrue((a[12:30, 12:30] < VISIBLE).all(), 'frame covers the gem')
                for edge in (a[:, :6], a[:, 34:], a[:6], a[34:]):
                    self.assertTrue((edge >= VISIBLE).any())


class SmallPictures(DataFolder):
    def test_marks_sit_on_the_gem_and_show_at_half_opacity(self):
        gem = self.pic('gems/set0/gem01.tga')
        for name, (ox, oy) in MARK_OFFSETS.items():
            mark = self.pic(name)
            with self.subTest(name):
                self.assertFilled(mark, name, True)
                self.assertLessEqual(ox + mark.shape[1], gem.shape[1] + 2)
                self.assertLessEqual(oy + mark.shape[0], gem.shape[0] + 2)
                solid = mark[mark[..., 3] > 200][:, :3]
                light, dark = (lum(solid.astype(float)) > 200).mean(), (lum(solid.astype(float)) < 50).mean()
                self.assertGreater(light, 0.15, 'no light part: lost on dark gems')
                self.assertGreater(dark, 0.15, 'no dark part: lost on light gems')

    def test_cursor_hot_spot(self):
        m = self.pic('mouse.tga')
        self.assertGreaterEqual(m[3, 3, 3], 128, 'the tip is at (3, 3)')
        self.assertTrue((m[:2, :, 3] < VISIBLE).all() and (m[:, :2, 3] < VISIBLE).all(),
                        'nothing above or left of the tip')

    def test_server_sign_keeps_its_content_inside_the_inset(self):
        sign = self.pic('internet.tga')
        h, w = sign.shape[:2]
        self.assertFilled(region(sign, (4, 4, w - 4, h - 8)), 'server sign', True)
        outside = sign[..., 3].copy()
        outside[4:h - 8, 4:w - 4] = 0
        self.assertTrue((outside < VISIBLE).all())

    def test_loading_and_driver_pages(self):
        loading = self.pic('loading.bmp')
        self.assertLessEqual(loading.shape[:2], (480, 640))
        self.assertFilled(loading, 'loading', False)
        page = self.pic('page1.jpg')
        cont = region(page, (334, 362, 460, 480))
        down = region(page, (504, 362, 639, 480))
        self.assertFilled(cont, 'continue button', False)
        self.assertFilled(down, 'download button', False)
        text_area = region(page, (0, 100, 640, 340))
        self.assertFilled(text_area, 'explanation', False)


class Fonts(DataFolder):
    def test_glyphs_inside_their_rectangles(self):
        for name, table in FONTS.items():
            pic = self.pic(name)
            inside = np.zeros(pic.shape[:2], bool)
            for ch, x1, y1, x2, y2, _ in table:
                self.assertLessEqual((y2, x2), pic.shape[:2], '%s %r off the picture' % (name, ch))
                inside[y1:y2, x1:x2] = True
                if ch != ' ':
                    with self.subTest(font=name, glyph=ch):
                        self.assertTrue((pic[y1:y2, x1:x2, 3] >= VISIBLE).sum() >= 4, 'glyph is blank')
            stray = (pic[..., 3] > 0) & ~inside
            self.assertFalse(stray.any(), '%s: pixels outside the glyphs at %s' % (name, np.argwhere(stray)[:3]))

    def test_no_glyph_shows_a_sliver_of_its_neighbour(self):
        for name, table in FONTS.items():
            pic = self.pic(name)
            drawn = [t for t in table if t[0] != ' ']
            for i, a in enumerate(drawn):
                for b in drawn[i + 1:]:
                    x1, y1 = max(a[1], b[1]), max(a[2], b[2])
                    x2, y2 = min(a[3], b[3]), min(a[4], b[4])
                    if x1 < x2 and y1 < y2:
                        with self.subTest(font=name, pair=a[0] + b[0]):
                            self.assertTrue((pic[y1:y2, x1:x2, 3] == 0).all())

    def test_space_draws_nothing_where_it_does_not_overlap_a_digit(self):
        for name in ('numbers.tga', 'highscalp.tga'):
            _, x1, y1, x2, y2, _ = [t for t in FONTS[name] if t[0] == ' '][0]
            self.assertTrue((self.pic(name)[y1:y2, x1:x2, 3] == 0).all(), name)

    def test_menu_font_letters_share_one_height(self):
        pic = self.pic('highscalp.tga')
        tops, bottoms = set(), set()
        for ch, x1, y1, x2, y2, _ in MENU_FONT:
            if ch.isalpha():
                rows = np.nonzero((pic[y1:y2, x1:x2, 3] >= 96).any(axis=1))[0]
                if not rows.size:
                    continue    # a blank glyph fails test_glyphs_inside_their_rectangles
                tops.add(rows[0])
                bottoms.add(rows[-1])
        self.assertEqual(len(tops), 1, 'letters start at different heights: %s' % tops)
        self.assertLessEqual(max(bottoms) - min(bottoms), 1, 'letters end at different heights')


def menu_font_width(text):
    adv = {}
    for ch, *_, a in MENU_FONT:
        adv.setdefault(ch, a)
    return sum(adv[c] for c in text if c in adv)


class GemSets(DataFolder):
    def sets(self):
        n = 0
        while os.path.isfile(os.path.join(DATA, 'gems', 'set%d' % n, 'name.txt')):
            n += 1
        return n

    def test_at_least_three_sets_of_seven_gems(self):
        self.assertGreaterEqual(self.sets(), 3)
        for n in range(self.sets()):
            sizes = set()
            for i in range(1, 8):
                pic = self.pic('gems/set%d/gem0%d.tga' % (n, i))
                sizes.add(pic.shape[:2])
                with self.subTest(set=n, gem=i):
                    self.assertFilled(pic, 'gem', True)
                    self.assertLess(pic[0, 0, 3], VISIBLE, 'gem corner should be see-through')
            self.assertEqual(len(sizes), 1, 'set %d mixes sizes' % n)

    def test_gems_fit_a_cell_and_the_options_row(self):
        for n in range(self.sets()):
            h, w = self.pic('gems/set%d/gem01.tga' % n).shape[:2]
            with self.subTest(set=n):
                self.assertLessEqual((w, h), (42, 42))
                self.assertGreaterEqual((w + 4) * 1 + 61, 67)
                self.assertLessEqual((w + 4) * 7 + 61 + w, 67 + 330, 'seventh gem leaves the panel')

    def test_names_are_drawable_and_fit_the_panel(self):
        allowed = set('abcdefghijklmnopqrstuvwxyz0123456789: ')
        for n in range(self.sets()):
            with open(os.path.join(DATA, 'gems', 'set%d' % n, 'name.txt'), 'rb') as f:
                name = f.read()
            with self.subTest(set=n):
                self.assertTrue(0 < len(name) <= 255)
                self.assertTrue(set(name.decode('ascii')) <= allowed, 'characters the menu font lacks')
                self.assertLessEqual(menu_font_width(name.decode()), 383 - 95)

    def test_one_set_tells_every_colour_by_shape(self):
        def masks(n):
            return [self.pic('gems/set%d/gem0%d.tga' % (n, i))[..., 3] >= 128 for i in range(1, 8)]

        def distinct(ms):
            for i in range(7):
                for j in range(i + 1, 7):
                    overlap = (ms[i] & ms[j]).sum() / (ms[i] | ms[j]).sum()
                    if overlap > 0.85:
                        return False
            return True
        self.assertTrue(any(distinct(masks(n)) for n in range(self.sets())),
                        'no set has a distinct silhouette for every colour')

    def test_every_gem_stands_out_from_the_board_in_every_skin(self):
        def ring(mask):
            edge = np.zeros_like(mask)
            edge[1:] |= ~mask[:-1]
            edge[:-1] |= ~mask[1:]
            edge[:, 1:] |= ~mask[:, :-1]
            edge[:, :-1] |= ~mask[:, 1:]
            return mask & edge
        for s in SKINS:
            game = self.pic('ingame%d.tga' % s)
            for n in range(self.sets()):
                size = self.pic('gems/set%d/gem01.tga' % n).shape[0]
                # the board shows between the gems of the first cells
                tiles = [lum(game[90 + 42 * y + size:90 + 42 * y + 41, 81 + 42 * x:101 + 42 * x, :3]
                             .reshape(-1, 3).astype(float).mean(axis=0)) for x in (0, 1) for y in (0, 1)]
                for i in range(1, 8):
                    gem = self.pic('gems/set%d/gem0%d.tga' % (n, i))
                    solid = gem[..., 3] > 200
                    body = lum(gem[solid][:, :3].astype(float)).mean()
                    rim = lum(gem[ring(solid)][:, :3].astype(float)).mean()
                    with self.subTest(skin=s, set=n, gem=i):
                        contrast = max(min(abs(body - t) for t in tiles), min(abs(rim - t) for t in tiles))
                        self.assertGreater(contrast, 40, 'gem blends into the board')

    def test_colours_of_a_set_differ(self):
        for n in range(self.sets()):
            means = [self.pic('gems/set%d/gem0%d.tga' % (n, i)) for i in range(1, 8)]
            means = [p[p[..., 3] > 200][:, :3].astype(float).mean(axis=0) for p in means]
            for i in range(7):
                for j in range(i + 1, 7):
                    with self.subTest(set=n, pair=(i, j)):
                        self.assertGreater(np.abs(means[i] - means[j]).sum(), 60)


def decode(name):
    path = os.path.join(DATA, 'audio', name)
    if name.endswith('.wav'):
        with open(path, 'rb') as f:
            return read_wav(f.read())
    out = subprocess.run(['oggdec', '-Q', '-o', '-', path], check=True, capture_output=True).stdout
    return read_wav(out)


def spectrum(samples):
    """Unit vector of the energy in 32 log-spaced bands from 40 Hz to 16 kHz."""
    mag = np.abs(np.fft.rfft(samples.astype(float), 1 << 16))
    freq = np.fft.rfftfreq(1 << 16, 1 / 44100)
    edges = np.geomspace(40, 16000, 33)
    bands = np.array([mag[(freq >= lo) & (freq < hi)].sum() for lo, hi in zip(edges, edges[1:])])
    return bands / np.linalg.norm(bands)


class Sounds(unittest.TestCase):
    def test_sounds_decode_short_audible_unclipped(self):
        spectra = {}
        for name in SOUNDS:
            with self.subTest(name):
                samples, rate, channels = decode(name)
                if samples.any():
                    spectra[name] = spectrum(samples)
                seconds = len(samples) / channels / rate
                self.assertLess(seconds, 2.0)
                self.assertGreater(seconds, 0.02)
                peak = np.abs(samples.astype(int)).max()
                self.assertLess(peak, 32767, 'clipped: peak at 0 dBFS')
                self.assertGreater(peak, 3000, 'nearly silent')
                rms = np.sqrt((samples.astype(float) ** 2).mean())
                self.assertGreater(rms, 300, 'nearly silent')
                tail = np.abs(samples[-rate * channels // 200:].astype(int)).max()
                self.assertLess(abs(int(samples[0])), 1000, 'starts with a click')
                self.assertLess(tail, peak * 0.05, 'cut off while still sounding: a click at the end')
        for i, a in enumerate(spectra):
            for b in list(spectra)[i + 1:]:
                with self.subTest(pair=(a, b)):
                    self.assertLess(spectra[a] @ spectra[b], 0.97, 'these two sound alike')

    def test_wav_chunks_as_the_loader_scans_them(self):
        for name in ('click.wav', 'nohint.wav'):
            with open(os.path.join(DATA, 'audio', name), 'rb') as f:
                data = f.read()
            with self.subTest(name):
                self.assertLess(data.find(b'fmt '), data.find(b'data'), 'the loader takes the first tags')
                size = struct.unpack_from('<I', data, data.find(b'data') + 4)[0]
                self.assertEqual(size, len(data) - data.find(b'data') - 8)


class LinkCollector(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.links, self.ids = [], set()

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if 'id' in attrs:
            self.ids.add(attrs['id'])
        for key in ('href', 'src'):
            if key in attrs:
                self.links.append(attrs[key])


class Help(unittest.TestCase):
    def test_help_covers_the_game_and_its_links_resolve(self):
        folder = os.path.join(DATA, 'help')
        with open(os.path.join(folder, 'index.html'), encoding='utf-8') as f:
            page = f.read()
        for topic in ('sixty seconds', 'five minutes', 'million', 'relax', 'hint', 'bomb', 'f1', '>p<',
                      'escape', 's60', 's5mn', 'smil', 'srelx', 'scoring', 'clear shapes'):
            self.assertIn(topic, page.lower())
        for name in ('index.html', 'driver.html'):
            parser = LinkCollector()
            with open(os.path.join(folder, name), encoding='utf-8') as f:
                parser.feed(f.read())
            self.assertTrue(parser.links)
            for link in parser.links:
                with self.subTest(name + ': ' + link):
                    if link.startswith('#'):
                        self.assertIn(link[1:], parser.ids)
                    else:
                        self.assertNotIn('://', link, 'help pages work offline')
                        self.assertTrue(os.path.isfile(os.path.join(folder, link)))


class Compiled(unittest.TestCase):
    def test_previews_and_icon_files(self):
        for k in SKINS:
            p = read_bmp(os.path.join(GENERATED, 'preview%d.bmp' % k))
            self.assertEqual(p.shape[:2], (120, 160))
        icon = Image.open(os.path.join(GENERATED, 'icon.png'))
        self.assertEqual((icon.size, icon.mode), ((64, 64), 'RGBA'))
        for size in (16, 24, 32, 48, 64, 128, 256):
            icon = Image.open(os.path.join(GENERATED, 'icons', '%dx%d' % (size, size), 'apps', 'org.brolix.Brolix.png'))
            self.assertEqual((icon.size, icon.mode), ((size, size), 'RGBA'))
        with open(os.path.join(GENERATED, 'icons', 'scalable', 'apps', 'org.brolix.Brolix.svg')) as f:
            self.assertIn('viewBox="0 0 256 256"', f.read())


def tree_digest(root):
    out = {}
    for base, _, files in os.walk(root):
        for f in files:
            path = os.path.join(base, f)
            with open(path, 'rb') as fh:
                out[os.path.relpath(path, root)] = hashlib.sha256(fh.read()).hexdigest()
    return out


class Reproducible(unittest.TestCase):
    def test_two_clean_builds_give_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as tmp:
            runs = []
            for i in (1, 2):
                runs.append(subprocess.Popen([sys.executable, '-B', GENERATOR, os.path.join(tmp, 'd%d' % i),
                                              '--generated', os.path.join(tmp, 'g%d' % i)]))
            self.assertEqual([r.wait() for r in runs], [0, 0])
            first, second = tree_digest(os.path.join(tmp, 'd1')), tree_digest(os.path.join(tmp, 'd2'))
            self.assertEqual(first, second)
            self.assertEqual(tree_digest(os.path.join(tmp, 'g1')), tree_digest(os.path.join(tmp, 'g2')))
            built = tree_digest(DATA)
            differ = [n for n, h in first.items() if built.get(n) != h]
            self.assertEqual(differ, [], 'the built data folder is stale or differs')


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:], verbosity=2)
