// The acceleration timer: from a standing start, the times to 60, 100, 150
// and 200 km/h, 100 to 150 km/h, and the time and speed at 1/8 and 1/4 mile.
#pragma once

// Runs until the button is pressed, then closes the menu. One run per visit.
void accel_timer(void);
