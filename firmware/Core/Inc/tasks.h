// The three tasks and the calls between them.
#pragma once

#include "cmsis_os.h"

extern osThreadId_t mainvTaskHandle;
extern osThreadId_t oledvtaskHandle;
extern osThreadId_t adcvtaskHandle;
extern const osThreadAttr_t mainvTask_attributes;
extern const osThreadAttr_t oledvtask_attributes;
extern const osThreadAttr_t adcvtask_attributes;

void mainTask(void* argument);
void oledtask(void* argument);
void adctask(void* argument);

// The OLED shows the logo / the gauge.
void draw_lumo_logo(void);
void start_oled(void);
// One gauge frame, drawn and sent (OLED task).
void draw_oled(void);
