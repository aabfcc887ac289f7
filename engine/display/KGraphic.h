#pragma once
#include <cstdint>

struct tgaBitmap;

// One picture held as one OpenGL texture, plus the class-wide logical screen
// and world view under which every picture is drawn.
class KGraphic {
public:
    // --- screen set-up and world view (class-wide) ---
    static void setScreenSize(int16_t width, int16_t height, int16_t depth);
    static void setDefaultWorldView();
    static void setWorldView(float x, float y, float angle, float zoom, bool clear);
    static void setGraphicQuality(bool quality);

    // --- pictures, blits: declared by the picture work ---

    // Data members, in this order.
    uint32_t texture = 0;               // GL texture name
    char filename[260] = {};            // reserved; not filled
    unsigned char *_pixels = nullptr;   // CPU copy of the texels (RGBA), or none
    uint16_t _sourceAlpha = 0, _destAlpha = 0;
    float _ftextureWIDTH = 0, _ftextureHEIGHT = 0;
    uint32_t _glEnum = 0;               // GL_TEXTURE_2D or the rectangle target
    bool _ckActive = false;
    uint8_t _ckr = 0, _ckg = 0, _ckb = 0;
    tgaBitmap *ttt = nullptr;           // reserved; not used
    float picX1 = 0, picY1 = 0;         // header origin fields, informational
    float fimageWidth = 0, fimageHeight = 0;

private:
    static int16_t screenWidth, screenHeight, screenDepth;
    static int32_t videoMemory;         // running estimate of texture memory in bytes
    static bool _graphicQuality;        // filtering for new textures: linear when true
};
