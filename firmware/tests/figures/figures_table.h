// Fixed inputs through the firmware's own computations: the once-a-second
// figures, the record's integrity check, `map`, the DS18B20 conversion, the
// cruise-control tick and the screens' number formatting. One line per
// result, numbers as their exact bits: the host build and the chip's build
// must write the same table, byte for byte.
#pragma once

typedef void (*figures_emit_fn)(const char* line);

// Runs in the firmware's context (it calls the board's HAL as the firmware does).
void figures_table(figures_emit_fn emit);
