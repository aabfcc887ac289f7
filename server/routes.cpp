#include "routes.h"

#include "feed.h"
#include "pages.h"
#include "replays.h"

#include <algorithm>
#include <ctime>

namespace scored {

namespace {

const char *const kHtml = "text/html; charset=utf-8";
const char *const kJson = "application/json";
// Never says "yes": the game searches every reply for it.
const char *const kStoreFailed = "the score database failed, try again later";

struct Scoring {
    const char *path;
    bool submission;
    bool desc;
};
const Scoring kScoring[] = {
    {protocol::askPath, false, false},
    {protocol::askTimePath, false, true},
    {protocol::submitPath, true, false},
    {protocol::submitTimePath, true, true},
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

// The record path takes a POST whose body is the record, length announced.
Work recordClaim(const Request &request) {
    if (request.method != "POST") {
        Answer refused = refusal(405, "a record is sent with POST");
        refused.allow = "POST";
        return refused;
    }
    if (request.length < 0)
        return refusal(411, "a record must come with its length");
    if (request.length > static_cast<long long>(recordByteCap))
        return refusal(413, "the record is longer than the largest record (" + std::to_string(recordByteCap) +
                                " bytes)");
    const Checked<Submission> check = checkRecordSubmission(request.query);
    if (!check.value)
        return refusal(400, check.reason);
    return RecordClaim{*check.value};
}

// The value of a query that holds this key and nothing else; nullptr otherwise.
const std::string *onlyValue(const Query &query, const std::string &key) {
    return query.size() == 1 && query.begin()->first == key ? &query.begin()->second : nullptr;
}

Work recordDownload(const Query &query) {
    const std::string *value = onlyValue(query, protocol::idKey);
    const std::optional<int32_t> id = value ? parseScore(*value) : std::nullopt;
    if (!id)
        return refusal(404, "no such record");
    return RecordDownload{*id};
}

Work ticketRequest(const Query &query) {
    const std::string *value = onlyValue(query, protocol::gameKey);
    const std::optional<Game> game = value ? parseGameName(*value) : std::nullopt;
    if (!game)
        return refusal(400, "a ticket is asked for one online game: gamename=brolix<mode>dif<difficulty>");
    return TicketRequest{*game};
}

std::vector<Game> allGames() {
    std::vector<Game> games;
    for (int mode = 0; mode < protocol::modes; ++mode)
        for (int difficulty = 0; protocol::isOnlineMode(mode) && difficulty < protocol::difficulties; ++difficulty)
            games.push_back({mode, difficulty});
    return games;
}

// Every game, or the one ?gamename= names.
Work feed(const Request &request) {
    Leaderboard shown{allGames(), request.conditions, true};
    if (request.query.empty())
        return shown;
    const std::string *value = onlyValue(request.query, protocol::gameKey);
    if (!value)
        return refusal(400, "the feed takes gamename alone");
    const std::optional<Game> game = parseGameName(*value);
    if (!game)
        return refusal(404, "unknown game name");
    shown.games = {*game};
    return shown;
}

Answer download(const Query &query) {
    const std::string *value = onlyValue(query, "name");
    if (!value || *value != "nodriver")
        return refusal(404, "no such download");
    return {200, driverPage(), kHtml};
}

struct Performer {
    Store &store;
    const TicketSigner &signer;
    int64_t now;

    Answer operator()(const Answer &answer) const { return answer; }
    Answer operator()(const Question &question) const {
        const std::optional<bool> qualifies = store.qualifies(question);
        if (!qualifies)
            return refusal(503, kStoreFailed);
        return {200, *qualifies ? protocol::yes : protocol::no};
    }
    // The batch's submissions, in order: each stored, or refused as a copy; none when the database failed.
    const std::optional<std::vector<bool>> &stored;
    mutable size_t nextSubmission = 0;

    Answer operator()(const Submission &) const {
        if (!stored)
            return refusal(503, kStoreFailed);
        if (!(*stored)[nextSubmission++])
            return refusal(409, "this game is on the leaderboard already: its ticket or its record was used before");
        return {200, protocol::ok};
    }
    // A seed never ranked in its game yet: a clash would refuse an honest game.
    Answer operator()(const TicketRequest &request) const {
        for (;;) {
            const std::string bytes = randomBytes(4);
            uint32_t seed = 0;
            for (const char b : bytes)
                seed = seed << 8 | uint8_t(b);
            const std::optional<bool> taken = store.seedRanked(request.game, seed);
            if (bytes.size() != 4 || !taken)
                return refusal(503, kStoreFailed);
            if (!*taken)
                return {200, signer.issue(request.game, seed, now).text()};
        }
    }
    Answer operator()(const RecordClaim &) const { return refusal(500, "the record was not replayed"); }
    Answer operator()(const RecordDownload &download) const {
        const std::optional<std::string> record = store.record(download.id);
        if (!record)
            return refusal(503, kStoreFailed);
        if (record->empty())
            return refusal(404, "no such record");
        Answer answer{200, *record, kRecordType};
        answer.attachment = recordFileName(download.id);
        return answer;
    }
    Answer operator()(const Leaderboard &shown) const {
        std::vector<Board> boards;
        for (const Game &game : shown.games) {
            std::optional<std::vector<Entry>> entries = store.top(game);
            if (!entries)
                return refusal(503, kStoreFailed);
            boards.push_back({game, std::move(*entries)});
        }
        Answer answer = shown.feed ? Answer{200, scoresFeed(boards), kJson} : Answer{200, leaderboardPage(boards), kHtml};
        answer.etag = entityTag(answer.body);
        answer.lastModified = serverStarted();
        for (const Board &board : boards)
            for (const Entry &entry : board.entries)
                answer.lastModified = std::max(answer.lastModified, entry.submitted);
        // Never later than now: a score may be stamped before the clock was set back.
        answer.lastModified = std::min(answer.lastModified, int64_t(std::time(nullptr)));
        if (unchanged(shown.conditions, answer.etag, answer.lastModified)) {
            answer.status = 304;
            answer.body.clear();
        }
        return answer;
    }
};

} // namespace

Answer refusal(int status, const std::string &reason) {
    return {status, reason + "\n"};
}

Work route(const Request &request) {
    // Framing two readers could take apart differently: a proxy in front would see
    // another request than this server, the one hidden in the body.
    if (request.lengths > 1 || (request.lengths > 0 && request.transferEncodings > 0)) {
        Answer refused = refusal(400, request.lengths > 1 ? "more than one Content-Length"
                                                         : "both Content-Length and Transfer-Encoding");
        refused.close = true;
        return refused;
    }
    if (request.path == protocol::recordPath)
        return recordClaim(request);
    // The game's other requests carry no body: refuse one before a byte of it is read.
    if (request.hasBody)
        return refusal(413, "a request must not carry a body");
    if (request.method != "GET")
        return refusal(405, "only GET requests are answered");
    for (const Scoring &kind : kScoring)
        if (request.path == kind.path)
            return scoring(kind, request.query);
    if (request.path == "/")
        return Leaderboard{allGames(), request.conditions};
    if (request.path == kFeedPath)
        return feed(request);
    if (request.path == protocol::recordDownloadPath)
        return recordDownload(request.query);
    if (request.path == protocol::ticketPath)
        return ticketRequest(request.query);
    if (request.path == "/download.php")
        return download(request.query);
    return refusal(404, "not found");
}

std::vector<Answer> perform(const std::vector<const Work *> &works, Store &store, const TicketSigner &signer,
                            int64_t now) {
    std::vector<Submission> submissions;
    for (const Work *work : works)
        if (const Submission *submission = std::get_if<Submission>(work))
            submissions.push_back(*submission);
    const std::optional<std::vector<bool>> stored =
        submissions.empty() ? std::vector<bool>() : store.add(submissions, now);
    const Performer performer{store, signer, now, stored};
    std::vector<Answer> answers;
    for (const Work *work : works)
        answers.push_back(std::visit(performer, *work));
    return answers;
}

} // namespace scored
