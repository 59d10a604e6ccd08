// The main menu of the TFT, chosen with the encoder and its button.
#pragma once

// One pass: the encoder's step moves the highlight, the list is drawn, and a
// press acts on the highlighted entry. Entries with a screen of their own
// block in here until it ends; the others return at once.
void draw_menu(void);
