#include "requests.h"

#include <set>
#include <vector>

namespace scored {

namespace {

const size_t kMaxNameLength = 19;
const size_t kMaxScoreDigits = 10;
const int64_t kMaxScore = INT32_MAX;

// Every key present exactly once and nothing else, or the reason why not.
std::string checkKeys(const Query &query, const std::vector<std::string> &keys, const char *optional = nullptr) {
    if (optional && query.count(optional) > 1)
        return "repeated key: " + std::string(optional);
    for (const std::string &key : keys) {
        const size_t n = query.count(key);
        if (n == 0)
            return "missing key: " + key;
        if (n > 1)
            return "repeated key: " + key;
    }
    std::set<std::string> known(keys.begin(), keys.end());
    if (optional)
        known.insert(optional);
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

std::optional<Game> parseGameName(const std::string &text) {
    Game game;
    if (!protocol::parseGameName(text, game.mode, game.difficulty))
        return std::nullopt;
    return game;
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
    using namespace protocol;
    Checked<Question> out;
    out.reason = checkKeys(query, {gameKey, askScoreKey});
    Question q;
    if (out.reason.empty())
        out.reason = checkGameAndScore(valueOf(query, gameKey), valueOf(query, askScoreKey),
                                       desc, q.game, q.score);
    if (out.reason.empty())
        out.value = q;
    return out;
}

namespace {

Checked<Submission> checkSubmission(const Query &query, bool desc, const char *optionalKey) {
    using namespace protocol;
    Checked<Submission> out;
    out.reason = checkKeys(query, {nameKey, scoreKey, computerKey, gameKey}, optionalKey);
    Submission s;
    if (out.reason.empty())
        out.reason = checkGameAndScore(valueOf(query, gameKey), valueOf(query, scoreKey), desc, s.game, s.score);
    if (out.reason.empty() && !isValidPlayerName(valueOf(query, nameKey)))
        out.reason = "name must be 1 to 19 characters of a to z and space, with at least one letter";
    if (out.reason.empty() && valueOf(query, computerKey) != computer)
        out.reason = "computer must be M";
    if (out.reason.empty()) {
        s.name = valueOf(query, nameKey);
        if (optionalKey && query.count(optionalKey))
            s.ticket = valueOf(query, optionalKey);
        out.value = s;
    }
    return out;
}

} // namespace

Checked<Submission> checkSubmission(const Query &query, bool desc) {
    return checkSubmission(query, desc, nullptr);
}

Checked<Submission> checkRecordSubmission(const Query &query) {
    const auto game = query.find(protocol::gameKey);
    const std::optional<Game> parsed = game == query.end() ? std::nullopt : parseGameName(game->second);
    return checkSubmission(query, parsed && parsed->fewerIsBetter(), protocol::ticketKey);
}

} // namespace scored
