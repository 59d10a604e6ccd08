// Base types of the kernel; its configuration is the firmware's own header.
#pragma once

#include <stdint.h>

#include "FreeRTOSConfig.h"

typedef uint32_t TickType_t;
typedef long BaseType_t;
typedef unsigned long UBaseType_t;

#define pdFALSE ((BaseType_t)0)
#define pdTRUE ((BaseType_t)1)
