#include "KMiscTools.h"

#include <SDL.h>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

char KMiscTools::currentFilePath[KMiscTools::PATH_SIZE] = "";
int64_t KMiscTools::_unitsPerSecond = 0;
KLog KMiscTools::_kLog(K_LOG_NONE);

namespace {
char filePathResult[KMiscTools::PATH_SIZE];

void showSdlMessageBox(const char *title, const char *text) {
    // Owned by whatever window of ours has the keyboard, like a foreground owner.
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, SDL_GetKeyboardFocus()) != 0)
        std::fprintf(stderr, "%s: %s\n", title, text);   // no display to show it on
}

KMiscTools::MessageBoxHook messageBoxHook = showSdlMessageBox;

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
    appendCut(filePathResult, currentFilePath);
    appendCut(filePathResult, "/");
    appendCut(filePathResult, fileName);
    for (char *c = filePathResult; *c; c++) {
        if (*c == '\\')
            *c = '/';
    }
    return filePathResult;
}

void KMiscTools::messageBox(const char *title, const char *text) { messageBoxHook(title, text); }

KMiscTools::MessageBoxHook KMiscTools::setMessageBoxHook(MessageBoxHook hook) {
    MessageBoxHook previous = messageBoxHook;
    messageBoxHook = hook ? hook : showSdlMessageBox;
    return previous;
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

void KMiscTools::launchURL(const char *url, bool maximised) {
    (void)maximised;   // the desktop's opener decides the window size
    SDL_OpenURL(url);
}
