// The logical screen, the world view and the texture filtering rule.
#include "KGraphic.h"

#include "KFrame.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

int16_t KGraphic::screenWidth = 0;
int16_t KGraphic::screenHeight = 0;
int16_t KGraphic::screenDepth = 0;
int16_t KGraphic::renderWidth = 0, KGraphic::renderHeight = 0;
int64_t KGraphic::videoMemory = 0;
bool KGraphic::_graphicQuality = false;
float KGraphic::viewX = 0, KGraphic::viewY = 0, KGraphic::viewAngle = 0, KGraphic::viewZoom = 1;
bool KGraphic::rectangleTextures = false;
bool KGraphic::anySizeTextures = false;
KGraphic *KGraphic::boundPicture[2] = {};

void KGraphic::setScreenSize(int16_t width, int16_t height, int16_t depth) {
    screenWidth = width;
    screenHeight = height;
    screenDepth = depth;
    renderWidth = width;
    renderHeight = height;
    KFrame::setScreenSize(width, height);
    // GL 2.0 or the extension: textures of any size, no padding to a power of two.
    const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    anySizeTextures = (version && std::atoi(version) >= 2) ||
                      (extensions && std::strstr(extensions, "GL_ARB_texture_non_power_of_two"));
    setGraphicQuality(false);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_FLAT);
}

void KGraphic::setRenderSize(int16_t width, int16_t height) {
    renderWidth = width;
    renderHeight = height;
    KFrame::setRenderSize(width, height);
}

void KGraphic::setDefaultWorldView() { setWorldView(0, 0, 0, 1, false); }

// Later drawing is recorded under this view. Without recording it applies to GL at
// once, and drawing uses whatever GL holds, as GL drawing of one's own does.
void KGraphic::setWorldView(float x, float y, float angle, float zoom, bool clear) {
    viewX = x, viewY = y, viewAngle = angle, viewZoom = zoom;
    const KDrawStep clearing = viewStep(KDrawStep::clear);
    KFrame::setView(clearing);
    if (clear)
        KFrame::draw(clearing);
}

KDrawStep KGraphic::viewStep(uint32_t kind) {
    KDrawStep s;
    s.kind = kind;
    s.viewX = viewX, s.viewY = viewY, s.viewAngle = viewAngle, s.viewZoom = viewZoom;
    return s;
}

// The filter of a picture is fixed when it is loaded; a later call reaches only the
// pictures bound at that moment, as a texture's own filter would.
void KGraphic::setGraphicQuality(bool quality) {
    _graphicQuality = quality;
    for (KGraphic *picture : boundPicture)
        if (picture)
            picture->_linear = quality;
}
