// The settings menu (entry "ustawienia" of the menu).
#pragma once

// Blocks until the user leaves through its first line (or the ignition goes
// off); the caller then sets `menu` to 0.
void settings_menu(void);
