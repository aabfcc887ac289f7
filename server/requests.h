#pragma once
// What the score server accepts: game names, player names, scores. Pure checks on
// decoded query values, so every request is refused or taken before any storage.
#include "protocol.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace scored {

constexpr int kTopPlaces = 10;

struct Game {
    int mode = 0;
    int difficulty = 0;
    std::string name() const { return protocol::gameName(mode, difficulty); }
    bool fewerIsBetter() const { return protocol::fewerIsBetter(mode); }
};

struct Question {
    Game game;
    int32_t score = 0;
};

struct Submission {
    Game game;
    std::string name;
    int32_t score = 0;
    bool verified = false;       // its record replayed to this score
    std::string record;          // the record's bytes when verified
    std::string ticket;          // as sent with the record, empty when none
    bool ranked = false;         // verified, and its seed came from a ticket of ours
    uint32_t seed = 0;           // the record's, when verified
    std::string digest;          // of the record's bytes, when verified
};

// A check's outcome: the value, or the one-line reason it was refused.
template <typename T> struct Checked {
    std::optional<T> value;
    std::string reason;
};

using Query = std::multimap<std::string, std::string>; // decoded keys and values

std::optional<Game> parseGameName(const std::string &text);  // an online game's name
bool isValidPlayerName(const std::string &name);            // 1..19 of a-z and space, a letter among them
std::optional<int32_t> parseScore(const std::string &text); // decimal digits, 0 .. 2^31-1

// desc: the request came by the "desc" path, which only the million mode uses.
Checked<Question> checkQuestion(const Query &query, bool desc);
Checked<Submission> checkSubmission(const Query &query, bool desc);
// The same keys for a submission with its record, on one path for every mode, and
// its seed ticket when the game had one.
Checked<Submission> checkRecordSubmission(const Query &query);

} // namespace scored
