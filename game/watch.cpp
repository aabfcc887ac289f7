#include "watch.h"

#include <fstream>
#include <iterator>

#include "game_local.h"
#include "KInput.h"
#include "KWindow.h"

bool watchingRecord = false;

bool loadRecordFile(const char *path, GameRecord &record, std::string &fault) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fault = "cannot be opened";
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        fault = "cannot be read";
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
    if (held || gamePaused)
        drawPause(player.input());
    else
        drawPlay(player.input());
    playCues();
    KWindow::flipBackBuffer(true);
    KWindow::processEvents();
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
