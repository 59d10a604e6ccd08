// The ignition line as the main task sees it.
#pragma once

// True while the ignition line reads low (ignition off). The main loop runs
// its power-down on it; every blocking screen of the menu also ends on it, as
// though the user had left, because while such a screen runs the main loop
// never reaches its own check and the relay would keep the unit powered.
bool ignition_off(void);
