#include "online.h"

#include "KCatalog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "KGraphic.h"
#include "KWeb.h"
#include "KWindow.h"
#include "game.h"
#include "record.h"
#include "scorehost.h"

bool gOnlineScores = false;
static bool previousState = false;   // the server's answer for the current game
const char *scoreServerHost = BROLIX_SCORE_HOST;

namespace {

// "http://" and the host, then the request's path and query.
const char *const questionURL = "http://%s/scoring/ishighscore.php?gamename=%s&submtdscore=%d";
const char *const questionURLDesc = "http://%s/scoring/ishighscoredesc.php?gamename=%s&submtdscore=%d";
const char *const submitURL = "http://%s/scoring/scoresubmitter.php?name=%s&score=%d&computer=M&gamename=%s";
const char *const submitURLDesc =
    "http://%s/scoring/scoresubmitterdesc.php?name=%s&score=%d&computer=M&gamename=%s";
// The game's record goes with its score, so the server can replay it; every mode on one path.
const char *const recordURL = "http://%s/scoring/scorerecord.php?name=%s&score=%d&computer=M&gamename=%s";
const char *const anonymousName = "chicken";

const size_t urlSize = 260;         // longer URLs are cut to 259 characters
const float waitAlpha = 0.8f;

// The server-wait picture, its lower right corner on the screen's, put on screen at once.
// The submission shows it on whole pixels and inset. Without the picture there is
// nothing to show and no frame to present.
void showServerWait(bool inset) {
    if (!surf_internet)
        return;
    float w = surf_internet->getWidth(), h = surf_internet->getHeight();
    if (inset) {
        w = float(int(w));
        h = float(int(h));
    }
    const float x1 = inset ? 4 : 0, y1 = inset ? 4 : 0, x2 = inset ? w - 4 : w, y2 = inset ? h - 8 : h;
    surf_internet->blitAlphaRectFx(x1, y1, x2, y2, int16_t(640 - w), int16_t(480 - h), 0, 1, waitAlpha);
    KWindow::flipBackBuffer(true);
}

} // namespace

bool isOnlineScore(const char *description) {
    if (_gameMode == modeRelax)
        return false;
    if (_onlineProcessed)
        return previousState;
    if (!gOnlineScores)
        return false;
    _onlineProcessed = true;
    previousState = false;

    char url[urlSize];
    std::snprintf(url, sizeof url, _gameMode == modeMillion ? questionURLDesc : questionURL, scoreServerHost,
                  description, _realScore);
    showServerWait(false);
    KWeb web;
    const char *reply = web.callURL(url, false);
    previousState = reply && std::strstr(reply, "yes");
    return previousState;
}

void submitOnlineScore(const char *name, const char *description) {
    if (_gameMode == modeRelax || !gOnlineScores)
        return;
    // Encoded: a space would make the URL invalid.
    const std::string encodedName = KWeb::escape(name && *name ? name : anonymousName);

    char url[urlSize];
    std::snprintf(url, sizeof url, _gameMode == modeMillion ? submitURLDesc : submitURL, scoreServerHost,
                  encodedName.c_str(), _realScore, description);
    showServerWait(true);
    KWeb web;
    // The record of the run so far ends with this game's result. A server that does not
    // take records, or refuses this one, gets the score alone and keeps it unverified.
    char withRecord[urlSize];
    std::snprintf(withRecord, sizeof withRecord, recordURL, scoreServerHost, encodedName.c_str(), _realScore,
                  description);
    const char *reply = web.postURL(withRecord, writeRecord(gameRecord), false);
    if (!reply || std::strcmp(reply, "ok") == 0)
        return; // no server to send the score alone to either
    std::fprintf(stderr, _("brolix: the score server did not take the game's record: %.*s\n"),
                 int(std::min<size_t>(std::strcspn(reply, "\n"), 200)), reply);
    web.callURL(url, false);
}
