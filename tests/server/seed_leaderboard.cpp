// The browser test's database, through the server's own store: full, short and empty boards, the widest rows.
#include "played_claim.h"
#include "store.h"
#include "tickets.h"

#include <cstdio>

namespace {

const char *const kNames[] = {"bartholomew wimsatt", "ann", "wolfgang wilhelmsen", "mallory", "maximiliana morgans",
                              "jo", "peggy", "victor", "trent", "olivia", "zoe", "sybil"};
const int kRows[protocol::modes][protocol::difficulties] = {{10, 10, 4}, {0, 10, 2}, {10, 1, 10}, {0, 0, 0}};

// Verified and ranked, as if its seed came from a ticket of the server's.
scored::Submission rankedGame(const scored::Game &game, uint32_t seed) {
    const scored::Submission played = playedClaim(game, seed, seed);
    return {game, kNames[seed % 12], played.score, true, played.record, "", true, seed, scored::recordDigest(played.record)};
}

// A score sent without a record, as older games do; from the widest result a board shows down to ordinary ones.
scored::Submission sentAlone(const scored::Game &game, int row) {
    scored::Submission alone;
    alone.game = game;
    alone.name = kNames[row % 12];
    alone.score = game.fewerIsBetter() ? (row == 9 ? 359999 : 75 + row * 61) : (row == 0 ? 2147483647 : 900000 - row * 77777);
    return alone;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: seed_leaderboard DATABASE\n");
        return 2;
    }
    scored::Store store(argv[1]);
    if (!store.error().empty()) {
        std::fprintf(stderr, "seed_leaderboard: %s\n", store.error().c_str());
        return 1;
    }
    int64_t submitted = 1767225600; // 2026-01-01
    uint32_t seed = 1;
    for (int mode = 0; mode < protocol::modes; ++mode)
        for (int difficulty = 0; protocol::isOnlineMode(mode) && difficulty < protocol::difficulties; ++difficulty) {
            const scored::Game game{mode, difficulty};
            std::vector<scored::Submission> scores;
            for (int row = 0; row < kRows[mode][difficulty]; ++row)
                scores.push_back(sentAlone(game, row));
            // The million takes the scripted player too long: its boards hold scores sent without records.
            if (!game.fewerIsBetter() && !scores.empty())
                scores.back() = rankedGame(game, seed++);
            for (const scored::Submission &score : scores)
                if (!store.add({score}, submitted += 86400 + 3600)) {
                    std::fprintf(stderr, "seed_leaderboard: cannot store a score\n");
                    return 1;
                }
        }
    return 0;
}
