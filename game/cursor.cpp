#include "cursor.h"

#include "KGraphic.h"
#include "KInput.h"

KGraphic *surf_mouse = nullptr;
static bool isHidden = false;   // the system pointer is hidden by us

static const int hotSpotOffset = 3;

// Show and hide are called only on a change, never twice in a row.
void displayMouseCursor() {
    int x = KInput::getMouseX(), y = KInput::getMouseY();
    if (x < 0 || y < 0 || x > 640 || y > 480) {
        if (isHidden) {
            KInput::showPointer();
            isHidden = false;
        }
        return;
    }
    if (!isHidden) {
        KInput::hidePointer();
        isHidden = true;
    }
    KGraphic::setDefaultWorldView();
    if (surf_mouse)
        surf_mouse->blitAlphaRect(0, 0, surf_mouse->getWidth(), surf_mouse->getHeight(),
                                  int16_t(x - hotSpotOffset), int16_t(y - hotSpotOffset));
}

void grabVideo() {}
