// The encoder button as the menu's screens read it, and how a screen gives
// way to the power-down.
#pragma once

#include <stdint.h>

// The button reads low while pressed; there is no debouncing.
bool button_pressed(void);

// Waits until the button reads released, reading it every `poll_ms`
// milliseconds (0: without a pause). Returns false, still pressed, if the
// ignition went off first.
bool wait_for_release(uint32_t poll_ms);

// The ignition went off while a screen of the menu ran: leave it as though
// the user had (the menu closed, the screen cleared), so that the main loop
// runs its power-down at once. While a screen blocks, nothing else would:
// the relay would hold the unit powered, and the trip would not be written.
// The trip channels are brought up to date first, so that the record holds
// the distance driven while the screen was open.
void leave_for_power_down(void);
