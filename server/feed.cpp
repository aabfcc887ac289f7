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

// The length of the well-formed UTF-8 character at text[at], or 0: names stored by an
// older server may hold any bytes, and a feed must stay valid JSON.
size_t characterLength(const std::string &text, size_t at) {
    const uint8_t lead = uint8_t(text[at]);
    const size_t n = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (n == 0 || at + n > text.size())
        return 0;
    for (size_t i = 1; i < n; ++i)
        if ((uint8_t(text[at + i]) & 0xC0) != 0x80)
            return 0;
    const uint8_t second = n > 1 ? uint8_t(text[at + 1]) : 0;
    const bool overlongOrSurrogate = (lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
                                     (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90);
    return overlongOrSurrogate ? 0 : n;
}

} // namespace

std::string jsonString(const std::string &text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const size_t length = characterLength(text, at);
        if (length == 0) {
            out += "\\ufffd";
        } else if (length > 1) {
            out.append(text, at, length);
            at += length - 1;
        } else if (c == '"' || c == '\\') {
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
