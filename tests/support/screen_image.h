#pragma once
// Pictures as the game's own files hold them and as the screen shows them, compared
// region by region.

#include <SDL.h>
#include <SDL_image.h>

#include <cstdlib>
#include <string>
#include <vector>

// RGB (or RGBA) pixels, rows top first.
struct Image {
    int width = 0, height = 0, channels = 3;
    std::vector<unsigned char> rgb;
    const unsigned char *at(int x, int y) const { return &rgb[(size_t(y) * width + x) * channels]; }
};

inline Image loadImage(const std::string &path, bool withAlpha = false) {
    Image image;
    SDL_Surface *loaded = IMG_Load(path.c_str());
    const Uint32 format = withAlpha ? SDL_PIXELFORMAT_RGBA32 : SDL_PIXELFORMAT_RGB24;
    SDL_Surface *pixels = loaded ? SDL_ConvertSurfaceFormat(loaded, format, 0) : nullptr;
    SDL_FreeSurface(loaded);
    if (!pixels) return image;
    image = {pixels->w, pixels->h, withAlpha ? 4 : 3, {}};
    for (int y = 0; y < pixels->h; y++) {
        const auto *row = static_cast<const unsigned char *>(pixels->pixels) + y * pixels->pitch;
        image.rgb.insert(image.rgb.end(), row, row + pixels->w * image.channels);
    }
    SDL_FreeSurface(pixels);
    return image;
}

// Mean difference per channel between a region of the screen at (x, y) and of a picture at (sx, sy).
inline double difference(const Image &screen, int x, int y, const Image &picture, int sx, int sy, int w, int h) {
    if (screen.width < x + w || screen.height < y + h || picture.width < sx + w || picture.height < sy + h) return 255;
    double sum = 0;
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++)
            for (int c = 0; c < 3; c++) sum += std::abs(screen.at(x + i, y + j)[c] - picture.at(sx + i, sy + j)[c]);
    return sum / (double(w) * h * 3);
}
