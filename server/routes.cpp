#include "routes.h"

#include "pages.h"

#include <ctime>

namespace scored {

namespace {

const char *const kHtml = "text/html; charset=utf-8";
// Never says "yes": the game searches every reply for it.
const char *const kStoreFailed = "the score database failed, try again later";

struct Scoring {
    const char *path;
    bool submission;
    bool desc;
};
const Scoring kScoring[] = {
    {"/scoring/ishighscore.php", false, false},
    {"/scoring/ishighscoredesc.php", false, true},
    {"/scoring/scoresubmitter.php", true, false},
    {"/scoring/scoresubmitterdesc.php", true, true},
};

template <typename T> Work checked(const Checked<T> &check) {
    if (!check.value)
        return refusal(400, check.reason);
    return *check.value;
}

Work scoring(const Scoring &kind, const Query &query) {
    if (kind.submission)
        return checked(checkSubmission(query, kind.desc));
    return checked(checkQuestion(query, kind.desc));
}

Answer download(const Query &query) {
    if (query.size() != 1 || query.begin()->first != "name" || query.begin()->second != "nodriver")
        return refusal(404, "no such download");
    return {200, driverPage(), kHtml};
}

struct Performer {
    Store &store;

    Answer operator()(const Answer &answer) const { return answer; }
    Answer operator()(const Question &question) const {
        const std::optional<bool> qualifies = store.qualifies(question);
        if (!qualifies)
            return refusal(503, kStoreFailed);
        return {200, *qualifies ? "yes" : "no"};
    }
    bool stored; // the batch's submissions

    Answer operator()(const Submission &) const { return stored ? Answer{200, "ok"} : refusal(503, kStoreFailed); }
    Answer operator()(const Leaderboard &) const {
        std::vector<Board> boards;
        for (int mode = 0; mode < kModes; ++mode)
            for (int difficulty = 0; difficulty < kDifficulties; ++difficulty) {
                const Game game{mode, difficulty};
                std::optional<std::vector<Entry>> entries = store.top(game);
                if (!entries)
                    return refusal(503, kStoreFailed);
                boards.push_back({game, std::move(*entries)});
            }
        return {200, leaderboardPage(boards), kHtml};
    }
};

} // namespace

Answer refusal(int status, const std::string &reason) {
    return {status, reason + "\n"};
}

Work route(const Request &request) {
    // The game's requests carry no body: refuse one before a byte of it is read.
    if (request.hasBody)
        return refusal(413, "a request must not carry a body");
    if (request.method != "GET")
        return refusal(405, "only GET requests are answered");
    for (const Scoring &kind : kScoring)
        if (request.path == kind.path)
            return scoring(kind, request.query);
    if (request.path == "/")
        return Leaderboard{};
    if (request.path == "/download.php")
        return download(request.query);
    return refusal(404, "not found");
}

std::vector<Answer> perform(const std::vector<const Work *> &works, Store &store) {
    std::vector<Submission> submissions;
    for (const Work *work : works)
        if (const Submission *submission = std::get_if<Submission>(work))
            submissions.push_back(*submission);
    const bool stored = submissions.empty() || store.add(submissions, int64_t(std::time(nullptr)));
    std::vector<Answer> answers;
    for (const Work *work : works)
        answers.push_back(std::visit(Performer{store, stored}, *work));
    return answers;
}

} // namespace scored
