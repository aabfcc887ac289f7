#pragma once
#include "game.h"

// What the game adds to the rules (rules.h), for its own files and the tests of its
// rules; the menu and the shell see only game.h.

// True when the screen point (mx, my) lies in cell (x, y), edges included.
bool isPointInCell(long x, long y, long mx, long my);
int16_t minutesOfDay();                // local time, the relax mode's timer
FrameInput readFrameInput();            // the player's hand now, as the rules read it
void steerFrameInput(FrameInput &in);   // keys and pads in the place of the mouse, once they are used
void drawBoardCursor();                 // the keys' cursor on the board, or their focus in a pause
void playCues();                        // sounds and waits the rules asked for, in order

// ------------------------------------------------ score, timer, display ----

void ShowTimer(long gameMode, bool decompte); // count a frame when decompte, apply the mode's end rule at each tick, draw
void drawTimer();                       // the timer's digits
void AnimateZapAttack();                // advance and draw the label
void drawZapAttack();                   // the replaced-board label as it stands
void drawLitButton(const FrameInput &in); // the button under the pointer, lit
void displayTokens();                   // gems, selection frames, fades and marks of every alive cell
void displayScore();                    // score digits at SCORE_AT
void displayGameMode(long gameMode);    // the mode's label from the in-game picture

// -------------------------------------------------------------- session ----

void loadSession(long gameMode);        // the pictures and fonts of a game of this mode
void endSession();                      // frees them
void drawPlay(const FrameInput &in);    // a frame of play as the rules left it
void drawPause(const FrameInput &in);   // the pause panel over the hidden board
void showFrame(const FrameInput &in, bool paused); // drawn as played or paused, its cues sounded, presented
void ScrollTheGame();                   // spin the last frame out and the game's first in (41 frames)
void displayGameOver();                 // game-over picture or name entry, faded by gameOverFade
