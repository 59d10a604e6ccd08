// The chip's side of ADC1, I2C1 and SPI1 with its transmit DMA stream:
// conversions, transactions and transfers with their timing in virtual time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/buses.h"
#include "host/events.h"
#include "stm32f4xx_hal.h"

namespace host {

struct MachineImpl;

class Adc {
 public:
  explicit Adc(MachineImpl& m) : m_(m) {}
  void reset();
  HAL_StatusTypeDef init(ADC_HandleTypeDef* hadc);
  HAL_StatusTypeDef config_channel(ADC_HandleTypeDef* hadc, const ADC_ChannelConfTypeDef& c);
  HAL_StatusTypeDef start(ADC_HandleTypeDef* hadc);
  HAL_StatusTypeDef poll(ADC_HandleTypeDef* hadc, std::uint32_t timeout_ms);
  std::uint32_t value(ADC_HandleTypeDef* hadc);
  std::uint64_t conversions() const { return conversions_; }

 private:
  Time clock_period_x100() const;  // ADC clock period in hundredths of a time unit
  MachineImpl& m_;
  bool initialized_ = false;
  bool enabled_ = false;
  std::uint32_t channel_ = 0;
  std::uint32_t sample_cycles_ = 3;
  std::uint32_t prescaler_ = 2;
  bool converting_ = false;
  Time sample_at_ = 0;
  Time done_at_ = 0;
  bool eoc_ = false;
  std::uint32_t data_ = 0;
  std::uint64_t conversions_ = 0;
};

class I2cMaster {
 public:
  explicit I2cMaster(MachineImpl& m, I2cBus& bus) : m_(m), bus_(bus) {}
  void reset();
  // The chip stopped (reset or power loss) in the middle of a transaction.
  void cut();
  HAL_StatusTypeDef init(I2C_HandleTypeDef* hi2c);
  HAL_StatusTypeDef mem_write(I2C_HandleTypeDef* hi2c, std::uint16_t dev, std::uint16_t mem, std::uint16_t mem_size,
                              const std::uint8_t* data, std::uint16_t size);
  HAL_StatusTypeDef mem_read(I2C_HandleTypeDef* hi2c, std::uint16_t dev, std::uint16_t mem, std::uint16_t mem_size,
                             std::uint8_t* data, std::uint16_t size);
  HAL_StatusTypeDef is_device_ready(I2C_HandleTypeDef* hi2c, std::uint16_t dev, std::uint32_t trials);
  std::uint64_t bytes() const { return bytes_; }

 private:
  bool begin(I2C_HandleTypeDef* hi2c);
  bool start_condition(std::uint8_t address, bool read);
  bool write_byte(std::uint8_t byte);
  std::uint8_t read_byte(bool ack);
  void stop_condition();
  void finish(I2C_HandleTypeDef* hi2c);
  Time bit_time() const { return bit_time_; }

  MachineImpl& m_;
  I2cBus& bus_;
  bool initialized_ = false;
  Time bit_time_ = 1000;
  I2cTarget* target_ = nullptr;  // addressed by the transaction in progress
  std::vector<I2cTarget*> addressed_;
  bool in_transaction_ = false;
  I2cTransaction tr_;
  std::uint64_t bytes_ = 0;
};

class SpiMaster final : public Event {
 public:
  SpiMaster(MachineImpl& m, SpiPort& port);
  void reset();
  HAL_StatusTypeDef init(SPI_HandleTypeDef* hspi);
  HAL_StatusTypeDef dma_init(DMA_HandleTypeDef* hdma);
  HAL_StatusTypeDef transmit(SPI_HandleTypeDef* hspi, const std::uint8_t* data, std::uint16_t size);
  HAL_StatusTypeDef transmit_dma(SPI_HandleTypeDef* hspi, std::uint8_t* data, std::uint16_t size);
  void dma_irq(DMA_HandleTypeDef* hdma);
  // DMA transfer complete: the bytes reach the devices, the stream flags it.
  void fire(Time t) override;
  bool dma_asserted() const { return dma_tc_ || dma_te_; }
  // Fault injection: the next DMA transfer ends with a transfer error.
  void fail_next_dma() { fail_next_ = true; }

 private:
  // Time of one byte on the wire, kept until the clocks or the prescaler change.
  Time byte_time();
  void refresh_byte_time();
  MachineImpl& m_;
  Time byte_time_ = 0;
  std::uint32_t byte_time_generation_ = 0;  // 0: not computed
  SpiPort& port_;
  bool initialized_ = false;
  std::uint32_t prescaler_div_ = 2;
  SPI_HandleTypeDef* dma_spi_ = nullptr;
  const std::uint8_t* dma_data_ = nullptr;
  std::uint16_t dma_size_ = 0;
  Time dma_start_ = 0;
  bool dma_tc_ = false;
  bool dma_te_ = false;
  bool fail_next_ = false;
};

}  // namespace host
