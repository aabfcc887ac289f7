// The game as shipped, but asking the score server a test started on a port of its own.
#include <cstdlib>

#include "online.h"
#include "shell.h"

int main(int argc, char **argv) {
    if (const char *host = std::getenv("BROLIX_TEST_SCORE_HOST")) scoreServerHost = host;
    return runBrolix(argc, argv);
}
