#pragma once
#include <cstdint>
#include <vector>

// One drawing call with everything that decides its pixels, world view included.
// Kept by value: a frame can be compared with the last one shown, and drawn later
// even when the picture object is gone by then. Every field is 4 bytes, so two
// steps are equal exactly when their bytes are.
struct KDrawStep {
    enum Kind : uint32_t { opaqueBlit, blendedBlit, fxBlit, rectangle, clear };
    uint32_t kind = opaqueBlit;
    float viewX = 0, viewY = 0, viewAngle = 0, viewZoom = 1;
    uint32_t texture = 0, target = 0;       // picture; 0 for rectangles and clears
    float textureWidth = 0, textureHeight = 0;
    uint32_t sourceBlend = 0, destBlend = 0, filter = 0;   // filter: the picture's, linear or nearest
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;   // source rectangle, or the rectangle filled in GL rows
    int32_t dx = 0, dy = 0;                 // where the source's top-left lands, GL rows
    uint32_t flipX = 0, flipY = 0;
    float angle = 0, zoom = 1;              // turned, zoomed blits
    float red = 1, green = 1, blue = 1;     // rectangle colour; for a clear, the clear colour
    float alpha = 1;                        // faded blits, rectangles, clears
};

// A rectangle of the logical screen in GL pixels, rows counted from the bottom.
struct KFrameArea {
    int x = 0, y = 0, width = 0, height = 0;
    bool whole = true;          // the whole screen, whatever the numbers say
};

// What the frame being built draws, and the GL drawing of each step. Drawing calls are recorded, not issued; at the
// flip the record is compared with the last frame shown, and only a frame that
// differs is drawn and shown. On a surface that keeps its pixels, only the part
// where it differs is drawn again. Class-wide, like the window.
class KFrame {
public:
    static void draw(KDrawStep step);            // recorded (drawn at once while recording is off); a clear takes GL's clear colour
    static void drawPending();                   // draws what is recorded and not drawn yet: the back buffer then holds the frame so far
    static bool finish(KFrameArea &where);       // end of frame: true when it differed and is now drawn (where it differs), to be shown; false: nothing drawn
    static void drop();                          // end of frame: forgotten undrawn; the window keeps the last frame shown
    static void forgetTexture(uint32_t texture); // before a texture is deleted: drawn first if pending, and no longer a match
    static void showNext();                      // the next finished frame is drawn and shown even if unchanged
    static void setSurfaceKept(bool kept);       // drawing goes to a surface that keeps its pixels between frames
    static void setRecording(bool on);           // off: every call draws at once and every frame is shown (on by default)
    static const std::vector<KDrawStep> &recorded();   // the steps of the frame being built, in order

private:
    friend class KGraphic;
    static void setScreenSize(int width, int height);   // the logical screen world views turn about
    static void setView(const KDrawStep &view);         // while not recording, GL takes the step's world view now
};
