// Older helpers, kept while bench_sound uses them; newer tests use sound_files.h.
#include "sound_test_tools.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

float KSoundTestAccess::gain(const KSound &s) {
    float value = -1;
    alGetSourcef(s._directSoundBuffer->source, AL_GAIN, &value);
    return value;
}

TempDir::TempDir() {
    char pattern[] = "/tmp/brolix-sound-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
    root_ = pattern;
}

TempDir::~TempDir() { std::filesystem::remove_all(root_); }

std::vector<int16_t> sineWave(int frames, int channels, int rate, double hz, double amplitude) {
    std::vector<int16_t> samples;
    samples.reserve(size_t(frames) * channels);
    for (int i = 0; i < frames; i++) {
        auto value = int16_t(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; c++) samples.push_back(value);
    }
    return samples;
}

static void putLE(std::vector<unsigned char> &out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; i++) out.push_back((value >> (8 * i)) & 0xFF);
}

std::vector<unsigned char> chunk(const char tag[4], const std::vector<unsigned char> &body, int64_t declared) {
    std::vector<unsigned char> out(tag, tag + 4);
    putLE(out, uint32_t(declared < 0 ? int64_t(body.size()) : declared), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<unsigned char> pcmFormatBody(int channels, int rate, int bitsPerSample) {
    std::vector<unsigned char> body;
    int blockAlign = channels * bitsPerSample / 8;
    putLE(body, 1, 2);
    putLE(body, channels, 2);
    putLE(body, rate, 4);
    putLE(body, rate * blockAlign, 4);
    putLE(body, blockAlign, 2);
    putLE(body, bitsPerSample, 2);
    return body;
}

std::vector<unsigned char> sampleBytes(const std::vector<int16_t> &samples) {
    std::vector<unsigned char> bytes;
    for (int16_t s : samples) putLE(bytes, uint16_t(s), 2);
    return bytes;
}

std::vector<unsigned char> riffImage(const std::vector<std::vector<unsigned char>> &chunks) {
    std::vector<unsigned char> form = {'W', 'A', 'V', 'E'};
    for (const auto &c : chunks) form.insert(form.end(), c.begin(), c.end());
    return chunk("RIFF", form);
}

std::vector<unsigned char> wavImage(const std::vector<int16_t> &samples, int channels, int rate) {
    return riffImage({chunk("fmt ", pcmFormatBody(channels, rate, 16)), chunk("data", sampleBytes(samples))});
}

void writeBytes(const std::string &path, const std::vector<unsigned char> &bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
}

std::vector<unsigned char> readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

class OggWriter {
public:
    OggWriter(const std::string &path, int channels, int rate) : out_(path, std::ios::binary) {
        vorbis_info_init(&info_);
        if (vorbis_encode_init_vbr(&info_, channels, rate, 0.6f) != 0)
            throw std::runtime_error("vorbis encoder refused the format");
        vorbis_comment_init(&comment_);
        vorbis_analysis_init(&dsp_, &info_);
        vorbis_block_init(&dsp_, &block_);
        ogg_stream_init(&stream_, 1);
        ogg_packet header, commentHeader, codeHeader;
        vorbis_analysis_headerout(&dsp_, &comment_, &header, &commentHeader, &codeHeader);
        ogg_stream_packetin(&stream_, &header);
        ogg_stream_packetin(&stream_, &commentHeader);
        ogg_stream_packetin(&stream_, &codeHeader);
        ogg_page page;
        while (ogg_stream_flush(&stream_, &page)) writePage(page);
    }

    ~OggWriter() {
        ogg_stream_clear(&stream_);
        vorbis_block_clear(&block_);
        vorbis_dsp_clear(&dsp_);
        vorbis_comment_clear(&comment_);
        vorbis_info_clear(&info_);
    }

    void write(const int16_t *samples, int frames, int channels) {
        float **buffer = vorbis_analysis_buffer(&dsp_, frames);
        for (int i = 0; i < frames; i++)
            for (int c = 0; c < channels; c++) buffer[c][i] = samples[i * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&dsp_, frames);
        drain();
    }

    void finish() {
        vorbis_analysis_wrote(&dsp_, 0);
        drain();
    }

private:
    void writePage(const ogg_page &page) {
        out_.write(reinterpret_cast<const char *>(page.header), page.header_len);
        out_.write(reinterpret_cast<const char *>(page.body), page.body_len);
    }

    void drain() {
        ogg_packet packet;
        ogg_page page;
        while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
            vorbis_analysis(&block_, nullptr);
            vorbis_bitrate_addblock(&block_);
            while (vorbis_bitrate_flushpacket(&dsp_, &packet)) {
                ogg_stream_packetin(&stream_, &packet);
                while (ogg_stream_pageout(&stream_, &page)) writePage(page);
            }
        }
        while (ogg_stream_flush(&stream_, &page)) writePage(page);
    }

    std::ofstream out_;
    vorbis_info info_;
    vorbis_comment comment_;
    vorbis_dsp_state dsp_;
    vorbis_block block_;
    ogg_stream_state stream_;
};

void useConfig(const std::string &text) {
    static TempDir folder;
    std::string path = folder.path("alsoft.conf");
    std::ofstream(path) << text;
    setenv("ALSOFT_CONF", path.c_str(), 1);
    unsetenv("ALSOFT_DRIVERS");
}

}  // namespace

void writeOgg(const std::string &path, const std::vector<int16_t> &samples, int channels, int rate) {
    OggWriter writer(path, channels, rate);
    const int chunkFrames = 4096;
    int frames = int(samples.size()) / channels;
    for (int done = 0; done < frames; done += chunkFrames)
        writer.write(samples.data() + size_t(done) * channels, std::min(chunkFrames, frames - done), channels);
    writer.finish();
}

// No dither or limiter: what the mixer is given comes out unchanged.
void useWaveWriter(const std::string &outputWav) {
    useConfig("[general]\ndrivers=wave\nchannels=mono\nsample-type=int16\nfrequency=44100\n"
              "dither=false\noutput-limiter=false\nhrtf=false\n[wave]\nfile=" + outputWav + "\n");
}

const std::string &waveWriterOutput() {
    static TempDir dir;
    static const std::string output = dir.path("device-output.wav");
    static const bool configured = (useWaveWriter(output), true);
    (void)configured;
    return output;
}

void useNoDevice() { useConfig("[general]\ndrivers=no-such-sound-card\n"); }

int Recording::peak() const {
    int best = 0;
    for (int16_t s : samples) best = std::max(best, std::abs(int(s)));
    return best;
}

double Recording::rms() const {
    if (silent()) return 0;
    return rmsOf(std::vector<int16_t>(samples.begin() + first, samples.begin() + last + 1));
}

static uint32_t readLE(const std::vector<unsigned char> &b, size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; i++) value |= uint32_t(b.at(at + i)) << (8 * i);
    return value;
}

Recording readRecording(const std::string &path) {
    std::vector<unsigned char> file = readBytes(path);
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(&file[8], "WAVE", 4) != 0)
        throw std::runtime_error("the wave writer left no RIFF/WAVE file at " + path);
    Recording r;
    for (size_t at = 12; at + 8 <= file.size();) {
        uint32_t length = readLE(file, at + 4, 4);
        if (std::memcmp(&file[at], "fmt ", 4) == 0) {
            if (readLE(file, at + 8 + 2, 2) != 1 || readLE(file, at + 8 + 14, 2) != 16)
                throw std::runtime_error("the wave writer did not write mono 16-bit samples");
            r.rate = int(readLE(file, at + 8 + 4, 4));
        }
        if (std::memcmp(&file[at], "data", 4) == 0) {
            size_t count = std::min<size_t>(length, file.size() - at - 8) / 2;
            for (size_t i = 0; i < count; i++) r.samples.push_back(int16_t(readLE(file, at + 8 + 2 * i, 2)));
            break;
        }
        at += 8 + length + (length & 1);
    }
    r.first = r.samples.size();
    r.last = 0;
    for (size_t i = 0; i < r.samples.size(); i++) {
        if (r.samples[i] == 0) continue;
        r.first = std::min(r.first, i);
        r.last = i;
    }
    if (r.first == r.samples.size()) r.first = 1, r.last = 0;
    return r;
}

std::string formatText(const KWaveFormat *f) {
    if (!f) return "none";
    char text[120];
    std::snprintf(text, sizeof text, "tag %u, %u ch, %u Hz, %u B/s, align %u, %u bits, extra %u", f->formatTag,
                  f->channels, f->samplesPerSec, f->avgBytesPerSec, f->blockAlign, f->bitsPerSample, f->extraSize);
    return text;
}

double rmsOf(const std::vector<int16_t> &samples) {
    double sum = 0;
    for (int16_t s : samples) sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

double decibels(double level, double reference) { return 20 * std::log10(level / reference); }
