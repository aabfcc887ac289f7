#include <malloc.h>

#include "shell.h"

int main(int argc, char **argv) {
    // Pictures and the renderer's textures are large blocks: each gets its own mapping and
    // goes back to the system when freed, instead of leaving holes the heap keeps. The top
    // of the heap is kept: the renderer frees and takes back megabytes of it every frame.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
    return runBrolix(argc, argv);
}
