// The diagnostic screen: raw readings and internal values, one per line.
#pragma once

// One frame of all lines; clears the screen if the button reads pressed.
void diagnostic_screen(void);

// The menu's entry: frames as fast as they draw while the button is
// released; a press leaves, after its release, to the main screen.
void run_diagnostic_screen(void);
