// libFuzzer target of scripts/fuzz_tga.sh: any bytes through the TGA reader and the decoder's size guard.
#include "KGraphicPixels.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    KPixels::decodableSize(data, size, KPixels::kMaxTextureSide);

    const size_t offset = KPixels::tgaDataOffset(data, size);
    const uint8_t *record = data + offset;
    const size_t recordSize = size - offset;
    KPixels::Header header;
    if (KPixels::readHeader(record, recordSize, header) != KPixels::Check::ok)
        return 0;
    if (KPixels::kHeaderSize + KPixels::pixelBytes(header) > recordSize)
        std::abort();  // accepted a record shorter than its header announces
    const KPixels::TextureLayout layout = KPixels::textureLayout(header.width, header.height, size % 2 == 0);
    if (layout.width > 4096 || layout.height > 4096)
        return 0;  // keeps each run small; the loop bounds do not depend on the size
    std::vector<uint8_t> texels(size_t(layout.width) * layout.height * 4, 0);
    const KPixels::ColorKey key = {size % 3 == 0, record[0], record[1], record[2]};
    KPixels::convertTexels(record + KPixels::kHeaderSize, header, header.height, layout.width, key, texels.data());
    return 0;
}
