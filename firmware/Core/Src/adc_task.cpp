// The ADC task: a sampling pass every 300 ms.
#include "analog_inputs.h"
#include "tasks.h"

void adctask(void* argument) {
  (void)argument;
  for (;;) {
    osDelay(300);
    read_adc();
  }
}
