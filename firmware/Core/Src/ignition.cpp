#include "ignition.h"

#include "main.h"

bool ignition_off(void) { return HAL_GPIO_ReadPin(ignition_GPIO_Port, ignition_Pin) == GPIO_PIN_RESET; }
