#include "storage.h"

#include "KCatalog.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "KMiscTools.h"

namespace {

const char kTemporaryMark[] = ".tmp";

// The process id keeps two running games from writing the same temporary file.
std::string temporaryNameFor(const std::string &path) {
    return path + kTemporaryMark + std::to_string(static_cast<long>(getpid()));
}

std::string folderOf(const std::string &path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string &path) { return path.substr(path.find_last_of('/') + 1); }

// The file a save replaces: links are followed, so a linked save stays a link.
std::string followLinks(std::string path) {
    char target[PATH_MAX];
    for (int hops = 0; hops < 40; hops++) {
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length < 0) break;
        target[length] = '\0';
        path = target[0] == '/' ? std::string(target) : folderOf(path) + "/" + target;
    }
    return path;
}

bool writeAndSync(const std::string &path, const void *data, size_t size, const std::string &replaced) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    struct stat old;
    if (stat(replaced.c_str(), &old) == 0) fchmod(fileno(file), old.st_mode & 07777);
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

// "NAME.tmpPID" left by a save that was killed; the file of a process that still
// runs may be a save in progress.
bool isStaleTemporary(const std::string &name, const std::string &prefix) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 9 || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::string pid = name.substr(prefix.size());
    if (pid.find_first_not_of("0123456789") != std::string::npos) return false;
    const pid_t id = pid_t(std::stol(pid));
    return id == getpid() || (kill(id, 0) != 0 && errno == ESRCH);
}

void removeStaleTemporaries(const std::string &path) {
    const std::string folderName = folderOf(path), prefix = nameOf(path) + kTemporaryMark;
    DIR *folder = opendir(folderName.c_str());
    if (!folder) return;
    while (const dirent *entry = readdir(folder))
        if (isStaleTemporary(entry->d_name, prefix)) unlink((folderName + "/" + entry->d_name).c_str());
    closedir(folder);
}

// Said once per file and run: a failing file would otherwise speak at every save.
void reportOnce(const std::string &path, const char *format, int error) {
    static std::set<std::string> reported;
    if (reported.insert(path).second) std::fprintf(stderr, format, path.c_str(), std::strerror(error));
}

void reportUnreadable(const std::string &path, int error) {
    reportOnce(path, _("brolix: cannot read %s (%s); it is left as it is\n"), error);
}

} // namespace

void makeFolders(const std::string &folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        mkdir(folder.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) return;
    }
}

bool writeFileAtomically(const char *path, const void *data, size_t size) {
    const std::string target = followLinks(path);
    const std::string temporary = temporaryNameFor(target);
    if (!writeAndSync(temporary, data, size, target) || std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        errno = error;
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
    const bool unreadable = std::ferror(file) && count == 0;
    const int error = errno;
    std::fclose(file);
    errno = error;
    return unreadable ? -1 : static_cast<long>(count);
}

// Non-blocking, so a FIFO or a device does not wait for a writer; only a regular file
// is read, and never more than limit bytes of it.
const char *readRegularFile(const std::string &path, std::string &bytes, size_t limit) {
    bytes.clear();
    const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) return N_("cannot be opened");
    struct stat about;
    const char *fault = nullptr;
    if (fstat(file, &about) != 0)
        fault = N_("cannot be read");
    else if (!S_ISREG(about.st_mode))
        fault = N_("is not a regular file");
    else if (uint64_t(about.st_size) > limit)
        fault = N_("is larger than any record");
    char block[16384];
    while (!fault) {
        const ssize_t n = read(file, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fault = N_("cannot be read");
        if (n <= 0) break;
        if (bytes.size() + size_t(n) > limit) fault = N_("is larger than any record");   // it grew
        bytes.append(block, size_t(n));
    }
    close(file);
    if (fault) bytes.clear();
    return fault;
}

long loadStoredFile(const char *name, void *data, size_t size) {
    const std::string path = followLinks(KMiscTools::makeSavePath(name));
    removeStaleTemporaries(path);
    const long count = readFileBytes(path.c_str(), data, size);
    if (count < 0 && errno != ENOENT) reportUnreadable(path, errno);
    return count;
}

bool saveStoredFile(const char *name, const void *data, size_t size) {
    const std::string path = KMiscTools::makeSavePath(name);
    if (KMiscTools::savesPerUser()) makeFolders(folderOf(path));
    // What cannot be read may still hold the player's settings or scores.
    if (access(path.c_str(), F_OK) == 0 && faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) {
        reportUnreadable(path, errno);
        return false;
    }
    if (writeFileAtomically(path.c_str(), data, size)) return true;
    reportOnce(path, _("brolix: could not save %s (%s)\n"), errno);
    return false;
}
