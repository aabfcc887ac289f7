#include "watch.h"

#include "game_local.h"
#include "storage.h"
#include "KInput.h"
#include "KWindow.h"

bool watchingRecord = false;

bool loadRecordFile(const char *path, GameRecord &record, std::string &fault) {
    std::string bytes;
    if (const char *unread = readWholeFile(path, bytes)) {
        fault = unread;
        return false;
    }
    return readRecord(bytes.data(), bytes.size(), record, fault);
}

// The watcher's own P stops the record where it is; the recorded game's pauses show as
// they were played.
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
    showFrame(player.input(), held || gamePaused);
    return !KWindow::isQuit();
}

void watchRecord(const GameRecord &record) {
    watchingRecord = true;
    loadSession(record.header.mode);
    RecordPlayer player(record);
    bool held = false;
    while (watchFrame(player, held)) {
    }
    endSession();
    watchingRecord = false;
}
