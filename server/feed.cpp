#include "feed.h"

#include <cstdio>

namespace scored {

namespace {

std::string rowJson(const Row &row) {
    return "{\"place\": " + std::to_string(row.place) + ", \"name\": " + jsonString(row.name) +
           ", \"score\": " + std::to_string(row.score) + ", \"result\": " + jsonString(row.result) +
           ", \"date\": " + jsonString(formatDate(row.submitted)) + ", \"submitted\": " +
           std::to_string(row.submitted) + ", \"verified\": " + (row.verified ? "true" : "false") +
           ", \"ranked\": " + (row.ranked ? "true" : "false") + ", \"record\": " +
           (row.record ? jsonString(recordPath(row.record)) : "null") + "}";
}

std::string boardJson(const Board &board) {
    std::string json = "{\"gamename\": " + jsonString(board.game.name()) + ", \"mode\": " +
                       jsonString(modeTitle(board.game)) + ", \"difficulty\": " +
                       jsonString(difficultyTitle(board.game)) + ", \"order\": " +
                       (board.game.fewerIsBetter() ? "\"fewest seconds\"" : "\"most points\"") + ", \"rows\": [";
    const char *separator = "\n   ";
    for (const Row &row : rowsOf(board)) {
        json += separator + rowJson(row);
        separator = ",\n   ";
    }
    return json + "]}";
}

} // namespace

std::string jsonString(const std::string &text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uint8_t(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string scoresFeed(const std::vector<Board> &boards) {
    std::string json = "{\"boards\": [";
    const char *separator = "\n ";
    for (const Board &board : boards) {
        json += separator + boardJson(board);
        separator = ",\n ";
    }
    return json + "\n]}\n";
}

} // namespace scored
