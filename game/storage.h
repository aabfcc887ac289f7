#pragma once
#include <cstddef>
#include <string>

// Small raw files of the game (preferences, score tables, start-up settings).
// Writes go to a temporary file beside the target, are synced, then renamed over
// it, so a crash or kill at any moment leaves the old file or the new one, never a
// truncated mix.

bool writeFileAtomically(const char *path, const void *data, size_t size); // false when nothing could be written (errno says why); the old file then stays. A link is written through to its target; the file keeps its permission bits
void makeFolders(const std::string &folder);                                // the folder and those above it, for this user only (0700)
long readFileBytes(const char *path, void *data, size_t size);              // reads at most size bytes into data; bytes read, or -1 when the file cannot be opened or read (errno says why)
const char *readRegularFile(const std::string &path, std::string &bytes, size_t limit); // nullptr when read whole, else the fault in English (the catalog has it): "cannot be opened", "is not a regular file" (nothing waits for a FIFO), "is larger than any record" (more than limit bytes: not read), "cannot be read"

// The same by the game's own file names ("prefs.raw", "data\\s60"), where saves
// live (KMiscTools::makeSavePath). Problems go to standard error, once per file.
long loadStoredFile(const char *name, void *data, size_t size);       // as readFileBytes; first removes what killed saves left of this file
bool saveStoredFile(const char *name, const void *data, size_t size); // as writeFileAtomically, creating the per-user folder; a file there that cannot be read is left alone
