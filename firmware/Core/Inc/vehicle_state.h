// The trip computer's whole state: settings, live measurements, the trip
// channels and the state of the user interface, shared without locks by the
// pin-change interrupt, the timer interrupts and the three tasks.
#pragma once

#include <stdint.h>

#include "tm_stm32_onewire.h"

// One trip channel: km driven per fuel and litres used per fuel.
struct bc {
  double distlpg;
  double distpb;
  double pbcons;
  double lpgcons;
};

// Fuel-level sender calibration in ADC counts: the reading with the tank
// empty (min) and full (max). A sender that falls as the tank fills has min
// above max.
struct fuellvl {
  uint16_t pb_min;
  uint16_t pb_max;
  uint16_t lpg_min;
  uint16_t lpg_max;
};

// ---- constants
#define config_items 21
#define settings_items 7
#define CC_MINIMUM_SPEED 45
extern const uint16_t ch_colors[3];

// ---- settings (stored in the EEPROM record)
extern float LPG_CAL;
extern float PB_CAL;
extern float SPD_CAL;
extern float Voltage_CAL;
extern struct fuellvl flvl;
extern int lpgcap;
extern int pbcap;
extern uint8_t lpgtype;
extern uint8_t injtype;
extern float cc_Pgain;
extern float cc_Igain;
extern float cc_Dgain;
extern uint16_t stepper_range;
extern uint8_t active_ch;
extern uint8_t autoreset;
extern float offtime;
extern uint8_t oledparam;
extern float maxinjtime;
extern uint8_t enc_inv;
extern uint8_t lambda_enable;
extern struct bc ch[3];
extern float pblvl;
extern float lpglvl;
extern uint8_t pbcomp;

// ---- live measurements
extern float speed;
extern int rpm;
extern float injtime;
extern uint8_t IsOnLpg;
extern float temp;
extern float voltage;
extern float aux_voltage;
extern int pblvlraw;
extern int lpglvlraw;
extern int voltageraw;
extern int auxraw;

// ---- live accumulators since power-up
extern double distlpg;
extern double distpb;
extern double pbcons;
extern double lpgcons;

// ---- values derived once a second
extern float instcons;
extern float instconsph;
extern double lastpbcons;
extern double lastlpgcons;
extern double lastdistpb;
extern double lastdistlpg;
extern float avgpbcons;
extern float avglpgcons;
extern float pbrange;
extern float lpgrange;

// ---- trip channels
extern struct bc ch_start[3];
extern float pblvl_start;
extern float lpglvl_start;

// ---- pulse time stamps (TIM2 counts, 10 ns) and the skip counter
extern uint32_t speedtick;
extern uint32_t lastspdtick;
extern uint32_t injtickpb;
extern uint32_t injticklpg;
extern uint32_t rpmtickpb;
extern uint32_t rpmticklpg;
extern uint32_t rpmmpb;
extern uint32_t rpmmlpg;
extern uint32_t lastrpmtickpb;
extern uint32_t lastrpmticklpg;
extern uint8_t ignorepb;

// ---- user interface
extern uint8_t enc;
extern uint8_t menu;
extern uint8_t sel;
extern char buf[50];
extern uint8_t eeprom_errors;
extern uint8_t drawlumo;

// ---- the 1-Wire bus and the outside-temperature sensor's ROM code (all
// zero when no sensor was found)
extern TM_OneWire_t OW;
extern uint8_t DS_ROM[8];

// ---- cruise control
extern int ccenable;
extern float targetspeed;
extern float ccthr;
extern float cc_integral;
extern float cc_derivative;
extern float lasterror;
extern uint16_t targetsteps;
extern uint16_t actualsteps;
extern uint8_t direction;
extern uint8_t lastdirection;
extern uint8_t cc_en_hold;
extern uint8_t cc_up_hold;
extern uint8_t cc_down_hold;

// ---- acceleration timer
extern uint8_t dragyinitialized;
extern uint8_t ready;
extern uint8_t running;
extern uint32_t starttick;
extern double startdist;
extern float time60;
extern float time100;
extern float time150;
extern float time200;
extern float time18mile;
extern float time14mile;
extern float speed18mile;
extern float speed14mile;
