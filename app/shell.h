#pragma once
// The program from start to end: start-up dialog, game window, driver page,
// loading picture, menu and games, then saving and freeing everything.
class KWindow;

extern KWindow *fenetre;    // the one game window

// The whole program. 0 when the player ends it (also from the start-up dialog or the
// driver page); 1 when no game window opens or a record to watch cannot be read; 2 on
// a wrong command line.
int runBrolix(int argc, char **argv);
bool NoAcceleration();      // driver page; true when the player chose to fetch a driver (the program then ends)
void showLoadingScreen();   // the loading picture, centred, in both buffers
void shutDown();            // free fonts and gems, save scores and preferences, free sounds, cursor and window
