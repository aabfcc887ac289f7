#include "online.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <ctime>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "KGraphic.h"
#include "KMiscTools.h"
#include "KWeb.h"
#include "KWindow.h"
#include "game.h"
#include "protocol.h"
#include "record.h"
#include "scorehost.h"
#include "storage.h"

bool gOnlineScores = false;
static bool previousState = false;   // the server's answer for the current game
const char *scoreServerHost = BROLIX_SCORE_HOST;

namespace {

using Clock = std::chrono::steady_clock;

const size_t urlSize = 260;         // a question's URL longer than this is cut to 259 characters
const float waitAlpha = 0.8f;
// A ticket waits this long to be used; after a failed fetch, the next waits this long.
const auto ticketFreshness = std::chrono::hours(1);   // by the local clock, on disk too
const auto fetchRetry = std::chrono::seconds(30);
const int keptRecordSlots = 16;     // records kept for a busy server; when all are full the first is replaced

// The server-wait picture, its lower right corner on the screen's, put on screen at once.
// The submission shows it on whole pixels and inset. Without the picture there is
// nothing to show and no frame to present.
void showServerWait(bool inset) {
    if (!surf_internet)
        return;
    float w = surf_internet->getWidth(), h = surf_internet->getHeight();
    if (inset) {
        w = float(int(w));
        h = float(int(h));
    }
    const float x1 = inset ? 4 : 0, y1 = inset ? 4 : 0, x2 = inset ? w - 4 : w, y2 = inset ? h - 8 : h;
    surf_internet->blitAlphaRectFx(x1, y1, x2, y2, int16_t(640 - w), int16_t(480 - h), 0, 1, waitAlpha);
    KWindow::flipBackBuffer(true);
}

std::string serverURL(const std::string &pathAndQuery) {
    return "http://" + std::string(scoreServerHost) + pathAndQuery;
}

// ------------------------------------------------------------ kept records ----

// A record the server could not take yet: its submission's path and query on the first
// line, the record after it.
std::string keptPath(int slot) { return keptRecordFolder() + "/unsent" + std::to_string(slot) + ".brxs"; }

std::mutex keptLock;                // the foreground and the background never send one twice

enum class Sent { taken, refused, unknown, later };

// A submission with its record: taken, refused for good (said why), unknown to a server
// from before records, or for later (no answer, or a busy server).
Sent sendRecord(const std::string &target, const std::string &record) {
    KWeb web;
    const char *reply = web.postURL(serverURL(target).c_str(), record, false);
    if (reply && web.status() == 200)
        return Sent::taken;
    if (!reply || web.status() == 503 || web.status() == 429)
        return Sent::later;
    if (web.status() == 404)
        return Sent::unknown;
    std::fprintf(stderr, "brolix: the score server refused the game's record (%ld): %.*s\n", web.status(),
                 int(std::min<size_t>(std::strcspn(reply, "\n"), 200)), reply);
    return Sent::refused;
}

void keep(const std::string &target, const std::string &record) {
    makeFolders(keptRecordFolder());
    int slot = 0;
    for (int i = 0; i < keptRecordSlots; i++)
        if (access(keptPath(i).c_str(), F_OK) != 0) {
            slot = i;
            break;
        }
    const std::string bytes = target + "\n" + record;
    if (!writeFileAtomically(keptPath(slot).c_str(), bytes.data(), bytes.size()))
        std::fprintf(stderr, "brolix: cannot keep the game's record in %s; its score is lost\n", keptPath(slot).c_str());
}

// Sends what was kept, oldest slot first, until the server is busy again.
void sendKept() {
    std::lock_guard<std::mutex> hold(keptLock);
    for (int slot = 0; slot < keptRecordSlots; slot++) {
        std::string bytes;
        if (readRegularFile(keptPath(slot), bytes, recordByteCap + urlSize * 4))
            continue;
        const size_t line = bytes.find('\n');
        if (line == std::string::npos || bytes.compare(0, std::strlen(protocol::recordPath), protocol::recordPath) != 0) {
            unlink(keptPath(slot).c_str()); // not one of ours
            continue;
        }
        if (sendRecord(bytes.substr(0, line), bytes.substr(line + 1)) == Sent::later)
            return; // busy still: the rest would wait as long
        unlink(keptPath(slot).c_str());
    }
}

// ---------------------------------------------------------------- tickets ----

struct Tickets {
    std::mutex lock;
    std::thread fetcher;
    bool fetching = false;
    std::string game;                 // the game the ready ticket, or the last fetch, is for
    std::string ready;                // a ticket not yet used, or empty
    Clock::time_point at;             // when it came, or the last fetch failed
    std::string current;              // the running game's
    ~Tickets() { waitForFetch(); }
    void waitForFetch() {
        if (fetcher.joinable())
            fetcher.join();
    }
} tickets;

// The ticket not yet used is kept on disk too, so that it serves the first game of the
// next start as well.
std::string nextTicketPath() { return keptRecordFolder() + "/next.ticket"; }

void keepNextTicket(const std::string &text) {
    makeFolders(keptRecordFolder());
    writeFileAtomically(nextTicketPath().c_str(), text.data(), text.size());
}

// A ticket kept by an earlier run for this game, fresh enough to be used; empty when none.
std::string keptTicket(const std::string &game) {
    std::string text;
    struct stat file {};
    if (stat(nextTicketPath().c_str(), &file) != 0 ||
        std::chrono::seconds(std::time(nullptr) - file.st_mtime) >= ticketFreshness ||
        readRegularFile(nextTicketPath(), text, protocol::ticketTextCap))
        return {};
    const std::optional<protocol::Ticket> ticket = protocol::parseTicket(text);
    return ticket && ticket->game == game ? text : "";
}

void fetchTicket(const std::string &game) {
    sendKept();
    KWeb web;
    const char *reply = web.callURL(serverURL(std::string(protocol::ticketPath) + "?" + protocol::gameKey + "=" + game).c_str(), false);
    const std::optional<protocol::Ticket> ticket =
        reply && web.status() == 200 ? protocol::parseTicket(reply) : std::nullopt;
    std::lock_guard<std::mutex> hold(tickets.lock);
    tickets.fetching = false;
    tickets.at = Clock::now();
    if (ticket && ticket->game == game && tickets.game == game) {
        tickets.ready = ticket->text();
        keepNextTicket(tickets.ready);
    }
}

} // namespace

std::string keptRecordFolder() { return KMiscTools::stateFolder(); }

void fetchTicketAhead(long gameMode, int32_t difficulty) {
    if (!gOnlineScores || !protocol::isOnlineMode(int(gameMode)))
        return;
    const std::string game = protocol::gameName(int(gameMode), difficulty);
    std::lock_guard<std::mutex> hold(tickets.lock);
    const Clock::time_point now = Clock::now();
    if (tickets.fetching)
        return;
    if (tickets.game == game && (tickets.ready.empty() ? now - tickets.at < fetchRetry : now - tickets.at < ticketFreshness))
        return;
    tickets.waitForFetch(); // finished, past its last use of the lock: only its return is left
    tickets.game = game;
    tickets.ready = keptTicket(game);
    tickets.at = now;
    if (!tickets.ready.empty())
        return;
    tickets.fetching = true;
    tickets.fetcher = std::thread(fetchTicket, game);
}

bool takeTicket(long gameMode, int32_t difficulty, uint32_t &seed) {
    std::lock_guard<std::mutex> hold(tickets.lock);
    tickets.current.clear();
    const std::optional<protocol::Ticket> ticket = protocol::parseTicket(tickets.ready);
    if (!ticket || ticket->game != protocol::gameName(int(gameMode), difficulty) ||
        Clock::now() - tickets.at >= ticketFreshness)
        return false;
    tickets.current = tickets.ready;
    tickets.ready.clear();
    unlink(nextTicketPath().c_str());
    seed = ticket->seed;
    return true;
}

std::string gameTicket() {
    std::lock_guard<std::mutex> hold(tickets.lock);
    return tickets.current;
}

void resumeTicket(const std::string &text, uint32_t seed) {
    const std::optional<protocol::Ticket> ticket = protocol::parseTicket(text);
    std::lock_guard<std::mutex> hold(tickets.lock);
    tickets.current = ticket && ticket->seed == seed ? text : "";
}

void waitForOnlineFetches() {
    std::thread fetcher;
    {
        std::lock_guard<std::mutex> hold(tickets.lock);   // the fetch takes it to finish
        fetcher.swap(tickets.fetcher);
    }
    if (fetcher.joinable())
        fetcher.join();
}

bool isOnlineScore(const char *description) {
    if (_gameMode == modeRelax)
        return false;
    if (_onlineProcessed)
        return previousState;
    if (!gOnlineScores)
        return false;
    _onlineProcessed = true;
    previousState = false;

    char url[urlSize];
    std::snprintf(url, sizeof url, "%s?%s=%s&%s=%d",
                  serverURL(_gameMode == modeMillion ? protocol::askTimePath : protocol::askPath).c_str(),
                  protocol::gameKey, description, protocol::askScoreKey, _realScore);
    showServerWait(false);
    KWeb web;
    const char *reply = web.callURL(url, false);
    previousState = web.status() == 200 && protocol::saysYes(reply);
    return previousState;
}

void submitOnlineScore(const char *name, const char *description) {
    using namespace protocol;
    if (_gameMode == modeRelax || !gOnlineScores)
        return;
    // Encoded: a space would make the URL invalid.
    const std::string encodedName = KWeb::escape(name && *name ? name : anonymousName);
    const std::string score = std::to_string(_realScore), ticket = gameTicket();
    const std::string query = std::string("?") + nameKey + "=" + encodedName + "&" + scoreKey + "=" + score + "&" +
                              computerKey + "=" + computer + "&" + gameKey + "=" + description;
    // The ticket goes only with the game it was fetched for.
    const std::optional<Ticket> parsed = parseTicket(ticket);
    const bool ticketed = parsed && parsed->seed == gameRecord.header.seed;
    const std::string target = recordPath + query + (ticketed ? std::string("&") + ticketKey + "=" + ticket : "");
    showServerWait(true);
    sendKept();
    const std::string record = writeRecord(gameRecord);
    std::lock_guard<std::mutex> hold(keptLock);
    const Sent sent = sendRecord(target, record);
    if (sent == Sent::later)
        keep(target, record);
    if (sent != Sent::unknown)
        return;
    // A server from before records keeps the score alone, unverified.
    KWeb web;
    web.callURL(serverURL(std::string(fewerIsBetter(_gameMode) ? submitTimePath : submitPath) + query).c_str(), false);
}
