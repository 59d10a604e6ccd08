// The three trip channels: each is its offset plus the live accumulators,
// which count from power-up.
#include "trip_computer.h"
#include "vehicle_state.h"

void update_channels(void) {
  for (int k = 0; k < 3; k++) {
    ch[k].distlpg = ch_start[k].distlpg + distlpg;
    ch[k].distpb = ch_start[k].distpb + distpb;
    ch[k].lpgcons = ch_start[k].lpgcons + lpgcons;
    ch[k].pbcons = ch_start[k].pbcons + pbcons;
  }
}

void save_initial_values(void) {
  for (int k = 0; k < 3; k++) {
    ch_start[k] = ch[k];
  }
  pblvl_start = pblvl;
  lpglvl_start = lpglvl;
}

// The channel reads 0 for this fuel from the next update on.
void resetpb(uint8_t channel) {
  ch_start[channel - 1].distpb = -distpb;
  ch_start[channel - 1].pbcons = -pbcons;
}

void resetlpg(uint8_t channel) {
  ch_start[channel - 1].distlpg = -distlpg;
  ch_start[channel - 1].lpgcons = -lpgcons;
}

uint8_t normalised_channel(uint8_t channel) {
  if (channel > 3) {
    return 1;
  }
  if (channel == 0) {
    return 3;
  }
  return channel;
}
