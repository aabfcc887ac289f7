#include <cstdio>
#include "record.h"
#include "rules.h"

uint32_t score = 0;
int32_t _unitScore = 1;
int32_t _realScore = 0;
int32_t _gameMode = 0;
int32_t gameDifficulty = 1;
char gameDescription[260] = "";
bool gameOver = false;
bool endPlay = false;
bool newGameAsked = false;
bool gamePaused = false;
uint32_t frameCount = 0;
float gameOverFade = 0;
bool ghighscoreProcessed = false;
bool _onlineProcessed = false;

// The one place that says what a game's state is (rules.h lists it under one heading):
// a stored or resumed game must hold exactly what this sets. Only the random source,
// the difficulty, the pause, the held buttons, the rules version and the frame count are
// set elsewhere, by startGame.
void resetGameState(GameReset scope, long gameMode) {
    if (scope == GameReset::session) {
        std::snprintf(gameDescription, sizeof gameDescription, "brolix%lddif%d", gameMode, gameDifficulty);
        _gameMode = static_cast<int32_t>(gameMode);
        _unitScore = gameMode == modeMillion ? 100 : 1;
        clearZapAttack();
    }
    if (scope == GameReset::board) {
        ghighscoreProcessed = false;
    } else {
        score = 0;
        _realScore = 0;   // else the last game's result is judged until the first tick
        _onlineProcessed = false;
        resetTimer(_gameMode);   // also clears gameOver and ghighscoreProcessed
    }
    endPlay = newGameAsked = false;
    gameOverFade = 0;
    dealFreshBoard();
}

void resetTokenTable(bool resetScore) { resetGameState(resetScore ? GameReset::game : GameReset::board, _gameMode); }

// Nothing of the game before carries over: each game is one record from its own seed,
// and a press held into it acts once the board rests, as in the first game of a run.
void startGame(long gameMode, int32_t difficulty, uint32_t seed) {
    gameDifficulty = difficulty < 0 ? 0 : difficulty > 2 ? 2 : difficulty;
    seedRandom(seed);
    resetGameState(GameReset::session, gameMode);
    gamePaused = false;
    oldButton = oldbt = false;
    playedRulesVersion = rulesVersion;
    frameCount = 0;
    Cue dropped[maxCues];
    takeCues(dropped);
    startRecord(seed);
}
