// What the settings and configuration menus share: the list-line colours,
// the release wait after a closing press, and editing one value in place.
// The button and leaving for the power-down are the menu's (menu_controls.h).
#pragma once

#include <stdint.h>

#include "menu_controls.h"

// One line of a list at (0, y) in Font24: black on white when highlighted,
// white on black otherwise. The text goes through `buf`.
void draw_list_line(uint16_t y, const char* text, bool highlighted);
// The text already in `buf` at (0, y) in Font24 in the given colours.
void draw_buf(uint16_t y, uint16_t color, uint16_t background);

// After a press that closes an item: 100 ms, then the button is polled every
// 100 ms until it is released. False when the ignition went off meanwhile.
bool wait_for_closing_release(void);

// Edits one value in place on the line at y: 200 ms after the opening press,
// the value line is drawn in green on black again and again while the
// button is released; each encoder step calls step(+1) (forward) or
// step(-1) (backward), and every pass calls step(0), which only applies the
// item's limit. format() puts the value line into `buf`. The value line is
// drawn once more after the closing press, so that it shows what stays
// stored. Returns false when the ignition went off before the edit ended.
bool edit_in_place(uint16_t y, void (*format)(void), void (*step)(int dir));
