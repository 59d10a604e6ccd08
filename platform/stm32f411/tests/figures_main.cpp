// The firmware's figures table computed on the chip (in QEMU), one line per
// result on semihosting's output, for the host build to be compared with.
#include "figures_table.h"
#include "semihosting.h"

static void emit(const char* line) {
  sh_write(line);
  sh_write("\n");
}

// The firmware's own main is linked too (its module holds callbacks the HAL
// needs); the start-up code is sent here instead (-Wl,--wrap=main).
extern "C" int __wrap_main(void) {
  figures_table(emit);
  sh_exit(true);
}
