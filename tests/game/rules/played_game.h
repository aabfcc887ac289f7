#pragma once
// A scripted player for the rules alone, picking legal exchanges with its own random source.
#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "record.h"
#include "rules.h"

class PlayedGame {
public:
    PlayedGame(GameMode mode, int32_t difficulty, uint32_t seed, uint32_t playerSeed) : player(playerSeed) {
        startGame(mode, difficulty, seed);
    }

    FrameInput hand;
    bool offerEntry = false;            // the answer to "worth a place?" in relax
    std::vector<Cue> heard;             // every cue of the game, in order

    void frame() {
        static PlayedGame *self;
        self = this;
        stepFrame(hand, [] { return self->offerEntry; });
        Cue cues[maxCues];
        const int n = takeCues(cues);
        heard.insert(heard.end(), cues, cues + n);
    }
    void frames(int n) {
        for (int i = 0; i < n; i++) frame();
    }
    void press(bool FrameInput::*key) {
        hand.*key = true;
        frame();
        hand.*key = false;
        frame();
    }
    // The button goes down over a cell (button -1) or a button (cell -1), and up.
    void click(long cell, int button) {
        hand.cell = int8_t(cell);
        hand.button = int8_t(button);
        press(&FrameInput::down);
        hand.button = -1;
    }
    void clickButton(int button) { click(-1, button); }
    static bool atRest() { return !isThereAnIncomingToken() && !isThereAMovingToken() && !isThereAFadingToken(); }
    void settle(int limit = 3000) {
        for (int i = 0; i < limit && !atRest(); i++) frame();
        frame();   // the rest frame: a stuck board is replaced here
    }
    // One legal exchange picked at random, played and settled; false when there is none.
    bool exchange() {
        settle();
        long a = 0, b = 0;
        if (!pickMove(a, b)) return false;
        click(a, -1);
        click(b, -1);
        settle();
        return true;
    }
    // Exchanges while there are any, else waits for the clock or a new board, to the game's end.
    void playOut() {
        while (!gameOver)
            if (!exchange()) frame();
    }
    int count(Cue c) const { return int(std::count(heard.begin(), heard.end(), c)); }

private:
    std::mt19937 player;

    // The search leaves the board as it found it, so the live game is not touched.
    bool pickMove(long &a, long &b) {
        sToken saved[boardCells];
        std::memcpy(saved, tokenTable, sizeof saved);
        std::vector<std::pair<long, long>> moves;
        for (long y = 0; y < boardRows; y++)
            for (long x = 0; x < boardColumns; x++) {
                if (x + 1 < boardColumns && isAPossibleMatch(x, y, x + 1, y)) moves.push_back({y * 12 + x, y * 12 + x + 1});
                if (y + 1 < boardRows && isAPossibleMatch(x, y, x, y + 1)) moves.push_back({y * 12 + x, y * 12 + x + 12});
            }
        std::memcpy(tokenTable, saved, sizeof saved);
        if (moves.empty()) return false;
        std::tie(a, b) = moves[player() % moves.size()];
        return true;
    }
};
