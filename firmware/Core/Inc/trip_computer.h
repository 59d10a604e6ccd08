// The once-a-second computation and the trip-channel operations.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Runs from the TIM3 interrupt, once every 1.00008 s.
void OneSecInt(void);

#ifdef __cplusplus
}
#endif

// Each channel = its offset plus the live accumulators.
void update_channels(void);
// Offsets and refuel reference levels taken once at start-up.
void save_initial_values(void);
// Zero one fuel of one trip channel (1..3).
void resetpb(uint8_t channel);
void resetlpg(uint8_t channel);
// Brings a trip-channel number from the record into 1..3, the way the main
// screen steps through the channels (above 3 is 1, 0 is 3).
uint8_t normalised_channel(uint8_t channel);
