// Blitting: one immediate-mode quad per picture, on whole pixels of the logical screen.
// Each call becomes a step of the frame record, drawn when the frame is.
#include "KGraphic.h"

#include "KFrame.h"
#include "KGraphicPixels.h"
#include "KWindow.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {

void bindTexture(const KDrawStep &s) {
    glDisable(s.target == GL_TEXTURE_2D ? KPixels::kTextureRectangle : GL_TEXTURE_2D);
    glEnable(s.target);
    glBindTexture(s.target, s.texture);
}

// V1 top-left, V2 bottom-left, V3 bottom-right, V4 top-right on screen; a flip swaps
// which source corner each vertex takes.
void emitQuad(const KDrawStep &s, int16_t left, int16_t top) {
    const int w = int(s.x2 - s.x1);
    const int h = int(s.y2 - s.y1);
    const bool square = s.target == GL_TEXTURE_2D;
    const float ks = square ? 1.0f / s.textureWidth : 1.0f;
    const float kt = square ? 1.0f / s.textureHeight : 1.0f;
    const float s1 = (s.flipX ? s.x2 : s.x1) * ks, s2 = (s.flipX ? s.x1 : s.x2) * ks;
    const float t1 = (s.flipY ? s.y2 : s.y1) * kt, t2 = (s.flipY ? s.y1 : s.y2) * kt;
    glBegin(GL_QUADS);
    glTexCoord2f(s1, t1);
    glVertex2i(left, top);
    glTexCoord2f(s1, t2);
    glVertex2i(left, top - h);
    glTexCoord2f(s2, t2);
    glVertex2i(left + w, top - h);
    glTexCoord2f(s2, t1);
    glVertex2i(left + w, top);
    glEnd();
}

void blit(const KDrawStep &s, bool blend) {
    if (blend) {
        glEnable(GL_BLEND);
        glBlendFunc(s.sourceBlend, s.destBlend);
    } else {
        glDisable(GL_BLEND);
    }
    glPushMatrix();
    bindTexture(s);
    emitQuad(s, int16_t(s.dx), int16_t(s.dy));
    glPopMatrix();
}

void blitFx(const KDrawStep &s) {
    const float hw = (s.x2 - s.x1) / 2, hh = (s.y2 - s.y1) / 2;
    const bool plain = s.angle == 0 && s.zoom == 1;
    glPushMatrix();
    if (!plain) {
        glTranslatef(float(s.dx) + hw, float(s.dy) - hh, 0);
        if (s.angle != 0)
            glRotatef(s.angle, 0, 0, 1);
        if (s.zoom != 1)
            glScalef(s.zoom, s.zoom, 0);
    }
    glColor4f(1, 1, 1, s.alpha);
    glEnable(GL_BLEND);
    glBlendFunc(s.sourceBlend, s.destBlend);
    glPushMatrix();
    bindTexture(s);
    if (plain)
        emitQuad(s, int16_t(s.dx), int16_t(s.dy));
    else
        emitQuad(s, int16_t(std::trunc(-hw)), int16_t(std::trunc(hh)));
    glPopMatrix();
    glColor4f(1, 1, 1, 1);
    glPopMatrix();
}

void fillRectangle(const KDrawStep &s) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_DST_ALPHA);
    glDisable(GL_TEXTURE_2D);
    glDisable(KPixels::kTextureRectangle);
    if (s.alpha == 1) {
        glDisable(GL_BLEND);
        glColor3f(s.red, s.green, s.blue);
    } else {
        glColor4f(s.red, s.green, s.blue, s.alpha);
    }
    glBegin(GL_QUADS);
    glVertex2i(int(s.x1), int(s.y1));
    glVertex2i(int(s.x2), int(s.y1));
    glVertex2i(int(s.x2), int(s.y2));
    glVertex2i(int(s.x1), int(s.y2));
    glEnd();
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}

bool sameView(const KDrawStep &a, const KDrawStep &b) {
    return a.viewX == b.viewX && a.viewY == b.viewY && a.viewAngle == b.viewAngle && a.viewZoom == b.viewZoom;
}

}  // namespace

void KGraphic::drawSteps(const KDrawStep *steps, size_t count) {
    for (size_t i = 0; i < count; i++) {
        if (i == 0 || !sameView(steps[i], steps[i - 1]))
            applyWorldView(steps[i]);
        drawStep(steps[i]);
    }
}

void KGraphic::drawStep(const KDrawStep &s) {
    switch (s.kind) {
    case KDrawStep::opaqueBlit:
        blit(s, false);
        break;
    case KDrawStep::blendedBlit:
        blit(s, true);
        break;
    case KDrawStep::fxBlit:
        blitFx(s);
        break;
    case KDrawStep::rectangle:
        fillRectangle(s);
        break;
    case KDrawStep::clear:
        glClear(GL_COLOR_BUFFER_BIT);
        break;
    }
}

KDrawStep KGraphic::step(uint32_t kind) const {
    KDrawStep s = viewStep(kind);
    s.texture = texture;
    s.target = _glEnum;
    s.textureWidth = _ftextureWIDTH;
    s.textureHeight = _ftextureHEIGHT;
    s.sourceBlend = _sourceAlpha;
    s.destBlend = _destAlpha;
    return s;
}

KDrawStep KGraphic::blitStep(uint32_t kind, float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy,
                             bool flipX, bool flipY) const {
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

bool KGraphic::grabBackBuffer() {
    KFrame::drawPending();   // the frame drawn so far, not only what reached GL
    const uint32_t sw = uint32_t(screenWidth), sh = uint32_t(screenHeight);
    KPixels::TextureLayout layout = KPixels::textureLayout(sw, sh, false);
    if (KWindow::getRectangleTexCap())
        layout = {KPixels::kTextureRectangle, sw, sh};
    const uint32_t bandRows = std::min(KPixels::rowsPerBand(layout.width), layout.height);
    std::unique_ptr<unsigned char[]> screen(new (std::nothrow) unsigned char[size_t(sw) * bandRows * 4]);
    std::unique_ptr<unsigned char[]> texels(new (std::nothrow) unsigned char[size_t(layout.width) * bandRows * 4]);
    if (!screen || !texels)
        return false;
    _glEnum = layout.target;
    _ftextureWIDTH = float(layout.width);
    _ftextureHEIGHT = float(layout.height);
    glEnable(_glEnum);
    glLoadIdentity();
    glGenTextures(1, &texture);
    glBindTexture(_glEnum, texture);
    glTexImage2D(_glEnum, 0, GL_RGB, GLsizei(layout.width), GLsizei(layout.height), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    // The default read buffer is the back buffer, or the full-screen frame buffer when that is bound;
    // naming GL_BACK would be an error in the latter.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    for (uint32_t top = 0; top < layout.height; top += bandRows) {
        const uint32_t rows = std::min(bandRows, layout.height - top);
        std::memset(texels.get(), 0, size_t(layout.width) * rows * 4);
        // Texel row y is screen row sh - 1 - y: GL counts screen rows from the bottom.
        const uint32_t screenRows = top < sh ? std::min(rows, sh - top) : 0;
        if (screenRows > 0) {
            glReadPixels(0, GLint(sh - top - screenRows), GLsizei(sw), GLsizei(screenRows), GL_RGBA,
                         GL_UNSIGNED_BYTE, screen.get());
            KPixels::flipScreenRows(screen.get(), sw, screenRows, layout.width, texels.get());
        }
        glTexSubImage2D(_glEnum, 0, 0, GLint(top), GLsizei(layout.width), GLsizei(rows), GL_RGBA, GL_UNSIGNED_BYTE,
                        texels.get());
    }
    // Nearest whatever the quality setting: the grab must reproduce the frame exactly.
    glTexParameteri(_glEnum, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(_glEnum, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(_glEnum, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(_glEnum, GL_TEXTURE_WRAP_T, GL_CLAMP);
    fimageWidth = float(sw);
    fimageHeight = float(sh);
    videoMemory += textureBytes();
    return true;
}
