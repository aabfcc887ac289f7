// Picture loading: files into RGBA textures whose texel row 0 is the picture's top row.
#include "KGraphic.h"

#include "KCatalog.h"

#include "KFrame.h"
#include "KGraphicPixels.h"
#include "KMiscTools.h"
#include "KPngRows.h"

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <new>
#include <sys/stat.h>

namespace {

// Size of an opened regular file, or -1 for anything else (a folder, a pipe).
long regularFileSize(FILE *f) {
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return long(st.st_size);
}

bool isPng(const unsigned char *file, size_t size) { return size >= 4 && std::memcmp(file, "\x89PNG", 4) == 0; }

bool readAll(FILE *f, unsigned char *to, size_t size) { return std::fread(to, 1, size, f) == size; }

// Largest texture side the driver takes; without a context the usual limit is assumed.
uint32_t textureSideLimit() {
    GLint side = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
    return side > 0 ? uint32_t(side) : KPixels::kMaxTextureSide;
}

// A read-only memory stream whose reads past the end fill the rest with 0xFF. Some
// decoders ignore short reads and would re-parse stale bytes of a truncated file forever;
// 0xFF (an impossible chunk length, a bad checksum) makes them fail instead.
struct PaddedMemory {
    const unsigned char *data;
    size_t size, pos;
};

PaddedMemory &memoryOf(SDL_RWops *rw) { return *static_cast<PaddedMemory *>(rw->hidden.unknown.data1); }

Sint64 paddedSize(SDL_RWops *rw) { return Sint64(memoryOf(rw).size); }

Sint64 paddedSeek(SDL_RWops *rw, Sint64 offset, int whence) {
    PaddedMemory &m = memoryOf(rw);
    const Sint64 base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? Sint64(m.pos) : Sint64(m.size);
    const Sint64 to = base + offset;
    m.pos = to < 0 ? 0 : to > Sint64(m.size) ? m.size : size_t(to);
    return Sint64(m.pos);
}

size_t paddedRead(SDL_RWops *rw, void *to, size_t size, size_t count) {
    PaddedMemory &m = memoryOf(rw);
    if (size == 0 || count > SIZE_MAX / size)
        return 0;
    const size_t wanted = size * count;
    const size_t got = wanted < m.size - m.pos ? wanted : m.size - m.pos;
    std::memcpy(to, m.data + m.pos, got);
    std::memset(static_cast<unsigned char *>(to) + got, 0xFF, wanted - got);
    m.pos += got;
    return got / size;
}

size_t refuseWrite(SDL_RWops *, const void *, size_t, size_t) { return 0; }

int closePadded(SDL_RWops *rw) {
    SDL_FreeRW(rw);
    return 0;
}

SDL_Surface *decodePicture(const unsigned char *data, size_t size) {
    PaddedMemory memory = {data, size, 0};
    SDL_RWops *rw = SDL_AllocRW();
    if (!rw)
        return nullptr;
    rw->size = paddedSize;
    rw->seek = paddedSeek;
    rw->read = paddedRead;
    rw->write = refuseWrite;
    rw->close = closePadded;
    rw->type = SDL_RWOPS_UNKNOWN;
    rw->hidden.unknown.data1 = &memory;
    return IMG_Load_RW(rw, 1);
}

GLint internalFormat(bool withAlpha, bool trueColor) {
    if (withAlpha)
        return trueColor ? GL_RGBA8 : GL_RGBA;
    return trueColor ? GL_RGB8 : GL_RGB;
}

// TGA files are told by their name's extension as written; a ".tga" elsewhere in the
// path (a folder's name) says nothing about the file.
bool hasTgaExtension(const char *path) {
    const size_t length = std::strlen(path);
    return length >= 4 && std::strcmp(path + length - 4, ".tga") == 0;
}

// A texture the driver cannot hold would load "successfully" and then never show, and
// one it can hold may still be absurd: a long thin picture in a square texture.
bool textureFits(const KPixels::TextureLayout &layout) {
    const uint32_t limit = textureSideLimit();
    return layout.width <= limit && layout.height <= limit &&
           KPixels::textureBytes(layout) <= KPixels::kMaxTextureBytes;
}

// The N-times-denser copy of FOLDER/STEM.EXT is FOLDER/Nx/STEM.png (STEM.jpg beside a JPEG).
std::string siblingPath(const std::string &path, int density) {
    const size_t slash = path.find_last_of("/\\");
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.find_last_of('.');
    const size_t stemEnd = dot == std::string::npos || dot < nameAt ? path.size() : dot;
    std::string extension = path.substr(stemEnd);
    for (char &c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return path.substr(0, nameAt) + std::to_string(density) + "x/" + path.substr(nameAt, stemEnd - nameAt) +
           (extension == ".jpg" || extension == ".jpeg" ? ".jpg" : ".png");
}

// The sides a picture file declares in its first bytes; false when it cannot be told.
bool fileSides(const char *path, uint32_t &width, uint32_t &height) {
    std::vector<unsigned char> head(65536);
    FILE *f = std::fopen(path, "rb");
    if (!f)
        return false;
    const size_t got = regularFileSize(f) > 0 ? std::fread(head.data(), 1, head.size(), f) : 0;
    std::fclose(f);
    if (!hasTgaExtension(path))
        return KPixels::declaredSides(head.data(), got, width, height);
    const size_t start = KPixels::tgaDataOffset(head.data(), got);
    if (got < start + KPixels::kHeaderSize)
        return false;
    width = uint32_t(head[start + 12] | head[start + 13] << 8);
    height = uint32_t(head[start + 14] | head[start + 15] << 8);
    return true;
}

// The denser copy of a picture when there is one at exactly `density` times its size
// (a picture replaced by one of another size keeps no stale copy); empty otherwise.
std::string denserSibling(const char *path, int density) {
    const std::string sibling = siblingPath(path, density);
    uint32_t w = 0, h = 0, dw = 0, dh = 0;
    if (!fileSides(sibling.c_str(), dw, dh) || !fileSides(path, w, h) || w == 0 || h == 0 ||
        dw != w * uint32_t(density) || dh != h * uint32_t(density))
        return std::string();
    return sibling;
}

// The storage of the largest picture let go since the last load, kept until the next
// picture loads, which takes it when of the same size and format. The software renderer
// frees a deleted texture's storage only frames later, so the game's sheet, loaded just
// after the menu's was let go, would otherwise be held beside it (another 64 MiB at 4x).
struct SpareTexture {
    GLuint name = 0;
    KPixels::TextureLayout layout;
    GLint format = 0;
};
SpareTexture spare;
constexpr uint64_t kSpareBytes = uint64_t(4) << 20;   // a 1x sheet and up; smaller textures go at once

void deleteSpare() {
    if (spare.name != 0)
        glDeleteTextures(1, &spare.name);
    spare = SpareTexture();
}

// A texture bound to the layout's target, with room for its texels: the spare's when it fits.
GLuint newTexture(const KPixels::TextureLayout &layout, GLint format) {
    GLuint name = 0;
    if (spare.name != 0 && spare.layout.target == layout.target && spare.layout.width == layout.width &&
        spare.layout.height == layout.height && spare.format == format) {
        std::swap(name, spare.name);
        glBindTexture(layout.target, name);
        return name;
    }
    deleteSpare();
    glGenTextures(1, &name);
    glBindTexture(layout.target, name);
    glTexImage2D(layout.target, 0, format, GLsizei(layout.width), GLsizei(layout.height), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    return name;
}

// The language whose words the pictures carry; empty: English.
std::string language;

}  // namespace

// A picture record (18-byte header, then rows bottom row first) on its way to a texture:
// decoded in memory, or still in its TGA file and read a band of rows at a time.
class PictureRecord {
public:
    PictureRecord(const unsigned char *bytes, size_t size) : bytes_(bytes), size_(size) {}
    PictureRecord(std::FILE *file, long start, size_t size) : file_(file), start_(start), size_(size) {}
    // A header apart from its rows (a decoded picture's pixels, turned into rows in place,
    // or left as they are: top row first, R, G, B, A, which a texture takes unconverted).
    PictureRecord(const unsigned char *header, const unsigned char *rows, size_t size, bool texels)
        : header_(header), rows_(rows), size_(size), texels_(texels) {}
    // A header apart from texel rows still being decoded, a band at a time in order.
    PictureRecord(const unsigned char *header, KPngRows &stream, size_t size)
        : header_(header), stream_(&stream), size_(size) {}
    size_t size() const { return size_; }
    // `rows` rows from `top` on, when they are a texture's texels already; null when a
    // decoded stream breaks.
    const unsigned char *texelRows(uint32_t top, uint32_t rows, const KPixels::Header &header) {
        if (stream_)
            return size_t(rows) * header.width * 4 <= room_ && stream_->read(scratch_.get(), rows) ? scratch_.get()
                                                                                                  : nullptr;
        return texels_ ? rows_ + size_t(top) * header.width * 4 : nullptr;
    }
    // Room for reads of up to `length` bytes; false when there is no memory for it.
    bool reserve(size_t length) {
        if (bytes_ || (header_ && !stream_) || length <= room_)
            return true;
        scratch_.reset(new (std::nothrow) unsigned char[length]);
        room_ = scratch_ ? length : 0;
        return scratch_ != nullptr;
    }
    // `length` bytes from `offset`, within the room reserved; null when the file cannot give them.
    const unsigned char *read(size_t offset, size_t length) {
        if (stream_)
            return offset < KPixels::kHeaderSize ? header_ + offset : nullptr;
        if (header_)
            return offset < KPixels::kHeaderSize ? header_ + offset : rows_ + (offset - KPixels::kHeaderSize);
        if (bytes_)
            return bytes_ + offset;
        if (length > room_ || std::fseek(file_, start_ + long(offset), SEEK_SET) != 0 ||
            !readAll(file_, scratch_.get(), length))
            return nullptr;
        return scratch_.get();
    }

private:
    const unsigned char *bytes_ = nullptr;
    const unsigned char *header_ = nullptr, *rows_ = nullptr;
    KPngRows *stream_ = nullptr;
    std::FILE *file_ = nullptr;
    long start_ = 0;
    size_t size_ = 0;
    bool texels_ = false;
    std::unique_ptr<unsigned char[]> scratch_;
    size_t room_ = 0;
};

void KGraphic::SurfaceFreer::operator()(SDL_Surface *s) const { SDL_FreeSurface(s); }

KGraphic::KGraphic() {
    if (screenWidth == 0)
        KMiscTools::messageBox("Screen Dimensions not specified, you will not see anything",
                               "KGraphic::SetScreenSize Not Called!");
    setAlphaMode(true);
    _glEnum = GL_TEXTURE_2D;
}

KGraphic::~KGraphic() { freePicture(); }

float KGraphic::getWidth() { return fimageWidth; }
float KGraphic::getHeight() { return fimageHeight; }
int64_t KGraphic::getVideoMemory() { return videoMemory; }

void KGraphic::setAlphaMode(bool normal) {
    _sourceAlpha = GL_SRC_ALPHA;
    _destAlpha = normal ? GL_ONE_MINUS_SRC_ALPHA : GL_DST_ALPHA;
}

void KGraphic::setColorKey(bool active, uint8_t r, uint8_t g, uint8_t b) {
    _ckActive = active;
    _ckr = r;
    _ckg = g;
    _ckb = b;
}

int64_t KGraphic::textureBytes() const {
    return int64_t(screenDepth / 8) * int64_t(_ftextureWIDTH) * int64_t(_ftextureHEIGHT);
}

bool KGraphic::loadPicture(const char *path, bool withAlpha, bool keepPixels, bool trueColor) {
    const std::string file(path);   // often makeFilePath's buffer, which finding an overlay reuses
    const int wanted = KPixels::densityFor(float(renderWidth) / float(screenWidth > 0 ? screenWidth : renderWidth));
    for (int density = wanted; density > 1; density--) {
        const std::string denser = denserSibling(file.c_str(), density);
        if (denser.empty())
            continue;
        if (!loadFile(denser.c_str(), density, withAlpha, keepPixels, trueColor))
            break;
        layOverlay(file, density);
        return true;
    }
    if (!loadFile(file.c_str(), 1, withAlpha, keepPixels, trueColor))
        return false;
    layOverlay(file, 1);
    return true;
}

void KGraphic::setLanguage(const char *code) {
    language.clear();
    if (!code || std::strcmp(code, "en") == 0 || std::strlen(code) > 32)
        return;
    for (const char *c = code; *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '_' && *c != '@')
            return;
    language = code;
}

// FOLDER/STEM.EXT of the data folder is covered by data/lang/CODE/FOLDER/STEM.png, drawn
// at one density whatever the density loaded. The overlay is read whole, its rectangles
// checked against the picture, scaled to the density loaded and copied into the texture
// (and the kept pixels); a broken one leaves the picture English and says so.
void KGraphic::layOverlay(const std::string &picture, int density) {
    if (language.empty())
        return;
    const std::string data = KMiscTools::makeFilePath("data\\");
    if (picture.compare(0, data.size(), data) != 0)
        return;
    const size_t dot = picture.find_last_of('.');
    const std::string below = picture.substr(data.size(), dot == std::string::npos || dot < data.size()
                                                              ? std::string::npos : dot - data.size());
    const std::string path = data + "lang/" + language + "/" + below + ".png";
    File f(std::fopen(path.c_str(), "rb"));
    const long size = f ? regularFileSize(f.get()) : -1;
    if (size < 0)
        return;   // no words of this language on the picture
    std::vector<unsigned char> bytes(size_t(size > 0 ? size : 0));
    std::vector<KPixels::OverlayRect> rects;
    Surface atlas;
    if (size > 0 && readAll(f.get(), bytes.data(), bytes.size()) && KPixels::overlayRects(bytes.data(), bytes.size(), rects) &&
        KPixels::decodableSize(bytes.data(), bytes.size(), textureSideLimit()))
        if (SDL_Surface *decoded = decodePicture(bytes.data(), bytes.size())) {
            atlas.reset(SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_RGBA32, 0));
            SDL_FreeSurface(decoded);
        }
    const uint32_t drawn = atlas ? KPixels::overlayDensity(rects, uint32_t(fimageWidth), uint32_t(fimageHeight),
                                                           uint32_t(atlas->w), uint32_t(atlas->h))
                                 : 0;
    if (drawn == 0) {
        std::fprintf(stderr, _("brolix: %s: not an overlay of %s, left out\n"), path.c_str(), picture.c_str());
        return;
    }
    const KPixels::ColorKey key = {_ckActive, _ckr, _ckg, _ckb};
    auto *texels = static_cast<uint8_t *>(atlas->pixels);
    const size_t pitch = size_t(atlas->pitch);
    for (int y = 0; y < atlas->h; ++y)
        for (uint8_t *t = texels + size_t(y) * pitch, *end = t + size_t(atlas->w) * 4; key.active && t < end; t += 4)
            if (t[0] == key.r && t[1] == key.g && t[2] == key.b)
                t[3] = 0;
    glBindTexture(_glEnum, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    std::vector<uint8_t> scaled;
    uint32_t top = 0;
    for (const KPixels::OverlayRect &r : rects) {
        const uint32_t x = r.x * uint32_t(density), y = r.y * uint32_t(density);
        const uint32_t w = r.w * uint32_t(density), h = r.h * uint32_t(density);
        const uint8_t *part = texels + size_t(top) * pitch;
        size_t partPitch = pitch;
        if (drawn != uint32_t(density)) {
            scaled.resize(size_t(w) * h * 4);
            KPixels::scaleArea(part, r.w * drawn, r.h * drawn, pitch, scaled.data(), w, h);
            part = scaled.data(), partPitch = size_t(w) * 4;
        }
        glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(partPitch / 4));
        glTexSubImage2D(_glEnum, 0, GLint(x), GLint(y), GLsizei(w), GLsizei(h), GL_RGBA, GL_UNSIGNED_BYTE, part);
        for (uint32_t row = 0; _pixels && row < h; ++row)
            std::memcpy(_pixels + ((size_t(y) + row) * size_t(_ftextureWIDTH) + x) * 4, part + row * partPitch,
                        size_t(w) * 4);
        top += r.h * drawn;
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

bool KGraphic::loadFile(const char *path, int density, bool withAlpha, bool keepPixels, bool trueColor) {
    size_t size = 0;
    long start = 0;
    File tga;
    Surface decoded;
    std::unique_ptr<KPngRows> stream;
    unsigned char header[KPixels::kHeaderSize];
    bool texels = false;
    if (hasTgaExtension(path))
        tga = LoadTGA(path, start, size);
    else
        decoded = LoadGeneric(path, keepPixels, header, size, texels, stream);
    if (!tga && !decoded && !stream) {
        KMiscTools::messageBox(path, "file not found or out of memory");
        return false;
    }
    PictureRecord record = tga      ? PictureRecord(tga.get(), start, size)
                           : stream ? PictureRecord(header, *stream, size)
                                    : PictureRecord(header, static_cast<unsigned char *>(decoded->pixels), size, texels);
    return uploadRecord(path, record, density, withAlpha, keepPixels, trueColor);
}

bool KGraphic::uploadRecord(const char *path, PictureRecord &record, int density, bool withAlpha, bool keepPixels,
                            bool trueColor) {
    KPixels::Header header;
    const unsigned char *head = record.reserve(KPixels::kHeaderSize) && record.size() >= KPixels::kHeaderSize
                                    ? record.read(0, KPixels::kHeaderSize)
                                    : nullptr;
    switch (head ? KPixels::readHeader(head, record.size(), header) : KPixels::Check::truncated) {
    case KPixels::Check::unsupportedDepth:
        KMiscTools::messageBox("Non supported Format", path);
        return false;
    case KPixels::Check::truncated:
        KMiscTools::messageBox("Out of data to read", path);
        return false;
    case KPixels::Check::ok:
        break;
    }
    const KPixels::TextureLayout layout =
        KPixels::textureLayout(header.width, header.height, rectangleTextures, anySizeTextures);
    if (!textureFits(layout)) {
        KMiscTools::messageBox("Picture too large", path);
        return false;
    }
    // Kept pixels are the whole texture, so then the one band is the whole texture.
    const uint32_t bandRows = keepPixels ? layout.height : std::min(KPixels::rowsPerBand(layout.width), layout.height);
    const size_t rowBytes = size_t(header.width) * (header.depth / 8);
    Bytes texels(new (std::nothrow) unsigned char[size_t(layout.width) * bandRows * 4]);
    if (!texels || !record.reserve(rowBytes * std::min<uint32_t>(bandRows, header.height))) {
        KMiscTools::messageBox("Out of memory", path);
        return false;
    }
    glLoadIdentity();
    glFlush();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDisable(GL_TEXTURE_2D);
    glDisable(KPixels::kTextureRectangle);
    glEnable(layout.target);
    const GLint format = internalFormat(withAlpha, trueColor);
    GLuint name = newTexture(layout, format);
    const KPixels::ColorKey key = {_ckActive, _ckr, _ckg, _ckb};
    const bool unconverted = !keepPixels && layout.width == header.width && layout.height == header.height;
    for (uint32_t top = 0; top < layout.height; top += bandRows) {
        const uint32_t rows = std::min(bandRows, layout.height - top);
        if (const unsigned char *ready = unconverted ? record.texelRows(top, rows, header) : nullptr) {
            glTexSubImage2D(layout.target, 0, 0, GLint(top), GLsizei(layout.width), GLsizei(rows), GL_RGBA,
                            GL_UNSIGNED_BYTE, ready);
            continue;
        }
        // Texels outside the picture are transparent black.
        std::memset(texels.get(), 0, size_t(layout.width) * rows * 4);
        const uint32_t pictureRows = top < header.height ? std::min(rows, header.height - top) : 0;
        if (pictureRows > 0) {
            // File rows are stored bottom row first: these end at texel row `top`.
            const size_t first = header.height - top - pictureRows;
            const unsigned char *src = record.read(KPixels::kHeaderSize + first * rowBytes, pictureRows * rowBytes);
            if (!src) {
                glDeleteTextures(1, &name);
                KMiscTools::messageBox("Out of data to read", path);
                return false;
            }
            KPixels::convertTexels(src, header, pictureRows, layout.width, key, texels.get());
        }
        glTexSubImage2D(layout.target, 0, 0, GLint(top), GLsizei(layout.width), GLsizei(rows), GL_RGBA,
                        GL_UNSIGNED_BYTE, texels.get());
    }
    _linear = _graphicQuality;
    glTexParameteri(layout.target, GL_TEXTURE_MIN_FILTER, _linear ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(layout.target, GL_TEXTURE_MAG_FILTER, _linear ? GL_LINEAR : GL_NEAREST);
    if (layout.target == GL_TEXTURE_2D) {  // rectangle textures refuse GL_REPEAT
        glTexParameteri(layout.target, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(layout.target, GL_TEXTURE_WRAP_T, GL_REPEAT);
    }
    if (texture != 0)   // loaded over a held picture: the old texture goes
        letTextureGo();
    texture = name;
    _format = format;
    // Callers measure and cut in logical pixels whatever the density.
    _density = float(density);
    fimageWidth = float(header.width / density);
    fimageHeight = float(header.height / density);
    picX1 = header.xOrigin;
    picY1 = header.yOrigin;
    _glEnum = layout.target;
    bind();
    _ftextureWIDTH = float(layout.width);
    _ftextureHEIGHT = float(layout.height);
    delete[] _pixels;
    _pixels = keepPixels ? texels.release() : nullptr;
    videoMemory += textureBytes();
    return true;
}

void KGraphic::bind() { boundPicture[_glEnum == GL_TEXTURE_2D ? 0 : 1] = this; }

void KGraphic::freePicture() {
    delete[] _pixels;
    _pixels = nullptr;
    for (KGraphic *&picture : boundPicture)
        if (picture == this)
            picture = nullptr;
    // Keyed on the texture name so an empty (0-pixel) picture's texture is released too.
    if (texture == 0)
        return;
    letTextureGo();
    texture = 0;
    fimageWidth = 0;
    fimageHeight = 0;
    _density = 1;
}

void KGraphic::letTextureGo() {
    videoMemory -= textureBytes();
    KFrame::forgetTexture(texture);
    const KPixels::TextureLayout layout = {_glEnum, uint32_t(_ftextureWIDTH), uint32_t(_ftextureHEIGHT)};
    const uint64_t bytes = KPixels::textureBytes(layout);
    if (_format == 0 || bytes < kSpareBytes || (spare.name != 0 && bytes <= KPixels::textureBytes(spare.layout))) {
        glDeleteTextures(1, &texture);
        return;
    }
    deleteSpare();
    spare = {texture, layout, _format};
}

void KGraphic::dropSpareTexture() { deleteSpare(); }

KGraphic::File KGraphic::LoadTGA(const char *path, long &start, size_t &size) {
    File f(std::fopen(path, "rb"));
    const long fileSize = f ? regularFileSize(f.get()) : -1;
    if (fileSize < 0) {
        KMiscTools::messageBox("Could not open file", path);
        return nullptr;
    }
    if (fileSize < 1) {
        KMiscTools::messageBox("file is 0 byte", path);
        return nullptr;
    }
    unsigned char prefix[4] = {};
    const size_t got = std::fread(prefix, 1, sizeof prefix, f.get());
    start = long(KPixels::tgaDataOffset(prefix, got));
    size = size_t(fileSize - start);
    return f;
}

KGraphic::Surface KGraphic::LoadGeneric(const char *path, bool keepPixels, unsigned char *header, size_t &size,
                                        bool &texels, std::unique_ptr<KPngRows> &stream) {
    // Each failure names itself as a caption; the path is the text.
    const char *failure = nullptr;
    Surface record;
    File f(std::fopen(path, "rb"));
    const long fileSize = f ? regularFileSize(f.get()) : 0;
    Bytes file(fileSize > 0 ? new (std::nothrow) unsigned char[size_t(fileSize)] : nullptr);
    if (!f)
        failure = "file not found";
    else if (fileSize <= 0)
        failure = "file is corrupt";
    else if (!file)
        failure = "out of memory";
    else if (!readAll(f.get(), file.get(), size_t(fileSize)))
        failure = "File is corrupted";
    else if (!KPixels::decodableSize(file.get(), size_t(fileSize), textureSideLimit()))
        failure = "file is corrupt";
    else if (streamsTexels(file.get(), size_t(fileSize), keepPixels)) {
        stream = startStream(std::move(file), size_t(fileSize), header, size);
        if (!stream)
            failure = "File is corrupted";
    } else if (SDL_Surface *picture = decodePicture(file.get(), size_t(fileSize))) {
        const bool png = isPng(file.get(), size_t(fileSize));
        file.reset();   // only one copy of the picture at a time
        record = RenderPicture(picture, png, header, size, texels);
    } else {
        failure = "File is corrupted";
    }
    if (failure)
        KMiscTools::messageBox(failure, path);
    return record;
}

// A PNG with alpha (the denser art) becomes a 32-bit record, any other picture a 24-bit
// one as always. Pixels already in a byte order the record takes are turned into its
// rows in place: a 3x picture is 36 MiB, and a second copy beside the texture is too much.
// Rows of R, G, B, A without gaps are left as they are (texels): the texture takes them
// so, where turning them upside down and back would cost two passes over the picture.
KGraphic::Surface KGraphic::RenderPicture(SDL_Surface *picture, bool png, unsigned char *header, size_t &size,
                                          bool &texels) {
    Surface held(picture);
    const Uint32 format = picture->format->format;
    const bool alpha = png && (SDL_ISPIXELFORMAT_ALPHA(format) || SDL_HasColorKey(picture));
    const Uint32 plain = alpha ? SDL_PIXELFORMAT_BGRA32 : SDL_PIXELFORMAT_BGR24;
    const Uint32 swapped = alpha ? SDL_PIXELFORMAT_RGBA32 : SDL_PIXELFORMAT_RGB24;
    if (picture->w > 0xFFFF || picture->h > 0xFFFF)
        held.reset();
    else if (format != plain && format != swapped)
        held.reset(SDL_ConvertSurfaceFormat(picture, plain, 0));   // frees the picture as `held` lets it go
    if (!held) {
        KMiscTools::messageBox("error", "could not create dib section");
        return nullptr;
    }
    SDL_Surface *rows = held.get();
    const uint8_t bytes = alpha ? 4 : 3;
    texels = alpha && rows->format->format == swapped && !_ckActive && rows->pitch == rows->w * 4;
    if (texels)
        KPixels::writeHeader(uint16_t(rows->w), uint16_t(rows->h), bytes, header);
    else
        KPixels::recordInPlace(static_cast<uint8_t *>(rows->pixels), size_t(rows->pitch), uint16_t(rows->w),
                               uint16_t(rows->h), bytes, rows->format->format == swapped, header);
    size = KPixels::kHeaderSize + size_t(rows->w) * size_t(rows->h) * bytes;
    return held;
}

// A PNG of plain RGBA rows that fill the texture exactly and are not kept goes to the
// texture a band at a time, never decoded whole.
bool KGraphic::streamsTexels(const unsigned char *file, size_t size, bool keepPixels) const {
    uint32_t width = 0, height = 0;
    if (keepPixels || _ckActive || !KPngRows::suits(file, size) || !KPixels::declaredSides(file, size, width, height))
        return false;
    const KPixels::TextureLayout layout = KPixels::textureLayout(width, height, rectangleTextures, anySizeTextures);
    return layout.width == width && layout.height == height;
}

std::unique_ptr<KPngRows> KGraphic::startStream(Bytes file, size_t fileSize, unsigned char *header, size_t &size) {
    auto stream = std::make_unique<KPngRows>(std::move(file), fileSize);
    uint32_t width = 0, height = 0;
    if (!stream->start(width, height) || width > 0xFFFF || height > 0xFFFF)
        return nullptr;
    KPixels::writeHeader(uint16_t(width), uint16_t(height), 4, header);
    size = KPixels::kHeaderSize + size_t(width) * height * 4;
    return stream;
}

bool KGraphic::grabBackBuffer() {
    KFrame::drawPending();   // the frame drawn so far, not only what reached GL
    const uint32_t sw = uint32_t(renderWidth), sh = uint32_t(renderHeight);
    KPixels::TextureLayout layout = KPixels::textureLayout(sw, sh, false, anySizeTextures);
    if (rectangleTextures && !anySizeTextures)
        layout = {KPixels::kTextureRectangle, sw, sh};
    const uint32_t bandRows = std::min(KPixels::rowsPerBand(layout.width), layout.height);
    std::unique_ptr<unsigned char[]> screen(new (std::nothrow) unsigned char[size_t(sw) * bandRows * 4]);
    std::unique_ptr<unsigned char[]> texels(new (std::nothrow) unsigned char[size_t(layout.width) * bandRows * 4]);
    if (!screen || !texels)
        return false;
    _glEnum = layout.target;
    _format = 0;
    _linear = false;   // nearest whatever the quality setting: the grab must reproduce the frame exactly
    bind();
    _ftextureWIDTH = float(layout.width);
    _ftextureHEIGHT = float(layout.height);
    glEnable(_glEnum);
    glLoadIdentity();
    glGenTextures(1, &texture);
    glBindTexture(_glEnum, texture);
    glTexImage2D(_glEnum, 0, GL_RGB, GLsizei(layout.width), GLsizei(layout.height), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    // The default read buffer is the back buffer, or the full-screen frame buffer when that is bound;
    // naming GL_BACK would be an error in the latter.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    for (uint32_t top = 0; top < layout.height; top += bandRows) {
        const uint32_t rows = std::min(bandRows, layout.height - top);
        std::memset(texels.get(), 0, size_t(layout.width) * rows * 4);
        // Texel row y is screen row sh - 1 - y: GL counts screen rows from the bottom.
        const uint32_t screenRows = top < sh ? std::min(rows, sh - top) : 0;
        if (screenRows > 0) {
            glReadPixels(0, GLint(sh - top - screenRows), GLsizei(sw), GLsizei(screenRows), GL_RGBA,
                         GL_UNSIGNED_BYTE, screen.get());
            KPixels::flipScreenRows(screen.get(), sw, screenRows, layout.width, texels.get());
        }
        glTexSubImage2D(_glEnum, 0, 0, GLint(top), GLsizei(layout.width), GLsizei(rows), GL_RGBA, GL_UNSIGNED_BYTE,
                        texels.get());
    }
    glTexParameteri(_glEnum, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(_glEnum, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(_glEnum, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(_glEnum, GL_TEXTURE_WRAP_T, GL_CLAMP);
    fimageWidth = float(screenWidth);   // blits of it keep logical coordinates
    fimageHeight = float(screenHeight);
    _density = float(renderWidth) / float(screenWidth);
    videoMemory += textureBytes();
    return true;
}
