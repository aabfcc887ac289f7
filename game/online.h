#pragma once
// Online scoring: asks the score server whether a result ranks, submits accepted
// names with the game's record. Those requests block the game while the server-wait
// picture is shown; seed tickets are fetched ahead in the background, so starting a
// game never waits.
#include <cstdint>
#include <string>

extern bool gOnlineScores;          // the "Internet Scoring" check box; off: no request at all
extern const char *scoreServerHost; // host and port of the score server (build setting)

bool isOnlineScore(const char *description);                    // does the server rank _realScore? asks once per game
void submitOnlineScore(const char *name, const char *description); // sends the accepted name ("chicken" when empty)

// Starts fetching a seed ticket for a next game of this mode and difficulty, unless one
// is ready, on its way, or the box is unticked; a ticket for another game is dropped.
// Records kept for a busy server go first.
void fetchTicketAhead(long gameMode, int32_t difficulty);
// The ticket ready for this game, if any, becomes the game's: true and its seed. Else the
// game has none (it is then verified but not ranked).
bool takeTicket(long gameMode, int32_t difficulty, uint32_t &seed);
std::string gameTicket();           // of the running game; empty when it has none
// A game resumed from its journal goes on with the ticket it began with: the ticket, if
// it is one for this seed, becomes the running game's.
void resumeTicket(const std::string &text, uint32_t seed);
void waitForOnlineFetches();        // the background request in flight, if any, ends (bounded by KWeb's limit)
std::string keptRecordFolder();     // where records the server could not take yet wait
