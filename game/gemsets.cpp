#include "gemsets.h"

#include "KGraphic.h"
#include "KMiscTools.h"
#include "pictures.h"
#include "prefs.h"

#include <cstdio>
#include <cstring>

KGraphic *gems[7];
char bubbleSetName[256];

namespace {
// Set 0 is every caller's fallback: without it the board stays empty, so the
// player is told why, once, the way a missing picture is reported.
void reportMissingFallback(int32_t id, const char *path) {
    static bool reported = false;
    if (id != 0 || reported)
        return;
    reported = true;
    KMiscTools::messageBox("Could not open file", path);
}
}  // namespace

bool loadBubbleSet(int32_t id) {
    char name[64];
    std::snprintf(name, sizeof name, "data\\gems\\set%d\\name.txt", int(id));
    const char *path = KMiscTools::makeFilePath(name);
    FILE *f = std::fopen(path, "rb");
    if (!f) {
        reportMissingFallback(id, path);
        return false;
    }
    std::memset(bubbleSetName, 0, sizeof bubbleSetName);
    const size_t got = std::fread(bubbleSetName, 1, sizeof bubbleSetName - 1, f);
    (void)got;  // a short name is simply shorter
    std::fclose(f);
    for (int i = 1; i <= 7; ++i) {
        std::snprintf(name, sizeof name, "data\\gems\\set%d\\gem0%i.tga", int(id), i);
        delete gems[i - 1];
        gems[i - 1] = loadPictureFile(name);
    }
    return true;
}

void loadChosenBubbleSet() {
    if (!loadBubbleSet(prefs.bubbleset)) {
        prefs.bubbleset = 0;
        loadBubbleSet(0);
    }
}
