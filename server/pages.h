#pragma once
// The pages people look at: the leaderboard and the driver help page.
#include "requests.h"
#include "store.h"

#include <string>
#include <vector>

namespace scored {

std::string escapeHtml(const std::string &text);
std::string formatDuration(int32_t seconds);        // hh:mm:ss, hours grow past 99
std::string formatDate(int64_t secondsSince1970);    // yyyy-mm-dd, UTC

struct Board {
    Game game;
    std::vector<Entry> entries;                      // best first
};
std::string leaderboardPage(const std::vector<Board> &boards); // one table per board
std::string driverPage();                             // getting accelerated OpenGL on Linux

} // namespace scored
