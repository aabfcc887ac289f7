#pragma once
// The program from start to end: start-up dialog, game window, driver page,
// loading picture, menu and games, then saving and freeing everything.
class KWindow;

extern KWindow *fenetre;    // the one game window

int runBrolix(int argc, char **argv);   // the whole program; 0 on every path but a record to watch that cannot be (1) or a wrong command line (2)
bool NoAcceleration();      // driver page; true when the player chose to fetch a driver (the program then ends)
void showLoadingScreen();   // the loading picture, centred, in both buffers
void shutDown();            // free fonts and gems, save scores and preferences, free sounds, cursor and window
