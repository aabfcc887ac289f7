#include "pictures.h"

#include <cstdio>

#include "KGraphic.h"
#include "KMiscTools.h"
#include "prefs.h"

void loadInto(KGraphic *picture, const char *file) {
    picture->loadPicture(KMiscTools::makeFilePath(file), true, false, true);
}

KGraphic *loadPictureFile(const char *file) {
    KGraphic *picture = new KGraphic;
    loadInto(picture, file);
    return picture;
}

KGraphic *loadSkinPicture(const char *nameFormat) {
    char name[64];
    std::snprintf(name, sizeof name, nameFormat, gSkin);
    return loadPictureFile(name);
}
