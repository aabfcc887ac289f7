#pragma once
// The server's requests: the score question and submission (points and time
// variants), the leaderboard at "/" and the driver help page. Deciding what a
// request asks for is kept apart from the store's work, which may wait on the disk.
#include "rules.h"
#include "store.h"

#include <string>
#include <variant>
#include <vector>

namespace scored {

struct Answer {
    int status = 200;
    std::string body;
    const char *type = "text/plain; charset=utf-8";
};

struct Request {
    std::string method;
    std::string path;        // decoded, without the query
    Query query;
    bool hasBody = false;    // the client announced a body
};

struct Leaderboard {};
// An answer ready at once, or what the store must do first.
using Work = std::variant<Answer, Question, Submission, Leaderboard>;

Answer refusal(int status, const std::string &reason);  // the reason as one line of text
Work route(const Request &request);
// One answer per work, in order; the submissions among them are stored with one commit.
// 503 when the database fails.
std::vector<Answer> perform(const std::vector<const Work *> &works, Store &store);

} // namespace scored
