// Refuel detection: a tank that was low at switch-on and is full now was
// filled; unless the driver cancels, trip channel 1 starts again for it.
#pragma once

void check_for_refuel(void);
