#pragma once
// The leaderboard as JSON for other sites and tools: what the page shows, row by row.
#include "pages.h"

#include <string>
#include <vector>

namespace scored {

constexpr const char *kFeedPath = "/scores.json";

std::string jsonString(const std::string &text);        // quoted and escaped
std::string scoresFeed(const std::vector<Board> &boards);

} // namespace scored
