#pragma once
// Pixel work behind KGraphic::loadPicture, free of GL so it can be tested and fuzzed.
// A picture record is an 18-byte TGA header followed by the pixel rows, bottom row first.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace KPixels {

constexpr size_t kHeaderSize = 18;
constexpr uint32_t kTexture2D = 0x0DE1;         // GL_TEXTURE_2D
constexpr uint32_t kTextureRectangle = 0x84F5;  // GL_TEXTURE_RECTANGLE (EXT, NV, ARB)
constexpr uint32_t kMaxTextureSide = 16384;     // assumed when the driver cannot be asked

struct Header {
    uint16_t xOrigin = 0, yOrigin = 0, width = 0, height = 0;
    uint8_t depth = 0;  // bits per pixel
};

enum class Check { ok, unsupportedDepth, truncated };

struct TextureLayout {
    uint32_t target = kTexture2D;
    uint32_t width = 0, height = 0;
};

struct ColorKey {
    bool active = false;
    uint8_t r = 0, g = 0, b = 0;
};

size_t tgaDataOffset(const uint8_t *bytes, size_t size);                // 4 after a "pihs" prefix, else 0
Check readHeader(const uint8_t *record, size_t size, Header &header);   // depth below 24 first, then length
size_t pixelBytes(const Header &header);                                // bytes the header announces after itself
uint32_t powerOfTwoSide(uint32_t width, uint32_t height);               // smallest power of two >= both, at least 4
// anySize: the driver takes textures of any size, so none is padded.
TextureLayout textureLayout(uint32_t width, uint32_t height, bool rectangleCap, bool anySize = false);
constexpr uint64_t kMaxTextureBytes = uint64_t(64) << 20;  // larger RGBA textures are refused

// Bytes of an RGBA texture of the layout, in 64 bits whatever the sides.
uint64_t textureBytes(const TextureLayout &layout);
// Texture rows converted and uploaded at a time (at least one), so a picture never
// needs a second whole copy beside the driver's.
uint32_t rowsPerBand(uint32_t texWidth);
// Converts rowCount file rows (bottom row first, as the file stores them) into the
// top-first RGBA texel rows of a texWidth-wide texture; texels beyond the picture are not touched.
void convertTexels(const uint8_t *rows, const Header &header, uint32_t rowCount, uint32_t texWidth, ColorKey key,
                   uint8_t *texels);
// The header of a record of width x height pixels of 3 or 4 bytes.
void writeHeader(uint16_t width, uint16_t height, uint8_t bytesPerPixel, uint8_t header[kHeaderSize]);
// Turns top-first rows of 3 or 4 bytes a pixel, `pitch` bytes apart (R first when
// swapRedBlue, else B first), in place into the pixel rows of a 24- or 32-bit record,
// and writes that record's header: a decoded picture needs no second copy.
void recordInPlace(uint8_t *rows, size_t pitch, uint16_t width, uint16_t height, uint8_t bytesPerPixel,
                   bool swapRedBlue, uint8_t header[kHeaderSize]);
// The sides a BMP, PNG or JPEG file declares in its first bytes; false when it declares none there.
bool declaredSides(const uint8_t *file, size_t size, uint32_t &width, uint32_t &height);
// The density of art wanted at a render scale: the nearest whole one at or above it, at
// most kDensest. Pictures are looked for from there down to the densest there is.
constexpr int kDensest = 8;
int densityFor(float renderScale);
// False when a BMP, PNG or JPEG file declares a side above maxSide or more pixels than the
// largest texture holds, or an uncompressed BMP declares more rows than it holds: a few
// header bytes must not make the decoder allocate gigabytes. Other formats are left to the decoder.
bool decodableSize(const uint8_t *file, size_t size, uint32_t maxSide);
// A language's words over a picture: the rectangles (logical pixels of the picture) a PNG
// overlay lists in its text chunk "rects" as "x y w h;x y w h...", stacked in the
// overlay from its top, each at its left edge, at the overlay's density: the overlay's
// height over theirs.
struct OverlayRect {
    uint32_t x = 0, y = 0, w = 0, h = 0;
};
constexpr size_t kMaxOverlayRects = 4096;
// The rectangles of a PNG file's "rects" chunk; false when there is none or it is malformed.
bool overlayRects(const uint8_t *png, size_t size, std::vector<OverlayRect> &rects);
// The overlay's density, or 0 unless every rectangle lies in a picture of width x height
// logical pixels and the overlay (atlasWidth x atlasHeight pixels) holds exactly their stack.
uint32_t overlayDensity(const std::vector<OverlayRect> &rects, uint32_t width, uint32_t height, uint32_t atlasWidth,
                        uint32_t atlasHeight);
// Scales a block of RGBA pixels (`pitch` bytes a row) to dw x dh, each target pixel the
// average of the source area it covers, colours weighted by their alpha.
void scaleArea(const uint8_t *src, uint32_t sw, uint32_t sh, size_t pitch, uint8_t *dst, uint32_t dw, uint32_t dh);
// Copies a bottom-up RGBA screen read-back into top-first RGBA texels (colour only; alpha stays 0).
void flipScreenRows(const uint8_t *screen, uint32_t width, uint32_t height, uint32_t texWidth, uint8_t *texels);

}  // namespace KPixels
