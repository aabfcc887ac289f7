#pragma once
#include <cstdint>
#include <string>

// The running game's record, appended to a file as it is played, so that a game the
// program did not live to end (window closed, killed, crashed) goes on at the next PLAY
// of its mode and difficulty. It holds the current game only: a new game starts a new one. One journal per mode and difficulty, in the player's state
// folder ($XDG_STATE_HOME/brolix), or beside the other saves when a build or portable
// folder keeps them.

std::string journalPath(long gameMode, int32_t difficulty);
// Continues the game the journal of this mode and difficulty holds, rebuilt through the
// rules and paused; false when there is none to continue (a new game is to start). A
// journal that cannot be continued is renamed aside, and said so on standard error.
bool resumeJournal(long gameMode, int32_t difficulty);
void keepJournal();                     // once a frame: written twice a second and on pause; removed once the game has ended
void flushJournal();                    // written and synced now (also as the window loses the focus)
void closeJournal(bool keep);           // the session ends: kept for the next PLAY while the game is in progress and keep, else removed
