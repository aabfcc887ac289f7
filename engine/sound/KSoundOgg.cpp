#include "KSound.h"

#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <new>

namespace {

const int kMeasureChunk = 16384;

// The decoder owns the file once it opened; on refusal the file is still ours to close.
bool openDecoder(const char *filename, OggVorbis_File *decoder) {
    FILE *file = std::fopen(filename, "rb");
    if (!file) return false;
    if (ov_open(file, decoder, nullptr, 0) == 0) return true;
    std::fclose(file);
    return false;
}

// Little-endian, signed 16-bit words: bytes written, 0 at the end, negative on error.
long readPcm(OggVorbis_File *decoder, unsigned char *into, int room) {
    int bitstream = 0;
    return ov_read(decoder, reinterpret_cast<char *>(into), room, 0, 2, 1, &bitstream);
}

// Bytes of PCM the whole file decodes to; stops counting once past `limit`.
long long measurePcm(const char *filename, long long limit) {
    OggVorbis_File decoder;
    if (!openDecoder(filename, &decoder)) return 0;
    unsigned char scratch[kMeasureChunk];
    long long total = 0;
    long count;
    while (total <= limit && (count = readPcm(&decoder, scratch, kMeasureChunk)) > 0) total += count;
    ov_clear(&decoder);
    return total;
}

KWaveFormat pcm16Format(int channels, long rate) {
    KWaveFormat format = {};
    format.formatTag = 1;
    format.channels = static_cast<uint16_t>(channels);
    format.samplesPerSec = static_cast<uint32_t>(rate);
    format.avgBytesPerSec = static_cast<uint32_t>(2 * channels * rate);
    format.blockAlign = static_cast<uint16_t>(2 * channels);
    format.bitsPerSample = 16;
    format.extraSize = 20;
    return format;
}

// Bytes of PCM the whole file decodes to. One plain stream says how many samples it
// holds; a chained file (whose links may differ) is decoded once to count them.
long long pcmBytes(const char *filename, OggVorbis_File *decoder, const vorbis_info *info, long long limit) {
    const ogg_int64_t samples = info && ov_streams(decoder) == 1 ? ov_pcm_total(decoder, -1) : -1;
    if (samples >= 0) return samples * 2 * info->channels;
    return measurePcm(filename, limit);
}

}  // namespace

bool KSound::loadOggSample(const char *filename) {
    OggVorbis_File decoder;
    if (!openDecoder(filename, &decoder)) return false;
    const vorbis_info *info = ov_info(&decoder, -1);
    if (info && info->channels > 0) {
        _format = pcm16Format(info->channels, info->rate);
        _waveFormatEx = &_format;
    }
    const long long total = pcmBytes(filename, &decoder, _waveFormatEx ? info : nullptr, kMaxSoundBytes);
    // Zeroed, so a stream that gives less than it announced ends in silence, not stale memory.
    if (total > 0 && total <= kMaxSoundBytes) _wavData.reset(new (std::nothrow) unsigned char[total]());
    if (!_wavData) {
        ov_clear(&decoder);
        return false;
    }
    _wavLength = static_cast<uint32_t>(total);
    _wavDataStart = _wavData.get();

    uint32_t filled = 0;
    long count;
    while (filled < _wavLength &&
           (count = readPcm(&decoder, _wavData.get() + filled, static_cast<int>(_wavLength - filled))) > 0)
        filled += static_cast<uint32_t>(count);
    ov_clear(&decoder);
    return filled > 0;
}
