// The main trip screen of the TFT.
#pragma once

// One pass: the encoder's step chooses the trip channel, then every field is
// redrawn in place (nothing is cleared first).
void draw_mainscreen(void);
