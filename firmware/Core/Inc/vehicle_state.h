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

// Variables an interrupt writes and a task reads in a loop are volatile, so
// the optimiser reloads them on every pass; each is still written whole, by a
// single assignment.

// ---- live measurements
extern volatile float speed;
extern volatile int rpm;
extern volatile float injtime;
extern volatile uint8_t IsOnLpg;
extern float temp;
extern float voltage;
extern float aux_voltage;
extern int pblvlraw;
extern int lpglvlraw;
extern int voltageraw;
extern int auxraw;

// ---- live accumulators since power-up
extern volatile double distlpg;
extern volatile double distpb;
extern volatile double pbcons;
extern volatile double lpgcons;

// ---- values derived once a second
extern volatile float instcons;
extern volatile float instconsph;
extern double lastpbcons;
extern double lastlpgcons;
extern double lastdistpb;
extern double lastdistlpg;
extern volatile float avgpbcons;
extern volatile float avglpgcons;
extern volatile float pbrange;
extern volatile float lpgrange;

// ---- trip channels
extern struct bc ch_start[3];
extern float pblvl_start;
extern float lpglvl_start;

// ---- pulse time stamps (TIM2 counts, 10 ns) and the skip counter
extern uint32_t speedtick;
extern volatile uint32_t lastspdtick;
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
extern volatile uint8_t enc;
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
extern volatile int ccenable;
extern volatile float targetspeed;
extern volatile float ccthr;
extern volatile float cc_integral;
extern volatile float cc_derivative;
extern float lasterror;
extern volatile uint16_t targetsteps;
extern volatile uint16_t actualsteps;
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
