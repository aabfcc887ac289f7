#pragma once
// Exchangeable gem sets: data/gems/set<n> holds name.txt and gem01.tga to gem07.tga.
#include <cstdint>

class KGraphic;

extern KGraphic *gems[7];          // picture of each token colour; deleted by the shell at exit
extern char bubbleSetName[256];    // name of the loaded set, as read from its name.txt

bool loadBubbleSet(int32_t id);    // false, changing nothing, when the set has no name.txt (set 0: said once)
void loadChosenBubbleSet();        // the set prefs.bubbleset names; set 0, in prefs too, when that one is missing
