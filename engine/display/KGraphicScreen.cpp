// The logical screen, the world view and the texture filtering rule.
#include "KGraphic.h"

#include "KFrame.h"

#include <GL/gl.h>

int16_t KGraphic::screenWidth = 0;
int16_t KGraphic::screenHeight = 0;
int16_t KGraphic::screenDepth = 0;
int64_t KGraphic::videoMemory = 0;
bool KGraphic::_graphicQuality = false;
float KGraphic::viewX = 0, KGraphic::viewY = 0, KGraphic::viewAngle = 0, KGraphic::viewZoom = 1;
bool KGraphic::rectangleTextures = false;
KGraphic *KGraphic::boundPicture[2] = {};

void KGraphic::setScreenSize(int16_t width, int16_t height, int16_t depth) {
    screenWidth = width;
    screenHeight = height;
    screenDepth = depth;
    KFrame::setScreenSize(width, height);
    setGraphicQuality(false);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_FLAT);
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
