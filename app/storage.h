#pragma once
#include <cstddef>

// Small raw files of the game (preferences, score tables, start-up settings).
// Writes go to a temporary file beside the target, are synced, then renamed over
// it, so a crash or kill at any moment leaves the old file or the new one, never a
// truncated mix.

bool writeFileAtomically(const char *path, const void *data, size_t size); // false when nothing could be written; the old file then stays
long readFileBytes(const char *path, void *data, size_t size);              // reads at most size bytes into data; bytes read, or -1 when the file cannot be opened or read
