// The start-up dialog's pictures, compiled in by the data build: skin previews
// 275, 276 and 277 and the program's icon.
#include "brolix_resources.h"
#include "dialog_controls.h"

DialogBitmap dialogBitmap(int number) {
    const int skin = number - 275;
    if (skin < 0 || skin >= brolix_preview_count)
        return {0, 0, nullptr};
    return {brolix_preview_width, brolix_preview_height, brolix_skin_previews[skin]};
}

DialogBitmap dialogIcon() { return {brolix_icon_width, brolix_icon_height, brolix_icon_rgba}; }
