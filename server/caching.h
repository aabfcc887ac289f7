#pragma once
// Letting browsers and proxies keep the leaderboard and the feed for a few seconds, and
// ask again cheaply: a tag of the exact bytes, and the time of the newest change shown.
#include <cstdint>
#include <optional>
#include <string>

namespace scored {

constexpr int kFreshSeconds = 5;   // Cache-Control max-age of the page and the feed

// What a client sent to revalidate a copy it keeps.
struct Conditions {
    std::optional<std::string> ifNoneMatch;
    std::optional<std::string> ifModifiedSince;
};

std::string entityTag(const std::string &body);                 // strong, quoted
std::string httpDate(int64_t secondsSince1970);                 // IMF-fixdate, GMT
// Any of the three forms a recipient must accept; nothing for anything else.
std::optional<int64_t> parseHttpDate(const std::string &text);
// When the server started: a newer page template counts as a change too.
int64_t serverStarted();
// Whether the client's copy is this one: If-None-Match decides when sent, else If-Modified-Since.
bool unchanged(const Conditions &conditions, const std::string &etag, int64_t lastModified);

} // namespace scored
