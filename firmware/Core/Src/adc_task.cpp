// The ADC task: a sampling pass every 300 ms.
#include "tasks.h"

void adctask(void* argument) {
  (void)argument;
  for (;;) {
    osDelay(300);
  }
}
