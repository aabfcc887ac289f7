#include "KWindow.h"

// No window yet: nothing to pump, never closed.
void KWindow::processEvents() {}
bool KWindow::isQuit() { return false; }
