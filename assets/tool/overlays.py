"""A picture's words in another language: the rectangles of the shared (English) picture
that carry words, drawn again in that language at the densest density and packed into
one PNG.

An overlay is a PNG whose text chunk 'rects' lists the rectangles, in logical pixels of
the shared picture, as 'x y w h' separated by ';' (and 'boxes' the word box each lies in).
The picture stacks them in that order from its top, each at its left edge, N times
their size: N, the overlay's density, is its height over theirs. The game scales them
to the density of the picture it loads (averaging areas) and lays them over it."""
import io

import numpy as np
from PIL import Image, PngImagePlugin

from . import paint as P
from .imagefile import DENSITIES, Regions, density, regions
from .words import language

KEY, BOXES = 'rects', 'boxes'
# Words are drawn at the densest density up to 3x: denser, the fourteen languages would
# take the data folder past its budget; 4x screens scale 3x words up.
DENSITY = min(max(DENSITIES), 3)


def word_rects(draw):
    """The logical rectangles of the picture draw() makes that carry words: where the
    picture changes when its word boxes are drawn as flat patches. Each is a box, or
    boxes that meet along an edge; boxes that overlap otherwise are a fault."""
    with density(1):
        plain = draw()
        with P.marking_boxes():
            marked = draw()
    return rectangles(np.any(plain != marked, axis=2))


def rectangles(mask):
    """The rectangles (x1, y1, x2, y2) a mask is made of, each apart from the others."""
    mask = mask.copy()
    found = []
    while mask.any():
        y1 = int(np.argmax(mask.any(axis=1)))
        x1 = int(np.argmax(mask[y1]))
        x2 = x1 + int(np.argmin(np.append(mask[y1, x1:], False)))
        y2 = y1 + int(np.argmin(np.append(mask[y1:, x1:x2].all(axis=1), False)))
        ring = np.pad(mask, 1)[y1:y2 + 2, x1:x2 + 2].copy()
        ring[1:-1, 1:-1] = False
        if ring.any():
            raise ValueError('word boxes meet in no rectangle at (%d, %d)-(%d, %d)' % (x1, y1, x2, y2))
        mask[y1:y2, x1:x2] = False
        found.append((x1, y1, x2, y2))
    return found


def crops(pixels, rects, n):
    return [pixels[y1 * n:y2 * n, x1 * n:x2 * n] for x1, y1, x2, y2 in rects]


def redrawn(draw, recorded, code):
    """The picture in language code, right inside the recorded word boxes only."""
    with regions(Regions(recorded)), language(code):
        return draw()


def changed(boxes, parts, english, n):
    """(parts, rects, boxes) where parts, drawn in boxes at density n, differ from the
    English ones: each part cut to the whole logical pixels around what changed."""
    out = [], [], []
    for (x1, y1, _, _), box, part, shown in zip(boxes, boxes, parts, english):
        ys, xs = np.nonzero(np.any(part != shown, axis=2))
        if not len(ys):
            continue
        cx1, cy1, cx2, cy2 = xs.min() // n, ys.min() // n, xs.max() // n + 1, ys.max() // n + 1
        for kept, value in zip(out, (part[cy1 * n:cy2 * n, cx1 * n:cx2 * n],
                                     (x1 + cx1, y1 + cy1, x1 + cx2, y1 + cy2), box)):
            kept.append(value)
    return out if out[0] else None


def packed(parts, rects, boxes):
    """PNG bytes of an overlay: the parts stacked, in at most 256 colours (libimagequant,
    no dithering: the error stays below what the eye sees on text). Beside the rects,
    the boxes they were cut from (for checks; the game reads no more than the rects)."""
    width = max(p.shape[1] for p in parts)
    atlas = np.zeros((sum(p.shape[0] for p in parts), width, 4), np.uint8)
    y = 0
    for part in parts:
        atlas[y:y + part.shape[0], :part.shape[1]] = part
        y += part.shape[0]
    opaque = bool((atlas[..., 3] == 255).all())
    image = Image.fromarray(atlas[..., :3] if opaque else atlas, 'RGB' if opaque else 'RGBA')
    image = image.quantize(256, method=Image.Quantize.LIBIMAGEQUANT, dither=Image.Dither.NONE)
    info = PngImagePlugin.PngInfo()
    for key, values in ((KEY, rects), (BOXES, boxes)):
        info.add_text(key, ';'.join('%d %d %d %d' % (x1, y1, x2 - x1, y2 - y1) for x1, y1, x2, y2 in values))
    out = io.BytesIO()
    image.save(out, 'PNG', optimize=True, pnginfo=info)
    return out.getvalue()


def read(path):
    """(RGBA array, logical rects, their boxes) of an overlay file."""
    with Image.open(path) as image:
        texts = [image.text.get(key, '') for key in (KEY, BOXES)]
        pixels = np.asarray(image.convert('RGBA'))
    listed = [[tuple(int(v) for v in r.split()) for r in text.split(';') if r] for text in texts]
    return (pixels,) + tuple([(x, y, x + w, y + h) for x, y, w, h in rects] for rects in listed)


def density_of(pixels, rects):
    """The density an overlay was drawn at: its height over its rectangles'."""
    return pixels.shape[0] // sum(y2 - y1 for _, y1, _, y2 in rects)


def scaled_parts(path, n):
    """[(rect, RGBA part at density n)] of an overlay file, scaled down as the game does."""
    pixels, rects, _ = read(path)
    d = density_of(pixels, rects)
    out, top = [], 0
    for x1, y1, x2, y2 in rects:
        part = pixels[top:top + (y2 - y1) * d, :(x2 - x1) * d]
        top += (y2 - y1) * d
        if d != n:
            part = np.asarray(Image.fromarray(np.ascontiguousarray(part), 'RGBA').resize(
                ((x2 - x1) * n, (y2 - y1) * n), Image.Resampling.BOX))
        out.append(((x1, y1, x2, y2), part))
    return out
