// Figures for the screens.
#pragma once

#include <stddef.h>

// snprintf of a format with one floating conversion (%f, %e, %g) and its
// value, except that a value that is not a finite number is written as
// "inf", "-inf" or "nan" in that conversion's place, whatever the sign bit of
// a not-a-number: the same on every C library (some print "-nan"). The
// conversion's '-' flag and its width are kept for those texts.
void format_number(char* out, size_t size, const char* format, double value);
