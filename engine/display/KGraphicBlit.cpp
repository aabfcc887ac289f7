// Blitting: one immediate-mode quad per picture, on whole pixels of the logical screen.
// Each call becomes a step of the frame record, drawn (by KFrame) when the frame is.
#include "KGraphic.h"

#include "KFrame.h"

#include <GL/gl.h>

KDrawStep KGraphic::step(uint32_t kind) {
    bind();
    KDrawStep s = viewStep(kind);
    s.texture = texture;
    s.target = _glEnum;
    s.textureWidth = _ftextureWIDTH;
    s.textureHeight = _ftextureHEIGHT;
    s.sourceBlend = _sourceAlpha;
    s.destBlend = _destAlpha;
    s.filter = _linear ? GL_LINEAR : GL_NEAREST;
    return s;
}

KDrawStep KGraphic::blitStep(uint32_t kind, float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy,
                             bool flipX, bool flipY) {
    KDrawStep s = step(kind);
    s.x1 = sx1, s.y1 = sy1, s.x2 = sx2, s.y2 = sy2;
    s.dx = dx;
    s.dy = screenHeight - dy;
    s.flipX = flipX;
    s.flipY = flipY;
    return s;
}

// A picture that holds nothing draws nothing (texture 0 would show as a white quad).
void KGraphic::blitRect(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy, bool flipX, bool flipY) {
    if (texture != 0)
        KFrame::draw(blitStep(KDrawStep::opaqueBlit, sx1, sy1, sx2, sy2, dx, dy, flipX, flipY));
}

void KGraphic::blitAlphaRect(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy, bool flipX,
                             bool flipY) {
    if (texture != 0)
        KFrame::draw(blitStep(KDrawStep::blendedBlit, sx1, sy1, sx2, sy2, dx, dy, flipX, flipY));
}

void KGraphic::blitAlphaRectFx(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy, float angle,
                               float zoom, float alpha, bool flipX, bool flipY) {
    if (zoom == 0 || alpha <= 0 || texture == 0)
        return;
    KDrawStep s = blitStep(KDrawStep::fxBlit, sx1, sy1, sx2, sy2, dx, dy, flipX, flipY);
    s.angle = angle;
    s.zoom = zoom;
    s.alpha = alpha;
    KFrame::draw(s);
}

void KGraphic::drawRect(float x1, float y1, float x2, float y2, float r, float g, float b, float a) {
    const float h = screenHeight;
    KDrawStep s = viewStep(KDrawStep::rectangle);
    s.x1 = x1, s.y1 = h - y1, s.x2 = x2, s.y2 = h - y2;
    s.red = r, s.green = g, s.blue = b, s.alpha = a;
    KFrame::draw(s);
}
