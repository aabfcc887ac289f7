#include "KGraphicPixels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace KPixels {

static uint16_t readU16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }

static uint32_t readU32(const uint8_t *p) { return uint32_t(p[0] | (p[1] << 8) | (p[2] << 16)) | uint32_t(p[3]) << 24; }
static uint32_t readBE16(const uint8_t *p) { return uint32_t(p[0] << 8 | p[1]); }
static uint32_t readBE32(const uint8_t *p) { return readBE16(p) << 16 | readBE16(p + 2); }

static void writeU16(uint8_t *p, uint16_t v) {
    p[0] = uint8_t(v & 0xFF);
    p[1] = uint8_t(v >> 8);
}

size_t tgaDataOffset(const uint8_t *bytes, size_t size) {
    return size >= 4 && std::memcmp(bytes, "pihs", 4) == 0 ? 4 : 0;
}

size_t pixelBytes(const Header &header) {
    return size_t(header.width) * header.height * (header.depth / 8);
}

Check readHeader(const uint8_t *record, size_t size, Header &header) {
    if (size < kHeaderSize)
        return Check::truncated;
    header.xOrigin = readU16(record + 8);
    header.yOrigin = readU16(record + 10);
    header.width = readU16(record + 12);
    header.height = readU16(record + 14);
    header.depth = record[16];
    if (header.depth < 24)
        return Check::unsupportedDepth;
    // Refuse rather than read past the end of a file that promises more than it holds.
    if (size - kHeaderSize < pixelBytes(header))
        return Check::truncated;
    return Check::ok;
}

uint32_t powerOfTwoSide(uint32_t width, uint32_t height) {
    uint32_t n = width > height ? width : height;
    uint32_t p = 4;
    while (p < n)
        p *= 2;
    return p;
}

TextureLayout textureLayout(uint32_t width, uint32_t height, bool rectangleCap, bool anySize) {
    if (anySize)
        return {kTexture2D, width > 0 ? width : 1, height > 0 ? height : 1};
    uint32_t p = powerOfTwoSide(width, height);
    bool squareFit = width == height && width == p;
    if (rectangleCap && !squareFit)
        return {kTextureRectangle, width, height};
    return {kTexture2D, p, p};
}

uint64_t textureBytes(const TextureLayout &layout) { return uint64_t(layout.width) * layout.height * 4; }

uint32_t rowsPerBand(uint32_t texWidth) {
    const size_t bandBytes = 256 * 1024;
    const size_t rows = bandBytes / (size_t(texWidth) * 4);
    return rows > 0 ? uint32_t(rows) : 1;
}

void convertTexels(const uint8_t *rows, const Header &header, uint32_t rowCount, uint32_t texWidth, ColorKey key,
                   uint8_t *texels) {
    // Depths between the two supported ones convert nothing: the texture stays transparent.
    if (header.depth != 24 && header.depth != 32)
        return;
    const size_t bpp = header.depth / 8;
    for (uint32_t y = 0; y < rowCount; ++y) {
        const uint8_t *src = rows + size_t(rowCount - 1 - y) * header.width * bpp;
        uint8_t *dst = texels + size_t(texWidth) * y * 4;
        for (uint32_t x = 0; x < header.width; ++x, src += bpp, dst += 4) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = bpp == 4 ? src[3] : 255;
            if (key.active && dst[0] == key.r && dst[1] == key.g && dst[2] == key.b)
                dst[3] = 0;
        }
    }
}

// Sides the driver takes, and no more pixels than the largest texture holds.
static bool sidesFit(int64_t width, int64_t height, uint32_t maxSide) {
    if (width > maxSide || height > maxSide)
        return false;
    return width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) * 4 <= kMaxTextureBytes;
}

static bool bmpFits(const uint8_t *file, size_t size, uint32_t maxSide) {
    if (size < 26)
        return false;
    const uint32_t infoSize = readU32(file + 14);
    const bool core = infoSize == 12;  // the old OS/2 header has 16-bit sizes
    if (!core && size < 34)
        return false;
    const int64_t width = core ? readU16(file + 18) : int32_t(readU32(file + 18));
    const int64_t rawHeight = core ? readU16(file + 20) : int32_t(readU32(file + 22));
    const int64_t height = rawHeight < 0 ? -rawHeight : rawHeight;
    if (!sidesFit(width, height, maxSide))
        return false;
    const uint32_t bpp = readU16(file + (core ? 24 : 28));
    const uint32_t compression = core ? 0 : readU32(file + 30);
    const bool packed = compression == 0 || compression == 3 || compression == 6;
    if (!packed || width <= 0 || height == 0)
        return true;
    const uint64_t rowBytes = (uint64_t(width) * bpp + 31) / 32 * 4;
    const uint64_t lastRow = (uint64_t(width) * bpp + 7) / 8;  // its padding may be missing
    return uint64_t(readU32(file + 10)) + rowBytes * uint64_t(height - 1) + lastRow <= size;
}

static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

static bool pngFits(const uint8_t *file, size_t size, uint32_t maxSide) {
    if (size < 24 || std::memcmp(file + 12, "IHDR", 4) != 0)
        return true;
    return sidesFit(readBE32(file + 16), readBE32(file + 20), maxSide);
}

static bool isJpegFrameMarker(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// The offset of the frame header's length, or 0 when the first bytes hold none.
static size_t jpegFrame(const uint8_t *file, size_t size) {
    size_t pos = 2;
    while (pos + 4 <= size && file[pos] == 0xFF) {
        const uint8_t marker = file[pos + 1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
            pos += 2;
            continue;
        }
        if (isJpegFrameMarker(marker))
            return pos + 9 <= size ? pos : 0;
        pos += 2 + readBE16(file + pos + 2);
    }
    return 0;
}

static bool jpegFits(const uint8_t *file, size_t size, uint32_t maxSide) {
    const size_t pos = jpegFrame(file, size);
    return pos == 0 || sidesFit(readBE16(file + pos + 7), readBE16(file + pos + 5), maxSide);
}

bool decodableSize(const uint8_t *file, size_t size, uint32_t maxSide) {
    if (size >= 2 && file[0] == 'B' && file[1] == 'M')
        return bmpFits(file, size, maxSide);
    if (size >= 8 && std::memcmp(file, pngSignature, 8) == 0)
        return pngFits(file, size, maxSide);
    if (size >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF)
        return jpegFits(file, size, maxSide);
    return true;
}

bool declaredSides(const uint8_t *file, size_t size, uint32_t &width, uint32_t &height) {
    if (size >= 26 && file[0] == 'B' && file[1] == 'M') {
        const bool core = readU32(file + 14) == 12;
        const int32_t h = core ? readU16(file + 20) : int32_t(readU32(file + 22));
        width = core ? readU16(file + 18) : readU32(file + 18);
        height = uint32_t(h < 0 ? -int64_t(h) : h);
        return core || size >= 34;
    }
    if (size >= 24 && std::memcmp(file, pngSignature, 8) == 0 && std::memcmp(file + 12, "IHDR", 4) == 0) {
        width = readBE32(file + 16), height = readBE32(file + 20);
        return true;
    }
    const size_t frame = size >= 3 && file[0] == 0xFF && file[1] == 0xD8 ? jpegFrame(file, size) : 0;
    if (frame == 0)
        return false;
    width = readBE16(file + frame + 7), height = readBE16(file + frame + 5);
    return true;
}

int densityFor(float renderScale) {
    return renderScale <= 1 ? 1 : int(std::min(std::ceil(renderScale - 1e-4f), float(kDensest)));
}

void writeHeader(uint16_t width, uint16_t height, uint8_t bytesPerPixel, uint8_t header[kHeaderSize]) {
    std::memset(header, 0, kHeaderSize);
    writeU16(header + 12, width);
    writeU16(header + 14, height);
    header[16] = uint8_t(bytesPerPixel * 8);
}

void recordInPlace(uint8_t *rows, size_t pitch, uint16_t width, uint16_t height, uint8_t bytesPerPixel,
                   bool swapRedBlue, uint8_t header[kHeaderSize]) {
    writeHeader(width, height, bytesPerPixel, header);
    const size_t rowBytes = size_t(width) * bytesPerPixel;
    // Packed first (rows only move towards the start), then turned upside down.
    for (uint32_t r = 0; r < height; ++r) {
        uint8_t *row = rows + r * rowBytes;
        std::memmove(row, rows + r * pitch, rowBytes);
        if (swapRedBlue)
            for (size_t x = 0; x < rowBytes; x += bytesPerPixel)
                std::swap(row[x], row[x + 2]);
    }
    for (uint32_t r = 0; r < height / 2u; ++r)
        std::swap_ranges(rows + r * rowBytes, rows + (r + 1) * rowBytes, rows + (height - 1 - r) * rowBytes);
}

bool overlayRects(const uint8_t *png, size_t size, std::vector<OverlayRect> &rects) {
    static const char key[] = "rects";   // keyword and its NUL
    rects.clear();
    if (size < 8 || std::memcmp(png, pngSignature, 8) != 0)
        return false;
    for (size_t at = 8; at + 12 <= size;) {
        const uint32_t length = readBE32(png + at);
        if (length > size - at - 12)
            return false;
        const uint8_t *type = png + at + 4, *data = png + at + 8;
        if (std::memcmp(type, "IEND", 4) == 0)
            break;
        if (std::memcmp(type, "tEXt", 4) == 0 && length >= sizeof key && std::memcmp(data, key, sizeof key) == 0) {
            const std::string text(reinterpret_cast<const char *>(data) + sizeof key, length - sizeof key);
            for (size_t from = 0; from < text.size(); ++from) {
                const size_t end = std::min(text.find(';', from), text.size());
                OverlayRect r;
                char tail = 0;
                unsigned long v[4];
                if (std::sscanf(text.substr(from, end - from).c_str(), "%5lu %5lu %5lu %5lu%c", &v[0], &v[1], &v[2], &v[3],
                                &tail) != 4 || v[2] == 0 || v[3] == 0 || rects.size() == kMaxOverlayRects)
                    return false;
                r.x = uint32_t(v[0]), r.y = uint32_t(v[1]), r.w = uint32_t(v[2]), r.h = uint32_t(v[3]);
                rects.push_back(r);
                from = end;
            }
            return !rects.empty();
        }
        at += 12 + size_t(length);
    }
    return false;
}

uint32_t overlayDensity(const std::vector<OverlayRect> &rects, uint32_t width, uint32_t height, uint32_t atlasWidth,
                        uint32_t atlasHeight) {
    uint64_t stacked = 0, widest = 0;
    for (const OverlayRect &r : rects) {
        if (uint64_t(r.x) + r.w > width || uint64_t(r.y) + r.h > height)
            return 0;
        stacked += r.h;
        widest = std::max<uint64_t>(widest, r.w);
    }
    if (stacked == 0 || atlasHeight % stacked != 0)
        return 0;
    const uint64_t density = atlasHeight / stacked;
    return density <= 8 && widest * density <= atlasWidth ? uint32_t(density) : 0;
}

// The source pixels, and how much of each, that target pixel i of n covers out of size.
static std::vector<std::pair<uint32_t, double>> covered(uint32_t i, uint32_t n, uint32_t size) {
    const double from = double(i) * size / n, to = double(i + 1) * size / n;
    std::vector<std::pair<uint32_t, double>> out;
    for (uint32_t s = uint32_t(from); s < size && s < to; ++s)
        out.emplace_back(s, std::min<double>(to, s + 1) - std::max<double>(from, s));
    return out;
}

void scaleArea(const uint8_t *src, uint32_t sw, uint32_t sh, size_t pitch, uint8_t *dst, uint32_t dw, uint32_t dh) {
    std::vector<std::vector<std::pair<uint32_t, double>>> across(dw);
    for (uint32_t x = 0; x < dw; ++x)
        across[x] = covered(x, dw, sw);
    for (uint32_t y = 0; y < dh; ++y) {
        const auto down = covered(y, dh, sh);
        for (uint32_t x = 0; x < dw; ++x) {
            double sum[4] = {0, 0, 0, 0}, area = 0;
            for (const auto &[sy, wy] : down)
                for (const auto &[sx, wx] : across[x]) {
                    const uint8_t *p = src + sy * pitch + size_t(sx) * 4;
                    const double w = wx * wy, a = p[3] * w;
                    sum[0] += p[0] * a, sum[1] += p[1] * a, sum[2] += p[2] * a, sum[3] += a;
                    area += w;
                }
            uint8_t *q = dst + (size_t(y) * dw + x) * 4;
            for (int c = 0; c < 3; ++c)
                q[c] = uint8_t(sum[3] > 0 ? std::min(255.0, sum[c] / sum[3] + 0.5) : 0);
            q[3] = uint8_t(area > 0 ? std::min(255.0, sum[3] / area + 0.5) : 0);
        }
    }
}

void flipScreenRows(const uint8_t *screen, uint32_t width, uint32_t height, uint32_t texWidth, uint8_t *texels) {
    for (uint32_t r = 0; r < height; ++r) {
        const uint8_t *src = screen + size_t(r) * width * 4;
        uint8_t *dst = texels + size_t(height - 1 - r) * texWidth * 4;
        for (uint32_t x = 0; x < width; ++x, src += 4, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
}

}  // namespace KPixels
