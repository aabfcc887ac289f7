#include "shell.h"

int main() { return runBrolix(); }
