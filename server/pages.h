#pragma once
// The pages people look at: the leaderboard and the driver help page.
#include "requests.h"
#include "store.h"

#include <string>
#include <vector>

namespace scored {

std::string escapeHtml(const std::string &text);
std::string formatDuration(int32_t seconds);        // hh:mm:ss, hours grow past 99
// UTC, by strftime's format; yyyy-mm-dd by default.
std::string formatDate(int64_t secondsSince1970, const char *format = "%Y-%m-%d");

struct Board {
    Game game;
    std::vector<Entry> entries;                      // best first
};

// One line of a board as the page and the feed show it.
struct Row {
    int place = 0;
    std::string name;
    int32_t score = 0;
    std::string result;       // points, or hh:mm:ss where fewer is better
    int64_t submitted = 0;
    bool verified = false;    // its record replayed to its score
    bool ranked = false;      // counts for its place
    int64_t record = 0;       // its record's id; 0: none to download
};
std::vector<Row> rowsOf(const Board &board);
std::string recordPath(int64_t record);             // where a record downloads
std::string recordFileName(int64_t record);         // the name it downloads as

constexpr const char *kRecordType = "application/x-brolix-record";
const char *modeTitle(const Game &game);
const char *difficultyTitle(const Game &game);

std::string leaderboardPage(const std::vector<Board> &boards); // one table per board
std::string driverPage();                             // getting accelerated OpenGL on Linux

} // namespace scored
