// The start-up dialog's pictures: skin previews 275, 276 and 277.
#include "dialog_controls.h"

DialogBitmap dialogBitmap(int) {
    // The previews are made by the data build; until it provides them the frames stay empty.
    return {0, 0, nullptr};
}
