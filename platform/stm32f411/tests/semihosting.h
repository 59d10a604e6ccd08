// Output and exit of the check images through the debugger's semihosting
// calls, which QEMU serves (-semihosting): text to QEMU's standard output,
// and the end of the run with a pass or a fail.
#pragma once

void sh_write(const char* text);
[[noreturn]] void sh_exit(bool passed);
