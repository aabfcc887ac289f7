#include <cstdio>

int main() {
    std::puts("Brolix: the board rules are built; the game window arrives with the engine work.");
    return 0;
}
