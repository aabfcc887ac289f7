#pragma once
#include <cstdint>
#include <string>
#include "KLog.h"

// The engine's toolbox: paths beside the executable, clocks, message boxes,
// the year, opening URLs. Everything is class-wide; one thread only.
// A data folder beside the executable wins (build folder, portable copy); without
// one, an installed game reads the data folder installed relative to it.
class KMiscTools {
public:
    enum { PATH_SIZE = 260 };   // path buffers hold 259 characters and the end mark

    static void initMiscTools();                        // find the executable's folder, start the clock; without /proc the working folder
    static char *makeFilePath(const char *fileName);    // folder + '/' + name in one shared buffer (overwritten by each call); "data\\..." names the data folder in use; cut at PATH_SIZE - 1 characters
    static char *makeSavePath(const char *fileName);    // a file the game writes: as makeFilePath, or its bare name in the per-user folder; same buffer
    static std::string stateFolder();                   // what may be lost without harm (a game in progress): $XDG_STATE_HOME/brolix, or the saves' folder when they stay beside the executable
    static bool savesPerUser();                         // saves go to $XDG_DATA_HOME/brolix: installed data, or a folder beside that cannot be written
    static void messageBox(const char *title, const char *text);  // modal OK box, title first; without a display, one line on standard error
    static uint32_t getTheTicks();                      // same as getMilliseconds
    static uint32_t getMilliseconds();                  // monotonic milliseconds, wraps at 2^32
    static void initMillisecond();                      // read the clock's units per second
    static int32_t getYear();                           // current year of the local time; 0 when it cannot be read
    static void launchURL(const char *url, bool maximised);  // open in the user's default application, no wait; a failure is said on standard error
    // The folder the game's files are named from, no trailing '/'; empty until initMiscTools.
    static const char *getGameFolder();
    // Names the game's files from another folder (a test's or a benchmark's scratch copy),
    // cut to the buffer; nullptr or "" goes back to the executable's folder.
    static void setGameFolder(const char *folder);

private:
    static char currentFilePath[PATH_SIZE];   // see getGameFolder
    static int64_t _unitsPerSecond;           // clock units per second
    static KLog _kLog;                        // the engine's log (no files)

    static void nativeMessageBox(const char *title, const char *text);   // the real calls, behind KPlatform's table
    static void nativeLaunchURL(const char *url, bool maximised);
    friend struct KPlatform;
};
