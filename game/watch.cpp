#include "watch.h"

#include "game_local.h"
#include "storage.h"
#include "KInput.h"
#include "KWindow.h"

bool watchingRecord = false;

// A record of these rules is replayed once unseen first: what the server would refuse
// (frames after its game ended, inputs the game does not write) is not shown either.
bool loadRecordFile(const char *path, GameRecord &record, std::string &fault) {
    std::string bytes;
    if (const char *unread = readRegularFile(path, bytes, recordByteCap)) {
        fault = unread;
        return false;
    }
    if (!readRecordToWatch(bytes.data(), bytes.size(), record, fault)) return false;
    if (record.header.rules < rulesVersion) return true;
    replayRecord(record);
    fault = rewriteFault(bytes);
    return fault.empty();
}

// The watcher's own P stops the record where it is; the recorded game's pauses show as
// they were played. No button is lit: a record knows the pointer only as the rules read it.
static bool watchFrame(RecordPlayer &player, bool &held) {
    if (KInput::isPressed(K_VK_ESCAPE)) {
        KInput::waitForKeyRelease(K_VK_ESCAPE);
        return false;
    }
    if (KInput::isPressed(K_VK_P)) {
        held = !held;
        KInput::waitForKeyRelease(K_VK_P);
    }
    if (!held && !player.frame()) return false;
    FrameInput shown = player.input();
    shown.button = -1;
    showFrame(shown, held || gamePaused);
    return !KWindow::isQuit();
}

void watchRecord(const GameRecord &record) {
    watchingRecord = true;
    loadSession(record.header.mode);
    RecordPlayer player(record);
    ScrollTheGame();
    bool held = false;
    while (watchFrame(player, held)) {
    }
    endSession();
    watchingRecord = false;
}
