// The C library's system calls on the board. There is no console, file or
// process: output is dropped (a check image may send it elsewhere), the
// heap of the formatted-output routines grows from the end of the static
// data up to the start-up stack, and its allocator is locked against task
// switches so tasks can format at the same time.
#include <errno.h>
#include <reent.h>
#include <stdint.h>
#include <sys/stat.h>

#include "kernel_port.h"

extern "C" {

extern uint8_t end;
extern uint8_t _estack;
extern uint8_t _Min_Stack_Size;

static uint8_t* heap_top;

void* _sbrk(ptrdiff_t increment) {
  uint8_t* const limit = &_estack - (uintptr_t)&_Min_Stack_Size;
  if (heap_top == nullptr) heap_top = &end;
  if (increment > limit - heap_top || increment < &end - heap_top) {
    errno = ENOMEM;
    return (void*)-1;
  }
  uint8_t* const previous = heap_top;
  heap_top += increment;
  return previous;
}

__attribute__((weak)) int _write(int file, const char* data, int length) {
  (void)file;
  (void)data;
  return length;
}

int _read(int file, char* data, int length) {
  (void)file;
  (void)data;
  (void)length;
  return 0;
}

int _close(int file) {
  (void)file;
  return -1;
}

int _fstat(int file, struct stat* st) {
  (void)file;
  st->st_mode = S_IFCHR;
  return 0;
}

int _isatty(int file) {
  (void)file;
  return 1;
}

int _lseek(int file, int offset, int whence) {
  (void)file;
  (void)offset;
  (void)whence;
  return 0;
}

int _getpid(void) { return 1; }

int _kill(int pid, int sig) {
  (void)pid;
  (void)sig;
  errno = EINVAL;
  return -1;
}

__attribute__((weak, noreturn)) void _exit(int status) {
  (void)status;
  for (;;) {
  }
}

// The allocator's lock: nested by the library itself, so a count.
void __malloc_lock(struct _reent* r) {
  (void)r;
  kp_sched_lock();
}

void __malloc_unlock(struct _reent* r) {
  (void)r;
  kp_sched_unlock();
}
}
