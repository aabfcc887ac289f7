#pragma once
// A PNG of 8-bit RGBA pixels, not interlaced, decoded a band of rows at a time, top
// row first: the rows are a texture's texels as they come. A 4x sheet is 64 MiB once
// decoded; a whole decoded copy beside its texture would double what loading it costs.
#include <cstddef>
#include <cstdint>
#include <memory>

class KPngRows {
public:
    // True when the file says it is such a PNG (the decoder may still find it broken).
    static bool suits(const unsigned char *file, size_t size);
    KPngRows(std::unique_ptr<unsigned char[]> file, size_t size);
    ~KPngRows();
    KPngRows(const KPngRows &) = delete;
    KPngRows &operator=(const KPngRows &) = delete;
    bool start(uint32_t &width, uint32_t &height);   // reads up to the pixels; false when broken or not such a PNG
    bool read(unsigned char *to, uint32_t rows);     // the next rows, width * 4 bytes each; false once broken or past the end

private:
    struct Decoder;
    std::unique_ptr<Decoder> decoder_;
};
