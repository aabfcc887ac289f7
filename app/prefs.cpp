#include "prefs.h"

sPrefs prefs;
