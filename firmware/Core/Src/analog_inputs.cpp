// Tank levels, battery and auxiliary voltages from ADC1, and the outside
// temperature from the DS18B20.
#include "analog_inputs.h"

#include <math.h>

#include "board_setup.h"
#include "m4_convert.h"
#include "main.h"
#include "tm_stm32_ds18b20.h"
#include "vehicle_state.h"

void ADC_SetActiveChannel(ADC_HandleTypeDef* hadc, uint32_t AdcChannel) {
  ADC_ChannelConfTypeDef sConfig = {};
  sConfig.Channel = AdcChannel;
  sConfig.Rank = 1;
  sConfig.SamplingTime = ADC_SAMPLETIME_3CYCLES;
  HAL_ADC_ConfigChannel(hadc, &sConfig);
}

float map(float input, float from_min, float from_max, float to_min, float to_max) {
  const float y = (input - from_min) / (from_max - from_min) * (to_max - to_min) + to_min;
  return fmaxf(to_min, fminf(y, to_max));
}

// One conversion of a channel; false when it does not complete in 100 ms.
static bool convert(uint32_t channel, uint32_t* value) {
  ADC_SetActiveChannel(&hadc1, channel);
  HAL_ADC_Start(&hadc1);
  if (HAL_ADC_PollForConversion(&hadc1, 100) != HAL_OK) {
    return false;
  }
  *value = HAL_ADC_GetValue(&hadc1);
  return true;
}

void read_adc(void) {
  uint32_t v;
  // Petrol sender, fed from the battery: compensated to 12 V.
  if (convert(ADC_CHANNEL_2, &v)) {
    // A calibration far out (the record check leaves Voltage_CAL without a
    // lower bound) can put this beyond int: saturated as the chip does.
    pblvlraw = m4_float_to_int32((float)v * (1.0f - (voltage / 12.0f - 1.0f) * (float)pbcomp));
    if (HAL_GPIO_ReadPin(ignition_GPIO_Port, ignition_Pin) == GPIO_PIN_SET) {
      pblvl = (float)((double)pblvl * 0.95 +
                      (double)map((float)pblvlraw, (float)flvl.pb_min, (float)flvl.pb_max, 0.0f, 1.0f) * 0.05);
    }
  }
  // LPG sender: only while the engine runs on LPG.
  if (convert(ADC_CHANNEL_3, &v)) {
    lpglvlraw = (int)v;
    if (IsOnLpg && rpm > 500) {
      lpglvl = (float)((double)lpglvl * 0.95 +
                       (double)map((float)lpglvlraw, (float)flvl.lpg_min, (float)flvl.lpg_max, 0.0f, 1.0f) * 0.05);
    }
  }
  // Battery, through its divider: 196.75 counts per volt.
  if (convert(ADC_CHANNEL_4, &v)) {
    voltageraw = (int)v;
    voltage = (float)((double)voltage * 0.9 + ((double)v / 196.75) * 0.1 * (double)Voltage_CAL);
  }
  // Auxiliary input (the lambda probe): 219.75 counts per volt.
  if (convert(ADC_CHANNEL_0, &v)) {
    auxraw = (int)v;
    aux_voltage = (float)((double)v / 219.75);
  }
}

void read_temperature(void) {
  if (TM_DS18B20_Is(DS_ROM) && TM_DS18B20_AllDone(&OW) && TM_DS18B20_Read(&OW, DS_ROM, &temp)) {
    TM_DS18B20_StartAll(&OW);
  }
}
