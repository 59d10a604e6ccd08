// The trip summary shown from ignition off until the power goes.
#pragma once

// Draws the summary once, over a screen the caller has cleared: distance,
// fuel and consumption per fuel, and the average speed since power-up.
void draw_endscreen(void);
