#pragma once
// Test support: a whole game of the rules' scripted player, with its record as the game sends it.
#include "played_game.h"
#include "requests.h"

inline scored::Submission playedClaim(const scored::Game &game, uint32_t seed, uint32_t player) {
    PlayedGame(GameMode(game.mode), game.difficulty, seed, player).playOut();
    scored::Submission claim;
    claim.game = game;
    claim.score = _realScore;
    claim.record = writeRecord(gameRecord);
    return claim;
}
