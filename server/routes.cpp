#include "routes.h"

#include "pages.h"

#include <httplib.h>

#include <ctime>

namespace scored {

namespace {

const char *const kText = "text/plain; charset=utf-8";
const char *const kHtml = "text/html; charset=utf-8";
// Never says "yes": the game searches every reply for it.
const char *const kStoreFailed = "the score database failed, try again later";

Query queryOf(const httplib::Request &request) {
    return Query(request.params.begin(), request.params.end());
}

void refuse(httplib::Response &response, int status, const std::string &reason) {
    response.status = status;
    response.set_content(reason + "\n", kText);
}

void answerQuestion(Store &store, const httplib::Request &request, httplib::Response &response,
                    bool desc) {
    const Checked<Question> question = checkQuestion(queryOf(request), desc);
    if (!question.value)
        return refuse(response, 400, question.reason);
    const std::optional<bool> qualifies = store.qualifies(*question.value);
    if (!qualifies)
        return refuse(response, 503, kStoreFailed);
    response.set_content(*qualifies ? "yes" : "no", kText);
}

void takeSubmission(Store &store, const httplib::Request &request, httplib::Response &response,
                    bool desc) {
    const Checked<Submission> submission = checkSubmission(queryOf(request), desc);
    if (!submission.value)
        return refuse(response, 400, submission.reason);
    if (!store.add(*submission.value, int64_t(std::time(nullptr))))
        return refuse(response, 503, kStoreFailed);
    response.set_content("ok", kText);
}

void showLeaderboard(Store &store, httplib::Response &response) {
    std::vector<Board> boards;
    for (int mode = 0; mode < kModes; ++mode)
        for (int difficulty = 0; difficulty < kDifficulties; ++difficulty) {
            const Game game{mode, difficulty};
            std::optional<std::vector<Entry>> entries = store.top(game);
            if (!entries)
                return refuse(response, 503, kStoreFailed);
            boards.push_back({game, std::move(*entries)});
        }
    response.set_header("Cache-Control", "no-cache");
    response.set_content(leaderboardPage(boards), kHtml);
}

void showDownload(const httplib::Request &request, httplib::Response &response) {
    if (request.params.size() != 1 || request.get_param_value("name") != "nodriver")
        return refuse(response, 404, "no such download");
    response.set_content(driverPage(), kHtml);
}

} // namespace

void installRoutes(httplib::Server &server, Store &store) {
    using httplib::Request;
    using httplib::Response;
    using Handler = void (*)(Store &, const Request &, Response &, bool desc);
    // Patterns are regular expressions: the dots are escaped.
    const struct { const char *pattern; Handler handle; bool desc; } scoring[] = {
        {R"(/scoring/ishighscore\.php)", answerQuestion, false},
        {R"(/scoring/ishighscoredesc\.php)", answerQuestion, true},
        {R"(/scoring/scoresubmitter\.php)", takeSubmission, false},
        {R"(/scoring/scoresubmitterdesc\.php)", takeSubmission, true}};
    for (const auto &route : scoring) {
        const Handler handle = route.handle;
        const bool desc = route.desc;
        server.Get(route.pattern, [&store, handle, desc](const Request &rq, Response &rs) {
            handle(store, rq, rs, desc);
        });
    }
    server.Get("/", [&store](const Request &, Response &rs) { showLeaderboard(store, rs); });
    server.Get(R"(/download\.php)", showDownload);
    server.set_error_handler([](const Request &, Response &rs) {
        if (rs.body.empty())
            rs.set_content(rs.status == 404 ? "not found\n" : "request refused\n", kText);
    });
}

} // namespace scored
