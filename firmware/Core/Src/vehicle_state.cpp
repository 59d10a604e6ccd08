// Definitions of the shared state, with the values it holds from reset until
// the EEPROM record is loaded.
#include "vehicle_state.h"

const uint16_t ch_colors[3] = {0xFB20, 0x07E0, 0x001F};  // orange, green, blue

float LPG_CAL = 1.0f;
float PB_CAL = 1.0f;
float SPD_CAL = 1.0f;
float Voltage_CAL = 1.0f;
struct fuellvl flvl = {0, 0, 0, 0};
int lpgcap = 0;
int pbcap = 0;
uint8_t lpgtype = 0;
uint8_t injtype = 1;
float cc_Pgain = 0.4f;
float cc_Igain = 0.1f;
float cc_Dgain = 0.2f;
uint16_t stepper_range = 2000;
uint8_t active_ch = 1;
uint8_t autoreset = 1;
float offtime = 1.0f;
uint8_t oledparam = 0;
float maxinjtime = 10.0f;
uint8_t enc_inv = 0;
uint8_t lambda_enable = 1;
struct bc ch[3] = {};
float pblvl = 0.0f;
float lpglvl = 0.0f;
uint8_t pbcomp = 1;

volatile float speed = 0.0f;
volatile int rpm = 0;
volatile float injtime = 0.0f;
volatile uint8_t IsOnLpg = 0;
float temp = 0.0f;
float voltage = 0.0f;
float aux_voltage = 0.0f;
int pblvlraw = 0;
int lpglvlraw = 0;
int voltageraw = 0;
int auxraw = 0;

volatile double distlpg = 0.0;
volatile double distpb = 0.0;
volatile double pbcons = 0.0;
volatile double lpgcons = 0.0;

volatile float instcons = 0.0f;
volatile float instconsph = 0.0f;
double lastpbcons = 0.0;
double lastlpgcons = 0.0;
double lastdistpb = 0.0;
double lastdistlpg = 0.0;
volatile float avgpbcons = 0.0f;
volatile float avglpgcons = 0.0f;
volatile float pbrange = 0.0f;
volatile float lpgrange = 0.0f;

struct bc ch_start[3] = {};
float pblvl_start = 0.0f;
float lpglvl_start = 0.0f;

uint32_t speedtick = 0;
volatile uint32_t lastspdtick = 0;
uint32_t injtickpb = 0;
uint32_t injticklpg = 0;
uint32_t rpmtickpb = 0;
uint32_t rpmticklpg = 0;
uint32_t rpmmpb = 0;
uint32_t rpmmlpg = 0;
uint32_t lastrpmtickpb = 0;
uint32_t lastrpmticklpg = 0;
uint8_t ignorepb = 0;

volatile uint8_t enc = 0;
uint8_t menu = 0;
uint8_t sel = 0;
char buf[50] = {};
uint8_t eeprom_errors = 0;
uint8_t drawlumo = 1;

TM_OneWire_t OW = {};
uint8_t DS_ROM[8] = {};

volatile int ccenable = 0;
volatile float targetspeed = 0.0f;
volatile float ccthr = 0.0f;
volatile float cc_integral = 0.0f;
volatile float cc_derivative = 0.0f;
float lasterror = 0.0f;
volatile uint16_t targetsteps = 0;
volatile uint16_t actualsteps = 0;
uint8_t direction = 0;
uint8_t lastdirection = 0;
uint8_t cc_en_hold = 0;
uint8_t cc_up_hold = 0;
uint8_t cc_down_hold = 0;

uint8_t dragyinitialized = 0;
uint8_t ready = 0;
uint8_t running = 0;
uint32_t starttick = 0;
double startdist = 0.0;
float time60 = 0.0f;
float time100 = 0.0f;
float time150 = 0.0f;
float time200 = 0.0f;
float time18mile = 0.0f;
float time14mile = 0.0f;
float speed18mile = 0.0f;
float speed14mile = 0.0f;
