// The start-up dialog's pictures: skin previews 275, 276 and 277, compiled in
// by the data build.
#include "brolix_resources.h"
#include "dialog_controls.h"

DialogBitmap dialogBitmap(int number) {
    const int skin = number - 275;
    if (skin < 0 || skin >= brolix_preview_count)
        return {0, 0, nullptr};
    return {brolix_preview_width, brolix_preview_height, brolix_skin_previews[skin]};
}
