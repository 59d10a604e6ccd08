// The about screen of the menu: the unit's name, its author, where its
// documentation is, and when the firmware was built.
#pragma once

// The compiler's date of the build, "Mmm dd yyyy" (the day space-padded).
extern const char build_date[];
// The documentation's address, shown on the about screen.
extern const char web_address[];

// Shown until the button is pressed; the menu stays open after it.
void about_screen(void);
