#include "tm_stm32_onewire.h"

#include "tm_stm32_delay.h"

// The master only ever pulls the line low; released, the pull-up lifts it.
static void line_low(TM_OneWire_t* ow) {
  TM_GPIO_SetPinLow(ow->GPIOx, ow->GPIO_Pin);
  TM_GPIO_SetPinAsOutput(ow->GPIOx, ow->GPIO_Pin);
}

static void line_release(TM_OneWire_t* ow) { TM_GPIO_SetPinAsInput(ow->GPIOx, ow->GPIO_Pin); }

void Delay(uint32_t micros) {
  const uint32_t start = DWT->CYCCNT;
  const uint32_t cycles = micros * (HAL_RCC_GetHCLKFreq() / 1000000U);
  while ((DWT->CYCCNT - start) < cycles) {
  }
}

void TM_OneWire_Init(TM_OneWire_t* OneWireStruct, GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin) {
  TM_DELAY_Init();
  TM_GPIO_Init(GPIOx, GPIO_Pin, TM_GPIO_Mode_OUT, TM_GPIO_OType_PP, TM_GPIO_PuPd_UP, TM_GPIO_Speed_Medium);
  OneWireStruct->GPIOx = GPIOx;
  OneWireStruct->GPIO_Pin = GPIO_Pin;
}

uint8_t TM_OneWire_Reset(TM_OneWire_t* OneWireStruct) {
  line_low(OneWireStruct);
  Delay(480);
  line_release(OneWireStruct);
  Delay(70);
  const uint8_t i = TM_GPIO_GetInputPinValue(OneWireStruct->GPIOx, OneWireStruct->GPIO_Pin);
  Delay(410);
  return i;
}

void TM_OneWire_WriteBit(TM_OneWire_t* OneWireStruct, uint8_t bit) {
  if (bit) {
    line_low(OneWireStruct);
    Delay(10);
    line_release(OneWireStruct);
    Delay(55);
  } else {
    line_low(OneWireStruct);
    Delay(65);
    line_release(OneWireStruct);
    Delay(5);
  }
}

uint8_t TM_OneWire_ReadBit(TM_OneWire_t* OneWireStruct) {
  line_low(OneWireStruct);
  Delay(3);
  line_release(OneWireStruct);
  Delay(10);
  const uint8_t bit = TM_GPIO_GetInputPinValue(OneWireStruct->GPIOx, OneWireStruct->GPIO_Pin) ? 1 : 0;
  Delay(50);
  return bit;
}

void TM_OneWire_WriteByte(TM_OneWire_t* OneWireStruct, uint8_t byte) {
  for (uint8_t i = 8; i > 0; i--) {
    TM_OneWire_WriteBit(OneWireStruct, byte & 0x01);
    byte >>= 1;
  }
}

uint8_t TM_OneWire_ReadByte(TM_OneWire_t* OneWireStruct) {
  uint8_t byte = 0;
  for (uint8_t i = 8; i > 0; i--) {
    byte >>= 1;
    byte |= (uint8_t)(TM_OneWire_ReadBit(OneWireStruct) << 7);  // least significant bit first
  }
  return byte;
}

void TM_OneWire_ResetSearch(TM_OneWire_t* OneWireStruct) {
  OneWireStruct->LastDiscrepancy = 0;
  OneWireStruct->LastDeviceFlag = 0;
  OneWireStruct->LastFamilyDiscrepancy = 0;
}

// One step of the search through the tree of ROM codes: at each of the 64
// bit positions every device still in the search sends its bit and its
// complement; both 0 is a conflict, resolved by the branch taken last time.
uint8_t TM_OneWire_Search(TM_OneWire_t* OneWireStruct, uint8_t command) {
  uint8_t id_bit_number = 1;
  uint8_t last_zero = 0;
  uint8_t rom_byte_number = 0;
  uint8_t rom_byte_mask = 1;
  uint8_t search_result = 0;

  // The reset runs only while devices are left to find; without a presence
  // pulse nothing is searched and the next search starts over.
  if (!OneWireStruct->LastDeviceFlag && TM_OneWire_Reset(OneWireStruct) == 0) {
    TM_OneWire_WriteByte(OneWireStruct, command);
    do {
      const uint8_t id_bit = TM_OneWire_ReadBit(OneWireStruct);
      const uint8_t cmp_id_bit = TM_OneWire_ReadBit(OneWireStruct);
      if (id_bit == 1 && cmp_id_bit == 1) {
        break;  // nobody answers
      }
      uint8_t search_direction;
      if (id_bit != cmp_id_bit) {
        search_direction = id_bit;
      } else {
        if (id_bit_number < OneWireStruct->LastDiscrepancy) {
          search_direction = ((OneWireStruct->ROM_NO[rom_byte_number] & rom_byte_mask) > 0) ? 1 : 0;
        } else {
          search_direction = (id_bit_number == OneWireStruct->LastDiscrepancy) ? 1 : 0;
        }
        if (search_direction == 0) {
          last_zero = id_bit_number;
          if (last_zero < 9) {
            OneWireStruct->LastFamilyDiscrepancy = last_zero;
          }
        }
      }
      if (search_direction == 1) {
        OneWireStruct->ROM_NO[rom_byte_number] |= rom_byte_mask;
      } else {
        OneWireStruct->ROM_NO[rom_byte_number] &= (uint8_t)~rom_byte_mask;
      }
      TM_OneWire_WriteBit(OneWireStruct, search_direction);
      id_bit_number++;
      rom_byte_mask <<= 1;
      if (rom_byte_mask == 0) {
        rom_byte_number++;
        rom_byte_mask = 1;
      }
    } while (rom_byte_number < 8);

    if (!(id_bit_number < 65)) {
      OneWireStruct->LastDiscrepancy = last_zero;
      if (OneWireStruct->LastDiscrepancy == 0) {
        OneWireStruct->LastDeviceFlag = 1;
      }
      search_result = 1;
    }
  }
  if (!search_result || !OneWireStruct->ROM_NO[0]) {
    TM_OneWire_ResetSearch(OneWireStruct);
    search_result = 0;
  }
  return search_result;
}

uint8_t TM_OneWire_First(TM_OneWire_t* OneWireStruct) {
  TM_OneWire_ResetSearch(OneWireStruct);
  return TM_OneWire_Search(OneWireStruct, ONEWIRE_CMD_SEARCHROM);
}

void TM_OneWire_SelectWithPointer(TM_OneWire_t* OneWireStruct, uint8_t* ROM) {
  TM_OneWire_WriteByte(OneWireStruct, ONEWIRE_CMD_MATCHROM);
  for (uint8_t i = 0; i < 8; i++) {
    TM_OneWire_WriteByte(OneWireStruct, *(ROM + i));
  }
}

void TM_OneWire_GetFullROM(TM_OneWire_t* OneWireStruct, uint8_t* firstIndex) {
  for (uint8_t i = 0; i < 8; i++) {
    *(firstIndex + i) = OneWireStruct->ROM_NO[i];
  }
}

// Dallas/Maxim CRC-8 (x^8 + x^5 + x^4 + 1), least significant bit first.
uint8_t TM_OneWire_CRC8(uint8_t* addr, uint8_t len) {
  uint8_t crc = 0;
  while (len--) {
    uint8_t inbyte = *addr++;
    for (uint8_t i = 8; i; i--) {
      const uint8_t mix = (crc ^ inbyte) & 0x01;
      crc >>= 1;
      if (mix) {
        crc ^= 0x8C;
      }
      inbyte >>= 1;
    }
  }
  return crc;
}
