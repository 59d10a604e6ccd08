// The analog inputs (tank senders, battery, auxiliary voltage) sampled by the
// ADC task, and the outside temperature polled by the main loop.
#pragma once

#include <stdint.h>

#include "stm32f4xx_hal.h"

// One sampling pass over the four inputs.
void read_adc(void);
// Selects the one channel of the regular sequence.
void ADC_SetActiveChannel(ADC_HandleTypeDef* hadc, uint32_t AdcChannel);
// Linear mapping, clamped to to_min..to_max (a value that is not a number loses).
float map(float input, float from_min, float from_max, float to_min, float to_max);
// Reads the finished conversion and starts the next one; never waits.
void read_temperature(void);
