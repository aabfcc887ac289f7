#include "highscores.h"
#include "watch.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "game.h"
#include "online.h"
#include "prefs.h"
#include "storage.h"

// Each table file is the table's memory image: 9 records of a 32-byte name and
// a little-endian 32-bit score.
static_assert(sizeof(sHighEntry) == 36, "a stored record is 36 bytes");
static_assert(sizeof(sHighScores) == 324, "a stored table is 324 bytes");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "table files are read as little-endian images");

namespace {

enum { kModes = 4, kRows = 9, kPlaces = 3 };
typedef const char *NameRow[kRows];
typedef uint32_t ScoreRow[kRows];

// Shared by the built-in and the factory tables, row for row.
const NameRow kNames[kModes] = {
    {"amber lane", "otto quick", "nina blitz", "rosa fern", "tim spark", "lily dash", "hugo brook", "ella moss", "ivan pike"},
    {"clara dune", "felix stone", "maya wren", "oscar vale", "greta finch", "leo marsh", "ruby heath", "sami frost", "tess arbor"},
    {"victor pace", "iris comet", "bruno swift", "june harbor", "max ember", "dora willow", "paul ridge", "zoe meadow", "kai tempest"},
    {"sunny day", "calm willa", "lazy lou", "milo breeze", "gentle gus", "daisy glen", "wanda reed", "noel shore", "piper lake"},
};

const ScoreRow kBuiltInScores[kModes] = {
    {600, 450, 350, 300, 200, 100, 30, 20, 10},
    {300, 200, 100, 300, 200, 100, 300, 200, 100},
    {9432, 12610, 15697, 9432, 12610, 15697, 9432, 12610, 15697},
    {250, 200, 100, 300, 200, 100, 300, 200, 80},
};

const ScoreRow kFactoryScores[kModes] = {
    {600, 450, 400, 350, 300, 200, 100, 90, 50},
    {3000, 2000, 1000, 3000, 2000, 1000, 3000, 2000, 1000},
    {9432, 12610, 15697, 9432, 12610, 15697, 9432, 12610, 15697},
    {300, 200, 100, 300, 200, 100, 300, 200, 100},
};

const char *const kFileNames[kModes] = {"data/s60", "data/s5mn", "data/smil", "data/srelx"};

void copyName(char (&field)[32], const char *name) {
    std::memset(field, 0, sizeof field);
    std::strncpy(field, name, sizeof field - 1);
}

sHighScores makeTable(int mode, const ScoreRow &scores) {
    sHighScores table;
    for (int row = 0; row < kRows; row++) {
        copyName(table.players[row].name, kNames[mode][row]);
        table.players[row].score = scores[row];
    }
    return table;
}

bool isValidMode(int32_t mode) { return mode >= 0 && mode < kModes; }

bool isValidDifficulty(int32_t difficulty) { return difficulty >= 0 && difficulty < kPlaces; }

// Strictly better: fewer seconds in the million mode, more points elsewhere.
bool beats(int32_t mode, uint32_t result, uint32_t rowScore) {
    return mode == modeMillion ? result < rowScore : result > rowScore;
}

void copyEntry(sHighEntry &to, const sHighEntry &from) {
    std::memcpy(to.name, from.name, sizeof to.name);
    to.score = from.score;
}

} // namespace

sHighScores score60sec = makeTable(0, kBuiltInScores[0]);
sHighScores score5Min = makeTable(1, kBuiltInScores[1]);
sHighScores scoreMillion = makeTable(2, kBuiltInScores[2]);
sHighScores scoreRelax = makeTable(3, kBuiltInScores[3]);

const sHighScores bscore60sec = makeTable(0, kFactoryScores[0]);
const sHighScores bscore5Min = makeTable(1, kFactoryScores[1]);
const sHighScores bscoreMillion = makeTable(2, kFactoryScores[2]);
const sHighScores bscoreRelax = makeTable(3, kFactoryScores[3]);

sHighScores *highScoreTable(int32_t mode) {
    static sHighScores *const tables[kModes] = {&score60sec, &score5Min, &scoreMillion, &scoreRelax};
    return isValidMode(mode) ? tables[mode] : nullptr;
}

const char *highScoreFileName(int32_t mode) {
    return isValidMode(mode) ? kFileNames[mode] : nullptr;
}

void loadHigh(sHighScores *table, const char *fileName) {
    // A short file replaces only the leading bytes it holds.
    if (loadStoredFile(fileName, table, sizeof *table) < 0) return;
    // A name that fills its whole field is kept as its first 31 characters.
    for (sHighEntry &entry : table->players) entry.name[sizeof entry.name - 1] = '\0';
}

void saveHigh(const sHighScores *table, const char *fileName) {
    saveStoredFile(fileName, table, sizeof *table);
}

void loadHighScores() {
    loadHigh(&score60sec, kFileNames[0]);
    loadHigh(&score5Min, kFileNames[1]);
    loadHigh(&scoreRelax, kFileNames[3]);
    loadHigh(&scoreMillion, kFileNames[2]);
}

void saveHighScores() {
    saveHigh(&score60sec, kFileNames[0]);
    saveHigh(&score5Min, kFileNames[1]);
    saveHigh(&scoreRelax, kFileNames[3]);
    saveHigh(&scoreMillion, kFileNames[2]);
}

void resetScores() {
    score60sec = bscore60sec;
    score5Min = bscore5Min;
    scoreMillion = bscoreMillion;
    scoreRelax = bscoreRelax;
}

bool isHighScore() {
    if (ghighscoreProcessed || watchingRecord) return false;
    if (isOnlineScore(gameDescription)) return true;
    const sHighScores *table = highScoreTable(_gameMode);
    if (!table || !isValidDifficulty(prefs.difficulty)) return false;
    const sHighEntry &third = table->players[kPlaces * prefs.difficulty + kPlaces - 1];
    return beats(_gameMode, static_cast<uint32_t>(_realScore), third.score);
}

void transferHighScore(const char *name) {
    sHighScores *table = highScoreTable(_gameMode);
    submitOnlineScore(name, gameDescription);
    if (!table || !isValidDifficulty(prefs.difficulty)) return;
    const uint32_t result = static_cast<uint32_t>(_realScore);
    sHighEntry *block = &table->players[kPlaces * prefs.difficulty];
    for (int place = 0; place < kPlaces; place++) {
        if (!beats(_gameMode, result, block[place].score)) continue;
        for (int row = kPlaces - 1; row > place; row--) copyEntry(block[row], block[row - 1]);
        copyName(block[place].name, name ? name : "");
        block[place].score = result;
        // Saved at once, so a later crash or kill cannot lose the entry.
        saveHigh(table, kFileNames[_gameMode]);
        return;
    }
}

void clampScoreTab() {
    prefs.scoretab = std::clamp<int32_t>(prefs.scoretab, 0, kModes - 1);
}

void formatHighScore(int32_t tab, uint32_t score, char *text, size_t size) {
    if (tab != 2) {
        std::snprintf(text, size, "%u", score);
        return;
    }
    const int32_t seconds = static_cast<int32_t>(score);
    std::snprintf(text, size, "%02d:%02d:%02d", getHours(seconds), getMinutes(seconds), getSeconds(seconds));
}

int32_t getHours(int32_t seconds) { return seconds / 3600; }

int32_t getMinutes(int32_t seconds) { return seconds / 60 - (seconds / 3600) * 60; }

int32_t getSeconds(int32_t seconds) { return seconds - (seconds / 60) * 60; }
