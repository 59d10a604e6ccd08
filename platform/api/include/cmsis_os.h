#pragma once
#include "cmsis_os2.h"
#include "FreeRTOS.h"
#include "task.h"
