#include "requests.h"

#include <set>
#include <vector>

namespace scored {

namespace {

const size_t kMaxNameLength = 19;
const size_t kMaxScoreDigits = 10;
const int64_t kMaxScore = INT32_MAX;

// Every key present exactly once and nothing else, or the reason why not.
std::string checkKeys(const Query &query, const std::vector<std::string> &keys) {
    for (const std::string &key : keys) {
        const size_t n = query.count(key);
        if (n == 0)
            return "missing key: " + key;
        if (n > 1)
            return "repeated key: " + key;
    }
    const std::set<std::string> known(keys.begin(), keys.end());
    for (const auto &entry : query)
        if (!known.count(entry.first))
            return "unknown key";
    return {};
}

const std::string &valueOf(const Query &query, const std::string &key) {
    return query.find(key)->second;
}

// The game and score both requests carry, with the path checked against the mode.
std::string checkGameAndScore(const std::string &gameText, const std::string &scoreText,
                              bool desc, Game &game, int32_t &score) {
    const std::optional<Game> parsedGame = parseGameName(gameText);
    if (!parsedGame)
        return "unknown game name";
    if (parsedGame->fewerIsBetter() != desc)
        return desc ? "this game is not ranked by time" : "this game is ranked by time";
    const std::optional<int32_t> parsedScore = parseScore(scoreText);
    if (!parsedScore)
        return "score must be a whole number from 0 to 2147483647";
    if (parsedGame->fewerIsBetter() && *parsedScore == 0)
        return "a time must be at least one second";
    game = *parsedGame;
    score = *parsedScore;
    return {};
}

} // namespace

std::string Game::name() const {
    return "brolix" + std::to_string(mode) + "dif" + std::to_string(difficulty);
}

std::optional<Game> parseGameName(const std::string &text) {
    if (text.size() != 11 || text.compare(0, 6, "brolix") != 0 || text.compare(7, 3, "dif") != 0)
        return std::nullopt;
    const char mode = text[6], difficulty = text[10];
    if (mode < '0' || mode >= '0' + kModes || difficulty < '0' || difficulty >= '0' + kDifficulties)
        return std::nullopt;
    return Game{mode - '0', difficulty - '0'};
}

bool isValidPlayerName(const std::string &name) {
    if (name.size() > kMaxNameLength)
        return false;
    bool letter = false;
    for (const char c : name) {
        letter = letter || (c >= 'a' && c <= 'z');
        if (!(c == ' ' || (c >= 'a' && c <= 'z')))
            return false;
    }
    return letter; // a name of spaces would be a blank row
}

std::optional<int32_t> parseScore(const std::string &text) {
    if (text.empty() || text.size() > kMaxScoreDigits)
        return std::nullopt;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > kMaxScore)
        return std::nullopt;
    return int32_t(value);
}

Checked<Question> checkQuestion(const Query &query, bool desc) {
    Checked<Question> out;
    out.reason = checkKeys(query, {"gamename", "submtdscore"});
    Question q;
    if (out.reason.empty())
        out.reason = checkGameAndScore(valueOf(query, "gamename"), valueOf(query, "submtdscore"),
                                       desc, q.game, q.score);
    if (out.reason.empty())
        out.value = q;
    return out;
}

Checked<Submission> checkSubmission(const Query &query, bool desc) {
    Checked<Submission> out;
    out.reason = checkKeys(query, {"name", "score", "computer", "gamename"});
    Submission s;
    if (out.reason.empty())
        out.reason = checkGameAndScore(valueOf(query, "gamename"), valueOf(query, "score"),
                                       desc, s.game, s.score);
    if (out.reason.empty() && !isValidPlayerName(valueOf(query, "name")))
        out.reason = "name must be 1 to 19 characters of a to z and space, with at least one letter";
    if (out.reason.empty() && valueOf(query, "computer") != "M")
        out.reason = "computer must be M";
    if (out.reason.empty()) {
        s.name = valueOf(query, "name");
        out.value = s;
    }
    return out;
}

Checked<Submission> checkRecordSubmission(const Query &query) {
    const auto game = query.find("gamename");
    const std::optional<Game> parsed = game == query.end() ? std::nullopt : parseGameName(game->second);
    return checkSubmission(query, parsed && parsed->fewerIsBetter());
}

} // namespace scored
