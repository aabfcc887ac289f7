#include "storage.h"

#include <cstdio>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The process id keeps two running games from writing the same temporary file.
std::string temporaryNameFor(const std::string &path) {
    return path + ".tmp" + std::to_string(static_cast<long>(getpid()));
}

std::string folderOf(const std::string &path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool writeAndSync(const std::string &path, const void *data, size_t size) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(data, 1, size, file) == size;
    written = written && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    return std::fclose(file) == 0 && written;
}

// Makes the rename itself survive a power loss; a failure here loses nothing.
void syncFolder(const std::string &folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

} // namespace

bool writeFileAtomically(const char *path, const void *data, size_t size) {
    const std::string target = path;
    const std::string temporary = temporaryNameFor(target);
    if (!writeAndSync(temporary, data, size) || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

long readFileBytes(const char *path, void *data, size_t size) {
    FILE *file = std::fopen(path, "rb");
    if (!file) return -1;
    size_t count = std::fread(data, 1, size, file);
    // A folder opens but cannot be read: it counts as no file at all.
    bool unreadable = std::ferror(file) && count == 0;
    std::fclose(file);
    return unreadable ? -1 : static_cast<long>(count);
}
