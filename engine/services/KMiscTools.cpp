#include "KMiscTools.h"

#include "KCatalog.h"

#include <SDL.h>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "KPlatform.h"

char KMiscTools::currentFilePath[KMiscTools::PATH_SIZE] = "";
int64_t KMiscTools::_unitsPerSecond = 0;
KLog KMiscTools::_kLog(K_LOG_NONE);

namespace {
char filePathResult[KMiscTools::PATH_SIZE];

// Append text to a path buffer, cutting it at the buffer's end.
void appendCut(char (&buffer)[KMiscTools::PATH_SIZE], const char *text) {
    size_t used = std::strlen(buffer);
    size_t length = strnlen(text, sizeof(buffer) - 1 - used);
    std::memcpy(buffer + used, text, length);
    buffer[used + length] = '\0';
}

// Cut a full file name to its folder. A folder that is the root itself becomes
// empty, so that "%s/%s" still names a file in the root.
void cutToFolder(char *path) {
    char *lastSlash = std::strrchr(path, '/');
    if (lastSlash)
        *lastSlash = '\0';
}

bool isFolder(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string besideData() { return std::string(KMiscTools::getGameFolder()) + "/data"; }

// The data folder of an installed game (BROLIX_INSTALLED_DATA is relative to the
// executable's folder), or empty when a data folder beside the executable wins or
// there is none installed.
std::string installedData() {
    if (isFolder(besideData()))
        return "";
    char resolved[PATH_MAX];
    const std::string path = std::string(KMiscTools::getGameFolder()) + "/" BROLIX_INSTALLED_DATA;
    return realpath(path.c_str(), resolved) && isFolder(resolved) ? resolved : "";
}

// As this process writes (effective ids and capabilities), not as its real user.
bool isWritable(const std::string &path) { return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0; }

bool isDataName(const char *name) { return std::strncmp(name, "data", 4) == 0 && (name[4] == '\\' || name[4] == '/'); }

// An XDG base folder ($XDG_DATA_HOME, $XDG_STATE_HOME), by default the given folder
// below the home; empty when there is no home at all.
std::string userFolder(const char *variable, const char *belowHome) {
    const char *xdg = std::getenv(variable);
    if (xdg && xdg[0] == '/')
        return xdg;
    const char *home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd *user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home && home[0] == '/' ? std::string(home) + belowHome : "";
}

std::string userDataHome() { return userFolder("XDG_DATA_HOME", "/.local/share"); }

void toSlashes(char *path) {
    for (char *c = path; *c; c++) {
        if (*c == '\\')
            *c = '/';
    }
}
}  // namespace

void KMiscTools::initMiscTools() {
    char exe[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (length <= 0) {
        std::strcpy(currentFilePath, ".");   // /proc missing: the working folder
    } else {
        exe[length] = '\0';
        cutToFolder(exe);
        currentFilePath[0] = '\0';
        appendCut(currentFilePath, exe);
    }
    initMillisecond();
}

char *KMiscTools::makeFilePath(const char *fileName) {
    filePathResult[0] = '\0';
    if (currentFilePath[0] == '\0')
        initMiscTools();
    if (fileName[0] == '\\' || fileName[0] == ':' || fileName[0] == '/')
        fileName++;
    const std::string installed = isDataName(fileName) ? installedData() : "";
    if (installed.empty()) {
        appendCut(filePathResult, currentFilePath);
        appendCut(filePathResult, "/");
    } else {
        appendCut(filePathResult, installed.c_str());
        fileName += 4;   // "data"; its separator stays
    }
    appendCut(filePathResult, fileName);
    toSlashes(filePathResult);
    return filePathResult;
}

bool KMiscTools::savesPerUser() {
    if (currentFilePath[0] == '\0')
        initMiscTools();
    const std::string data = besideData();
    if (isFolder(data))
        return !isWritable(currentFilePath) || !isWritable(data);
    return !installedData().empty();
}

char *KMiscTools::makeSavePath(const char *fileName) {
    const std::string folder = savesPerUser() ? userDataHome() : "";
    if (folder.empty())
        return makeFilePath(fileName);
    const char *name = fileName + std::strlen(fileName);
    while (name > fileName && name[-1] != '\\' && name[-1] != '/')
        name--;
    filePathResult[0] = '\0';
    appendCut(filePathResult, (folder + "/brolix/").c_str());
    appendCut(filePathResult, name);
    return filePathResult;
}

std::string KMiscTools::stateFolder() {
    const std::string state = savesPerUser() ? userFolder("XDG_STATE_HOME", "/.local/state") : "";
    if (!state.empty())
        return state + "/brolix";
    const std::string save = makeSavePath("state");
    return save.substr(0, save.find_last_of('/'));
}

void KMiscTools::messageBox(const char *title, const char *text) { KPlatform::calls.messageBox(title, text); }

void KMiscTools::nativeMessageBox(const char *title, const char *text) {
    // Owned by whatever window of ours has the keyboard, like a foreground owner.
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, SDL_GetKeyboardFocus()) != 0)
        std::fprintf(stderr, "%s: %s\n", title, text);   // no display to show it on
}

const char *KMiscTools::getGameFolder() { return currentFilePath; }

void KMiscTools::setGameFolder(const char *folder) {
    currentFilePath[0] = '\0';
    if (folder)
        appendCut(currentFilePath, folder);
}

uint32_t KMiscTools::getTheTicks() { return getMilliseconds(); }

uint32_t KMiscTools::getMilliseconds() {
    if (_unitsPerSecond <= 0)
        initMillisecond();
    timespec now;
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        return 0;
    // The counter is in nanoseconds; split the division so it never overflows.
    uint64_t counter = uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
    uint64_t units = uint64_t(_unitsPerSecond);
    uint64_t milliseconds = counter / units * 1000u + counter % units * 1000u / units;
    return uint32_t(milliseconds);
}

void KMiscTools::initMillisecond() { _unitsPerSecond = 1000000000; }

int32_t KMiscTools::getYear() {
    time_t now = std::time(nullptr);
    tm local;
    if (!localtime_r(&now, &local))
        return 0;
    return local.tm_year + 1900;
}

void KMiscTools::launchURL(const char *url, bool maximised) { KPlatform::calls.launchURL(url, maximised); }

void KMiscTools::nativeLaunchURL(const char *url, bool maximised) {
    (void)maximised;   // the desktop's opener decides the window size
    if (SDL_OpenURL(url) != 0)
        std::fprintf(stderr, _("brolix: could not open %s (%s)\n"), url, SDL_GetError());
}
