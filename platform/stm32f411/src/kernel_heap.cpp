// The kernel's heap: configTOTAL_HEAP_SIZE bytes from which task stacks and
// control blocks are taken, 8-byte aligned as the procedure-call standard
// wants stacks.
#include "kernel_port.h"

alignas(8) static uint8_t kp_kernel_heap[configTOTAL_HEAP_SIZE];
static size_t heap_used;

void* kp_heap_alloc(size_t bytes) {
  const size_t need = (bytes + 7U) & ~(size_t)7U;
  void* p = nullptr;
  kp_sched_lock();
  if (need <= sizeof kp_kernel_heap - heap_used) {
    p = &kp_kernel_heap[heap_used];
    heap_used += need;
  }
  kp_sched_unlock();
  return p;
}

size_t kp_heap_free_bytes(void) { return sizeof kp_kernel_heap - heap_used; }
