// Handing the I2C bus between the OLED task and the main task.
#pragma once

// The OLED and the EEPROM share I2C1. The OLED task may touch the bus only
// while it runs its display: between frames it waits in a delay, and after
// setting the display up at start it suspends itself. The main task takes
// the bus only at one of those points, never in the middle of a transfer.

// Waits until the OLED task has set its display up and suspended itself.
void wait_for_oled_set_up(void);
// Waits until the OLED task is between two frames (or suspended), then
// suspends it; vTaskResume on its handle gives the bus back.
void stop_oled_between_frames(void);
