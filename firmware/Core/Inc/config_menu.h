// The configuration menu (entry "konfiguracja" of the menu).
#pragma once

// Blocks until the user leaves (or the ignition goes off); the caller then
// sets `menu` to 0.
void config_menu(void);
