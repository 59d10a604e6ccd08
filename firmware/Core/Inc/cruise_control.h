// Cruise control: the 100 Hz control tick that reads the three buttons and
// computes the throttle demand, and the stepper tick that moves the throttle
// toward it. The derivative term is computed once a second by OneSecInt.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// TIM5 update, every 10.02 ms.
void CriuseControlInterrupt(void);
// TIM4 update, every 1.2 ms returning to closed, 1.8 ms otherwise.
void StepperControlnterrupt(void);

#ifdef __cplusplus
}
#endif
