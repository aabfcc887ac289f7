#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

struct KDrawStep;
struct tgaBitmap;
struct SDL_Surface;
class PictureRecord;
class KPngRows;

// One picture held as one OpenGL texture, plus the class-wide logical screen
// and world view under which every picture is drawn.
class KGraphic {
public:
    // --- screen set-up and world view (class-wide) ---
    static void setScreenSize(int16_t width, int16_t height, int16_t depth);   // logical screen; filtering back to nearest
    static void setDefaultWorldView();                                          // no shift, turn or zoom
    static void setWorldView(float x, float y, float angle, float zoom, bool clear);  // shift (y up), then zoom and turn about the centre
    static void setGraphicQuality(bool quality);                                // linear (true) or nearest filtering, last bound pictures and later loads
    static void setRenderSize(int16_t width, int16_t height);                   // the pixels the logical screen is drawn into
    // Pictures loaded from now on carry the words of this language: the overlay under
    // data/lang/CODE/ is laid over each at the density it loads. nullptr, "en" or a code
    // that is no plain name (letters, digits, '_', '@'): English, the pictures as they are.
    static void setLanguage(const char *code);

    // --- pictures ---
    KGraphic();                         // warns when the screen size is not set yet
    ~KGraphic();                        // freePicture()
    KGraphic(const KGraphic &) = delete;
    KGraphic &operator=(const KGraphic &) = delete;
    // TGA or any decodable file. On failure: false after a message box with the path and the
    // fault (not found, unsupported format, too short, too large, out of memory); the object
    // keeps what it held, and one that holds nothing draws nothing.
    bool loadPicture(const char *path, bool withAlpha, bool keepPixels, bool trueColor);
    void freePicture();                 // drops the CPU copy and the texture; safe to repeat
    float getWidth();                   // picture width in pixels, 0 when none is held
    float getHeight();                  // picture height in pixels, 0 when none is held
    void setAlphaMode(bool normal);     // true: ordinary transparency; false: additive
    void setColorKey(bool active, uint8_t r, uint8_t g, uint8_t b); // colour made transparent by later loads

    // --- blits: (dx, dy) is where the source's top-left corner lands ---
    void blitRect(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy,
                  bool flipX = false, bool flipY = false);      // opaque copy
    void blitAlphaRect(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy,
                       bool flipX = false, bool flipY = false); // blended copy
    void blitAlphaRectFx(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy,
                         float angle, float zoom, float alpha,
                         bool flipX = false, bool flipY = false); // turned, zoomed, faded about its centre
    static void drawRect(float x1, float y1, float x2, float y2,
                         float r, float g, float b, float a);   // flat rectangle; a < 1 adds
    bool grabBackBuffer();              // this picture becomes a copy of the frame drawn so far, at the render scale; false, picture unchanged, when memory runs out
    static int64_t getVideoMemory();    // running estimate of texture memory in bytes

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
    using Bytes = std::unique_ptr<unsigned char[]>;
    struct FileCloser {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    using File = std::unique_ptr<std::FILE, FileCloser>;
    File LoadTGA(const char *path, long &start, size_t &size); // the open file; its record starts after any "pihs" prefix
    struct SurfaceFreer {
        void operator()(SDL_Surface *s) const;
    };
    using Surface = std::unique_ptr<SDL_Surface, SurfaceFreer>;
    // Decoded; its pixels hold the rows of a 24-bit record (32-bit: a PNG with alpha), `header` its header.
    // A PNG that can go to its texture a band at a time comes back as `stream` instead.
    Surface LoadGeneric(const char *path, bool keepPixels, unsigned char *header, size_t &size, bool &texels,
                        std::unique_ptr<KPngRows> &stream);
    bool streamsTexels(const unsigned char *file, size_t size, bool keepPixels) const;
    static std::unique_ptr<KPngRows> startStream(Bytes file, size_t fileSize, unsigned char *header, size_t &size);
    Surface RenderPicture(SDL_Surface *picture, bool png, unsigned char *header, size_t &size, bool &texels);   // owns the picture; texels: its rows left as texture texels
    bool loadFile(const char *path, int density, bool withAlpha, bool keepPixels, bool trueColor);
    void layOverlay(const std::string &picture, int density);  // this language's words over the picture just loaded
    bool uploadRecord(const char *path, PictureRecord &record, int density, bool withAlpha, bool keepPixels,
                      bool trueColor);
    KDrawStep step(uint32_t kind);                              // this picture under the world view; now the bound one
    KDrawStep blitStep(uint32_t kind, float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy,
                       bool flipX, bool flipY);
    static KDrawStep viewStep(uint32_t kind);                   // a step under the world view, nothing else set
    int64_t textureBytes() const;       // what this texture adds to videoMemory
    void bind();                        // now the picture bound to its target: setGraphicQuality reaches it
    void letTextureGo();                // deleted, or kept as the spare for the next load when the largest let go
    static void dropSpareTexture();     // before the GL context goes

    static int16_t screenWidth, screenHeight, screenDepth;
    static int16_t renderWidth, renderHeight;   // the logical screen as drawn
    float _density = 1;                 // texels per logical pixel
    static int64_t videoMemory;         // running estimate of texture memory in bytes
    static bool _graphicQuality;        // filtering for new textures: linear when true
    static float viewX, viewY, viewAngle, viewZoom;   // world view of later drawing
    bool _linear = false;               // drawn with linear filtering, else nearest
    int32_t _format = 0;                // internal format of a loaded picture's texture; 0 for a grab
    static KGraphic *boundPicture[2];   // the picture last bound to GL_TEXTURE_2D and to the rectangle target
    static bool rectangleTextures;      // pictures may use rectangle textures; the window sets it
    static bool anySizeTextures;        // the driver takes textures of any size: none is padded
    friend class KWindow;
};
