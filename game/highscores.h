#pragma once
#include <cstddef>
#include <cstdint>

// Local high-score tables: one per game mode, three places per difficulty.
// Difficulty d owns rows 3d, 3d+1, 3d+2 (best first). The million table keeps
// seconds taken (lower is better); the others keep points (higher is better).

struct sHighEntry {
    char name[32];     // NUL-terminated, at most 31 characters
    uint32_t score;
};

struct sHighScores {
    sHighEntry players[9];
};

// Live tables (built-in values until the files are read) and their factory copies.
extern sHighScores score60sec, score5Min, scoreMillion, scoreRelax;
extern const sHighScores bscore60sec, bscore5Min, bscoreMillion, bscoreRelax;

sHighScores *highScoreTable(int32_t mode);   // live table of game mode (or tab) 0..3; null for any other value
const char *highScoreFileName(int32_t mode); // "data/s60", "data/s5mn", "data/smil", "data/srelx"; null for any other value

void loadHighScores();                                        // read the four table files; a missing file keeps its table
void saveHighScores();                                        // write the four table files, each replaced atomically
void loadHigh(sHighScores *table, const char *fileName);      // read up to 324 bytes into table; names are cut to 31 characters
void saveHigh(const sHighScores *table, const char *fileName); // write the 324-byte image atomically; failures are silent
void resetScores();                                           // copy the factory tables over the live ones (in memory)

bool isHighScore();                        // does the game just ended earn a name entry (server first, then the local table)
void transferHighScore(const char *name);  // submit online, insert into the local table and save that table's file at once

void clampScoreTab();                                                    // bring prefs.scoretab into 0..3 (a stored value may be anything)
void formatHighScore(int32_t tab, uint32_t score, char *text, size_t size); // points as a number; million times as hh:mm:ss (hours unlimited)

int32_t getHours(int32_t seconds);   // seconds / 3600
int32_t getMinutes(int32_t seconds); // minutes within the hour
int32_t getSeconds(int32_t seconds); // seconds within the minute
