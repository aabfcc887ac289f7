#include "gemsets.h"

#include "KGraphic.h"
#include "KMiscTools.h"

#include <cstdio>
#include <cstring>

KGraphic *gems[7];
char bubbleSetName[256];

bool loadBubbleSet(int32_t id) {
    char name[64];
    std::snprintf(name, sizeof name, "data\\gems\\set%d\\name.txt", int(id));
    FILE *f = std::fopen(KMiscTools::makeFilePath(name), "rb");
    if (!f)
        return false;
    std::memset(bubbleSetName, 0, sizeof bubbleSetName);
    const size_t got = std::fread(bubbleSetName, 1, sizeof bubbleSetName - 1, f);
    (void)got;  // a short name is simply shorter
    std::fclose(f);
    for (int i = 1; i <= 7; ++i) {
        std::snprintf(name, sizeof name, "data\\gems\\set%d\\gem0%i.tga", int(id), i);
        delete gems[i - 1];
        gems[i - 1] = new KGraphic;
        gems[i - 1]->loadPicture(KMiscTools::makeFilePath(name), true, false, true);
    }
    return true;
}
