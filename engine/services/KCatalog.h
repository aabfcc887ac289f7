#pragma once
// Words a player reads go through the game's one catalog, brolix: _() translates now,
// N_() only marks a word translated where it is shown. Without a catalog for the language
// in use, the English stays. No message takes a context (msgctxt): po4a stops reading a
// catalog there, and the help and manual pages would lose their translations.
#include <libintl.h>

#define BROLIX_DOMAIN "brolix"
#define _(text) dgettext(BROLIX_DOMAIN, text)
#define N_(text) text
