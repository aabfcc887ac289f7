#pragma once
// What the score server accepts: game names, player names, scores. Pure checks on
// decoded query values, so every request is refused or taken before any storage.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace scored {

constexpr int kModes = 3;        // sixty seconds, five minutes, million (relax is never online)
constexpr int kDifficulties = 3;
constexpr int kMillionMode = 2;  // the result is seconds taken: fewer is better
constexpr int kTopPlaces = 10;

struct Game {
    int mode = 0;
    int difficulty = 0;
    std::string name() const;                  // "brolix<mode>dif<difficulty>"
    bool fewerIsBetter() const { return mode == kMillionMode; }
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
};

// A check's outcome: the value, or the one-line reason it was refused.
template <typename T> struct Checked {
    std::optional<T> value;
    std::string reason;
};

using Query = std::multimap<std::string, std::string>; // decoded keys and values

std::optional<Game> parseGameName(const std::string &text);  // brolix0dif0 .. brolix2dif2
bool isValidPlayerName(const std::string &name);            // 1..19 of a-z and space, a letter among them
std::optional<int32_t> parseScore(const std::string &text); // decimal digits, 0 .. 2^31-1

// desc: the request came by the "desc" path, which only the million mode uses.
Checked<Question> checkQuestion(const Query &query, bool desc);
Checked<Submission> checkSubmission(const Query &query, bool desc);
// The same keys for a submission with its record, on one path for every mode.
Checked<Submission> checkRecordSubmission(const Query &query);

} // namespace scored
