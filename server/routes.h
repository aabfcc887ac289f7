#pragma once
// The server's requests: the score question and submission (points and time
// variants), the leaderboard at "/" and the driver help page. Deciding what a
// request asks for is kept apart from the store's work, which may wait on the disk.
#include "requests.h"
#include "store.h"
#include "tickets.h"

#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace scored {

struct Answer {
    Answer() = default;
    Answer(int status_, std::string body_, const char *type_ = "text/plain; charset=utf-8")
        : status(status_), body(std::move(body_)), type(type_) {}
    int status = 200;
    std::string body;
    const char *type = "text/plain; charset=utf-8";
    int retryAfter = 0;      // seconds, told with a 503 that will pass
    std::string attachment;  // a file name: the body is a download
    const char *allow = "GET"; // the method a 405 names
    bool close = false;      // the connection must not carry another request
};

struct Request {
    std::string method;
    std::string path;        // decoded, without the query
    Query query;
    bool hasBody = false;    // the client announced a body
    long long length = -1;   // its announced length; -1 none or unknown (chunked)
    int lengths = 0;         // Content-Length headers
    int transferEncodings = 0;
};

struct Leaderboard {};
// A submission whose record is still to come and be replayed.
struct RecordClaim {
    Submission submission;
};
struct RecordDownload {
    int64_t id = 0;
};
struct TicketRequest {
    Game game;
};
// An answer ready at once, or what the replay or the store must do first.
using Work = std::variant<Answer, Question, Submission, Leaderboard, RecordClaim, RecordDownload, TicketRequest>;

Answer refusal(int status, const std::string &reason);  // the reason as one line of text
Work route(const Request &request);
// One answer per work, in order; the submissions among them are stored with one commit.
// 503 when the database fails. Tickets are signed with the signer, at time now.
std::vector<Answer> perform(const std::vector<const Work *> &works, Store &store, const TicketSigner &signer,
                            int64_t now);

} // namespace scored
