#include "semihosting.h"

#include <stdint.h>
#include <string.h>

namespace {

constexpr uint32_t kSysWrite0 = 0x04;
constexpr uint32_t kSysExit = 0x18;
constexpr uint32_t kApplicationExit = 0x20026;  // a normal end; anything else fails
constexpr uint32_t kRunTimeErrorUnknown = 0x20023;

uint32_t call(uint32_t op, const void* arg) {
  register uint32_t r0 __asm("r0") = op;
  register const void* r1 __asm("r1") = arg;
  __asm volatile("bkpt 0xAB" : "+r"(r0) : "r"(r1) : "memory");
  return r0;
}

}  // namespace

void sh_write(const char* text) { call(kSysWrite0, text); }

void sh_exit(bool passed) {
  call(kSysExit, reinterpret_cast<const void*>(static_cast<uintptr_t>(passed ? kApplicationExit : kRunTimeErrorUnknown)));
  for (;;) {
  }
}

// The C library's output (printf) goes the same way, in pieces that end in a
// zero byte as the call wants.
extern "C" int _write(int file, const char* data, int length) {
  (void)file;
  char chunk[65];
  int done = 0;
  while (done < length) {
    int n = length - done < 64 ? length - done : 64;
    memcpy(chunk, data + done, (size_t)n);
    chunk[n] = '\0';
    sh_write(chunk);
    done += n;
  }
  return length;
}

// A fault in a check image ends the run as a failure rather than a hang.
extern "C" void HardFault_Handler(void) {
  sh_write("check: hard fault\n");
  sh_exit(false);
}
extern "C" void UsageFault_Handler(void) {
  sh_write("check: usage fault\n");
  sh_exit(false);
}
extern "C" void BusFault_Handler(void) {
  sh_write("check: bus fault\n");
  sh_exit(false);
}
extern "C" void MemManage_Handler(void) {
  sh_write("check: memory management fault\n");
  sh_exit(false);
}
