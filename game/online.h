#pragma once
// Online scoring: asks the score server whether a result ranks, submits accepted
// names. Requests block the game while the server-wait picture is shown.

extern bool gOnlineScores;          // the "Internet Scoring" check box; off: no request at all
extern const char *scoreServerHost; // host and port of the score server (build setting)

bool isOnlineScore(const char *description);                    // does the server rank _realScore? asks once per game
void submitOnlineScore(const char *name, const char *description); // sends the accepted name ("chicken" when empty)
