#include "tm_stm32_ds18b20.h"

uint8_t TM_DS18B20_Is(uint8_t* ROM) { return *ROM == DS18B20_FAMILY_CODE ? 1 : 0; }

void TM_DS18B20_StartAll(TM_OneWire_t* OneWire) {
  TM_OneWire_Reset(OneWire);
  TM_OneWire_WriteByte(OneWire, ONEWIRE_CMD_SKIPROM);
  TM_OneWire_WriteByte(OneWire, DS18B20_CMD_CONVERTTEMP);
}

// A sensor holds the line low in read slots while it converts.
uint8_t TM_DS18B20_AllDone(TM_OneWire_t* OneWire) { return TM_OneWire_ReadBit(OneWire); }

float TM_DS18B20_Convert(uint16_t raw, uint8_t config) {
  uint16_t temperature = raw;
  uint8_t minus = 0;
  if (temperature & 0x8000) {
    temperature = (uint16_t)(~temperature + 1);  // two's complement
    minus = 1;
  }
  const uint8_t resolution = (uint8_t)(((config & 0x60) >> 5) + 9);
  // Whole degrees: bits 4..11.
  const int8_t digit = (int8_t)((temperature >> 4) & 0xFF);
  float decimal;
  switch (resolution) {
    case 9: decimal = (float)((temperature >> 3) & 0x01) * (float)DS18B20_DECIMAL_STEPS_9BIT; break;
    case 10: decimal = (float)((temperature >> 2) & 0x03) * (float)DS18B20_DECIMAL_STEPS_10BIT; break;
    case 11: decimal = (float)((temperature >> 1) & 0x07) * (float)DS18B20_DECIMAL_STEPS_11BIT; break;
    default: decimal = (float)(temperature & 0x0F) * (float)DS18B20_DECIMAL_STEPS_12BIT; break;
  }
  float value = decimal + (float)digit;
  if (minus) {
    value = 0.0f - value;
  }
  return value;
}

uint8_t TM_DS18B20_Read(TM_OneWire_t* OneWire, uint8_t* ROM, float* destination) {
  if (!TM_DS18B20_Is(ROM)) {
    return 0;
  }
  if (!TM_OneWire_ReadBit(OneWire)) {
    return 0;  // still converting
  }
  TM_OneWire_Reset(OneWire);
  TM_OneWire_SelectWithPointer(OneWire, ROM);
  TM_OneWire_WriteByte(OneWire, ONEWIRE_CMD_RSCRATCHPAD);
  uint8_t data[9];
  for (uint8_t i = 0; i < 9; i++) {
    data[i] = TM_OneWire_ReadByte(OneWire);
  }
  if (TM_OneWire_CRC8(data, 8) != data[8]) {
    return 0;  // a spoilt read-out: try again later
  }
  const uint16_t temperature = (uint16_t)(data[0] | (data[1] << 8));
  TM_OneWire_Reset(OneWire);
  const float value = TM_DS18B20_Convert(temperature, data[4]);
  *destination = value;
  return 1;
}
