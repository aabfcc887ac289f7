#include "journal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "game_local.h"
#include "online.h"
#include "protocol.h"
#include "record.h"
#include "storage.h"
#include "KMiscTools.h"

namespace {

const uint32_t flushEveryMs = 500;

int file = -1;                  // the open journal; -1 while none is written
std::string openPath;
size_t eventsWritten = 0;       // of gameRecord.events
uint32_t lastStamp = 0;         // the last frame stamp written
bool downWritten = false;       // the left button as last written
uint32_t lastFlushMs = 0;
bool wasPaused = false;
bool unwritable = false;        // said once; the session plays on without a journal

void writeAll(const std::string &bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(file, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;   // a full disk: the game goes on, the journal stays behind
        done += size_t(n);
    }
}

void noteWritten(const RecordEvent &e, std::string &out) {
    writeRecordInput(out, e);
    lastStamp = e.frame;
    if (e.input == RecordInput::down) downWritten = e.value;
}

// The frames played since the last input count too: the left button, as it stands,
// stamped on the last frame played, marks how far the game went.
void appendPending(std::string &out) {
    for (; eventsWritten < gameRecord.events.size(); eventsWritten++) noteWritten(gameRecord.events[eventsWritten], out);
    if (frameCount > gameRecord.header.startFrame && frameCount - 1 > lastStamp)
        noteWritten({frameCount - 1, RecordInput::down, downWritten}, out);
}

// A new journal of the game so far.
// The game's seed ticket beside its journal, so that a resumed game still ranks.
std::string ticketPath(const std::string &journal) { return journal + ".ticket"; }

void startJournal() {
    openPath = journalPath(_gameMode, gameDifficulty);
    makeFolders(openPath.substr(0, openPath.find_last_of('/')));
    const std::string ticket = gameTicket();
    if (ticket.empty() || !writeFileAtomically(ticketPath(openPath).c_str(), ticket.data(), ticket.size()))
        unlink(ticketPath(openPath).c_str());
    file = open(openPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    eventsWritten = 0, lastStamp = gameRecord.header.startFrame, downWritten = false;
    if (file < 0) {
        unwritable = true;
        std::fprintf(stderr, "brolix: cannot write %s (%s); this game cannot be resumed\n", openPath.c_str(), std::strerror(errno));
        return;
    }
    writeAll(writeRecordHeader(gameRecord.header));
}

void removeJournal() {
    if (file < 0) return;
    close(file);
    file = -1;
    unlink(openPath.c_str());
    unlink(ticketPath(openPath).c_str());
}

void setAside(const std::string &path, const std::string &fault) {
    const std::string aside = path + ".bad-" + std::to_string(long(std::time(nullptr)));
    std::rename(path.c_str(), aside.c_str());
    unlink(ticketPath(path).c_str());
    std::fprintf(stderr, "brolix: %s: %s; set aside as %s, a new game starts\n", path.c_str(), fault.c_str(), aside.c_str());
}

// Paused as a player pauses, so the record replays to the same pause.
void pauseResumed() {
    FrameInput in;
    in.p = true;
    in.clock = minutesOfDay();
    stepFrame(in, [] { return false; });
    Cue dropped[maxCues];
    takeCues(dropped);
}

} // namespace

std::string journalPath(long gameMode, int32_t difficulty) {
    return KMiscTools::stateFolder() + "/brolix" + std::to_string(gameMode) + "dif" + std::to_string(difficulty) + ".journal";
}

bool resumeJournal(long gameMode, int32_t difficulty) {
    const std::string path = journalPath(gameMode, difficulty);
    std::string bytes, error;
    if (const char *unread = readRegularFile(path, bytes, recordByteCap)) {
        if (std::strcmp(unread, "cannot be opened") != 0) setAside(path, unread);
        return false;
    }
    GameRecord record;
    if (!readRecordInProgress(bytes.data(), bytes.size(), record, error)) {
        setAside(path, error);
        return false;
    }
    if (record.header.mode != gameMode || record.header.difficulty != difficulty) {
        setAside(path, "a game of another mode or difficulty");
        return false;
    }
    if (replayRecord(record).pastTheEnd) {
        setAside(path, "inputs after the end of its game");
        return false;
    }
    if (playEnded()) {
        unlink(path.c_str());   // nothing left to play
        return false;
    }
    std::string ticket;
    readRegularFile(ticketPath(path), ticket, protocol::ticketTextCap);
    resumeTicket(ticket, record.header.seed);
    if (!gamePaused) pauseResumed();
    wasPaused = true;
    startJournal();
    flushJournal();
    return true;
}

void flushJournal() {
    if (file < 0 && !unwritable) startJournal();
    if (file < 0) return;
    std::string out;
    appendPending(out);
    writeAll(out);
    fdatasync(file);
    lastFlushMs = KMiscTools::getMilliseconds();
}

void keepJournal() {
    if (playEnded()) return removeJournal();
    const bool paused = gamePaused && !wasPaused;
    wasPaused = gamePaused;
    if ((file < 0 && !unwritable) || paused || KMiscTools::getMilliseconds() - lastFlushMs >= flushEveryMs) flushJournal();
}

void closeJournal(bool keep) {
    if (keep && !playEnded() && file >= 0) {
        flushJournal();
        close(file);
        file = -1;
    }
    removeJournal();
    wasPaused = unwritable = false;
}
