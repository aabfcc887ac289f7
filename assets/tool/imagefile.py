"""Picture files: cairo surfaces to TGA, BMP, JPEG, PNG and back to arrays.

Pictures are drawn in logical pixels (the 640 x 480 screen's). Inside density(n) every
new surface holds n x n pixels per logical pixel, with cairo's device scale doing the
rest, so the same drawing code gives the picture at every density; only code that works
on pixel arrays must multiply its coordinates, by px()."""
import contextlib
import struct

import cairo
import numpy as np
from PIL import Image


# Every picture of the data folder is drawn at each of these; the game loads the
# smallest at or above its render scale (the largest above them all).
DENSITIES = (1, 2, 3, 4)

_density = 1


@contextlib.contextmanager
def density(n):
    """Draws every picture made inside at n pixels per logical pixel."""
    global _density
    before, _density = _density, n
    try:
        yield
    finally:
        _density = before


def px(*values):
    """Logical pixels to pixels of the density being drawn: one value, or a tuple."""
    scaled = tuple(v * _density for v in values)
    return scaled[0] if len(scaled) == 1 else scaled


def _scaled(surface):
    if _density != 1:
        surface.set_device_scale(_density, _density)
    return surface


def new_surface(width, height):
    """A surface of width x height logical pixels."""
    surface = _scaled(cairo.ImageSurface(cairo.FORMAT_ARGB32, width * _density, height * _density))
    if _regions:
        _regions.made(surface)
    return surface


class Regions:
    """The boxes that carry words on each surface a picture's drawing makes, in the order
    it makes them, as pixel rectangles (x1, y1, x2, y2). Recorded while the picture is
    drawn once; drawn again under the recorded boxes, a surface that has some is drawn
    and read only inside them, so another language's words cost their boxes alone."""

    def __init__(self, recorded=None):
        self.recording = recorded is None
        self.boxes = [] if recorded is None else recorded
        self._made = {}   # surface: its index; holding it keeps its pixels' address unique

    def made(self, surface):
        self._made[surface] = len(self._made)
        if self.recording:
            self.boxes.append([])

    def of(self, surface):
        """The boxes of a surface made under these regions; empty when it has none."""
        i = self._made.get(surface)
        return self.boxes[i] if i is not None and i < len(self.boxes) else []

    def add(self, surface, rect):
        if self.recording and surface in self._made:
            self.boxes[self._made[surface]].append(rect)


_regions = None


@contextlib.contextmanager
def regions(r):
    """Surfaces made inside are numbered in r, recording boxes or drawn inside r's."""
    global _regions
    before, _regions = _regions, r
    try:
        yield r
    finally:
        _regions = before


def note_box(surface, rect):
    """rect, in surface pixels, carries words."""
    if _regions:
        _regions.add(surface, rect)


def clip_boxes(surface):
    """The boxes a surface is drawn inside, when drawn again under recorded regions."""
    return _regions.of(surface) if _regions and not _regions.recording else []


# Straight colour of every (alpha, premultiplied colour) pair, rounded; 0 where alpha is 0.
_A, _C = np.arange(256, dtype=np.uint32)[:, None], np.arange(256, dtype=np.uint32)[None, :]
_STRAIGHT = np.where(_A > 0, np.minimum((_C * 255 + _A // 2) // np.maximum(_A, 1), 255), 0).astype(np.uint8).ravel()


def to_rgba(surface):
    """Straight (not premultiplied) RGBA array, top row first; under recorded regions only
    a surface's boxes are read (the rest is clear)."""
    surface.flush()
    w, h, stride = surface.get_width(), surface.get_height(), surface.get_stride()
    bgra = np.frombuffer(surface.get_data(), np.uint8).reshape(h, stride // 4, 4)[:, :w]
    boxes = clip_boxes(surface)
    if boxes:
        out = np.zeros((h, w, 4), np.uint8)
        for x1, y1, x2, y2 in boxes:
            out[y1:y2, x1:x2] = _straight(bgra[y1:y2, x1:x2])
        return out
    return _straight(bgra)


def _straight(bgra):
    h, w = bgra.shape[:2]
    out = np.empty((h, w, 4), np.uint8)
    out[..., 3] = bgra[..., 3]
    out[..., :3] = bgra[..., 2::-1]
    # Opaque and clear pixels are the same straight; only the partly covered need the table.
    partial = (bgra[..., 3] != 0) & (bgra[..., 3] != 255)
    part = bgra[partial]
    out[partial, :3] = _STRAIGHT[(part[:, 3:].astype(np.uint16) << 8) | part[:, 2::-1]]
    return out


def from_rgba(rgba):
    """A cairo surface holding a straight RGBA array drawn at the current density."""
    h, w = rgba.shape[:2]
    surface = _scaled(cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h))
    stride = surface.get_stride()
    a = rgba[..., 3].astype(np.uint32)
    pre = (rgba[..., :3].astype(np.uint32) * a[..., None] + 127) // 255
    buf = np.zeros((h, stride // 4, 4), np.uint8)
    buf[:, :w, 0] = pre[..., 2]
    buf[:, :w, 1] = pre[..., 1]
    buf[:, :w, 2] = pre[..., 0]
    buf[:, :w, 3] = a
    surface.get_data()[:] = buf.tobytes()
    surface.mark_dirty()
    return surface


def write_tga(path, rgba, with_alpha):
    """Uncompressed true-colour TGA (type 2), bottom row first."""
    h, w = rgba.shape[:2]
    depth = 32 if with_alpha else 24
    header = struct.pack('<BBBHHBHHHHBB', 0, 0, 2, 0, 0, 0, 0, 0, w, h, depth,
                         8 if with_alpha else 0)
    order = [2, 1, 0, 3] if with_alpha else [2, 1, 0]
    pixels = np.ascontiguousarray(rgba[::-1][..., order])
    with open(path, 'wb') as f:
        f.write(header)
        f.write(pixels.tobytes())


def write_bmp(path, rgb):
    """24-bit uncompressed BMP, bottom row first, rows padded to 4 bytes."""
    h, w = rgb.shape[:2]
    row = (w * 3 + 3) & ~3
    body = np.zeros((h, row), np.uint8)
    body[:, :w * 3] = rgb[::-1][..., 2::-1].reshape(h, w * 3)
    size = 54 + body.size
    header = struct.pack('<2sIHHI', b'BM', size, 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, body.size, 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + body.tobytes())


def write_jpeg(path, rgb):
    Image.fromarray(np.ascontiguousarray(rgb), 'RGB').save(
        path, 'JPEG', quality=92, optimize=False, progressive=False, subsampling=0)


def write_png(path, pixels):
    """RGB or RGBA array to PNG (for the help pages)."""
    mode = 'RGBA' if pixels.shape[2] == 4 else 'RGB'
    Image.fromarray(np.ascontiguousarray(pixels), mode).save(path, 'PNG', optimize=False)


def read_picture(path):
    """RGBA array of a picture the game can load (TGA, BMP or JPEG)."""
    if path.endswith('.tga'):
        with open(path, 'rb') as f:
            data = f.read()
        w, h, depth = struct.unpack_from('<HHB', data, 12)
        n = depth // 8
        px = np.frombuffer(data, np.uint8, w * h * n, 18).reshape(h, w, n)[::-1]
        out = np.full((h, w, 4), 255, np.uint8)
        out[..., :3] = px[..., 2::-1]
        if n == 4:
            out[..., 3] = px[..., 3]
        return out
    img = Image.open(path).convert('RGBA')
    return np.asarray(img).copy()


def flatten(rgba, background):
    """Opaque RGB of a picture over a flat colour (0..255 triple)."""
    a = rgba[..., 3:4].astype(np.float32) / 255.0
    bg = np.array(background, np.float32)
    return (rgba[..., :3] * a + bg * (1 - a) + 0.5).astype(np.uint8)
