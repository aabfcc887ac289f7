// Blitting: one immediate-mode quad per picture, on whole pixels of the logical screen.
#include "KGraphic.h"

#include "KGraphicPixels.h"
#include "KWindow.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

void KGraphic::bindTexture() {
    glDisable(_glEnum == GL_TEXTURE_2D ? KPixels::kTextureRectangle : GL_TEXTURE_2D);
    glEnable(_glEnum);
    glBindTexture(_glEnum, texture);
}

// V1 top-left, V2 bottom-left, V3 bottom-right, V4 top-right on screen; a flip swaps
// which source corner each vertex takes.
void KGraphic::emitQuad(float sx1, float sy1, float sx2, float sy2, int16_t left, int16_t top, bool flipX,
                        bool flipY) {
    const int w = int(sx2 - sx1);
    const int h = int(sy2 - sy1);
    const bool square = _glEnum == GL_TEXTURE_2D;
    const float ks = square ? 1.0f / _ftextureWIDTH : 1.0f;
    const float kt = square ? 1.0f / _ftextureHEIGHT : 1.0f;
    const float s1 = (flipX ? sx2 : sx1) * ks, s2 = (flipX ? sx1 : sx2) * ks;
    const float t1 = (flipY ? sy2 : sy1) * kt, t2 = (flipY ? sy1 : sy2) * kt;
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

void KGraphic::GenericBlit(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy, bool flipX,
                           bool flipY) {
    bindTexture();
    emitQuad(sx1, sy1, sx2, sy2, dx, dy, flipX, flipY);
}

// A picture that holds nothing draws nothing (texture 0 would show as a white quad).
void KGraphic::blitRect(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy, bool flipX, bool flipY) {
    if (texture == 0)
        return;
    glDisable(GL_BLEND);
    glPushMatrix();
    GenericBlit(sx1, sy1, sx2, sy2, dx, int16_t(screenHeight - dy), flipX, flipY);
    glPopMatrix();
}

void KGraphic::blitAlphaRect(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy, bool flipX,
                             bool flipY) {
    if (texture == 0)
        return;
    glEnable(GL_BLEND);
    glBlendFunc(_sourceAlpha, _destAlpha);
    glPushMatrix();
    GenericBlit(sx1, sy1, sx2, sy2, dx, int16_t(screenHeight - dy), flipX, flipY);
    glPopMatrix();
}

void KGraphic::blitAlphaRectFx(float sx1, float sy1, float sx2, float sy2, int16_t dx, int16_t dy, float angle,
                               float zoom, float alpha, bool flipX, bool flipY) {
    if (zoom == 0 || alpha <= 0 || texture == 0)
        return;
    const int16_t y = int16_t(screenHeight - dy);
    const float hw = (sx2 - sx1) / 2, hh = (sy2 - sy1) / 2;
    const bool plain = angle == 0 && zoom == 1;
    glPushMatrix();
    if (!plain) {
        glTranslatef(dx + hw, y - hh, 0);
        if (angle != 0)
            glRotatef(angle, 0, 0, 1);
        if (zoom != 1)
            glScalef(zoom, zoom, 0);
    }
    glColor4f(1, 1, 1, alpha);
    glEnable(GL_BLEND);
    glBlendFunc(_sourceAlpha, _destAlpha);
    glPushMatrix();
    if (plain)
        GenericBlit(sx1, sy1, sx2, sy2, dx, y, flipX, flipY);
    else
        GenericBlit(sx1, sy1, sx2, sy2, int16_t(std::trunc(-hw)), int16_t(std::trunc(hh)), flipX, flipY);
    glPopMatrix();
    glColor4f(1, 1, 1, 1);
    glPopMatrix();
}

void KGraphic::drawRect(float x1, float y1, float x2, float y2, float r, float g, float b, float a) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_DST_ALPHA);
    glDisable(GL_TEXTURE_2D);
    glDisable(KPixels::kTextureRectangle);
    if (a == 1) {
        glDisable(GL_BLEND);
        glColor3f(r, g, b);
    } else {
        glColor4f(r, g, b, a);
    }
    const float h = screenHeight;
    glBegin(GL_QUADS);
    glVertex2i(int(x1), int(h - y1));
    glVertex2i(int(x2), int(h - y1));
    glVertex2i(int(x2), int(h - y2));
    glVertex2i(int(x1), int(h - y2));
    glEnd();
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}

bool KGraphic::grabBackBuffer() {
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
