#include "KPngRows.h"

#include "KGraphicPixels.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

// Broken files are said by the caller, once, with the picture's path.
[[noreturn]] void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quietWarning(png_structp, png_const_charp) {}

}  // namespace

struct KPngRows::Decoder {
    std::unique_ptr<unsigned char[]> file;
    size_t size = 0, at = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    uint32_t width = 0, rowsLeft = 0;
    bool broken = false;

    // A short file fails the decoder at once rather than handing it stale bytes.
    static void readFile(png_structp png, png_bytep to, size_t length) {
        auto *self = static_cast<Decoder *>(png_get_io_ptr(png));
        if (length > self->size - self->at)
            png_error(png, "truncated");
        std::memcpy(to, self->file.get() + self->at, length);
        self->at += length;
    }
};

bool KPngRows::suits(const unsigned char *file, size_t size) {
    // IHDR comes first: sides, then bit depth, colour type, compression, filter, interlace.
    uint32_t width = 0, height = 0;
    return size >= 29 && file[0] == 0x89 && KPixels::declaredSides(file, size, width, height) && file[24] == 8 &&
           file[25] == PNG_COLOR_TYPE_RGBA && file[28] == PNG_INTERLACE_NONE;
}

KPngRows::KPngRows(std::unique_ptr<unsigned char[]> file, size_t size) : decoder_(new Decoder) {
    decoder_->file = std::move(file);
    decoder_->size = size;
}

KPngRows::~KPngRows() {
    if (decoder_->png)
        png_destroy_read_struct(&decoder_->png, &decoder_->info, nullptr);
}

bool KPngRows::start(uint32_t &width, uint32_t &height) {
    Decoder &d = *decoder_;
    if (d.png || !suits(d.file.get(), d.size))
        return false;
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    d.info = d.png ? png_create_info_struct(d.png) : nullptr;
    if (!d.info)
        return false;
    if (setjmp(png_jmpbuf(d.png))) {
        d.broken = true;
        return false;
    }
    png_set_read_fn(d.png, &d, Decoder::readFile);
    png_read_info(d.png, d.info);
    width = d.width = png_get_image_width(d.png, d.info);
    height = d.rowsLeft = png_get_image_height(d.png, d.info);
    return true;
}

bool KPngRows::read(unsigned char *to, uint32_t rows) {
    Decoder &d = *decoder_;
    if (!d.png || d.broken || rows > d.rowsLeft)
        return false;
    if (setjmp(png_jmpbuf(d.png))) {
        d.broken = true;
        return false;
    }
    for (uint32_t row = 0; row < rows; ++row)
        png_read_row(d.png, to + size_t(row) * d.width * 4, nullptr);
    d.rowsLeft -= rows;
    return true;
}
