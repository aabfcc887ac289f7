#pragma once
// The software mouse cursor, drawn by the menu and game loops every frame.
class KGraphic;

extern KGraphic *surf_mouse;   // cursor picture "data/mouse.tga", hot spot 3 pixels in from its corner

void displayMouseCursor();     // draw the cursor over the screen, or give the pointer back outside it
void grabVideo();              // per-frame hook after each flip; does nothing
