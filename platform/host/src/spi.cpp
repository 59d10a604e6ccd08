#include <algorithm>

#include "machine_impl.h"

namespace host {

void SpiPort::detach(SpiDevice* device) {
  devices_.erase(std::remove(devices_.begin(), devices_.end(), device), devices_.end());
}

namespace {
constexpr std::uint32_t kBlockingOverhead = 120;  // set-up and flag polling of a blocking transmit
constexpr std::uint32_t kDmaOverhead = 80;        // stream set-up before the first byte
constexpr int kDmaException = 16 + DMA2_Stream5_IRQn;

void dma_tx_complete(DMA_HandleTypeDef* hdma);
void dma_tx_error(DMA_HandleTypeDef* hdma);
}  // namespace

// The end of a DMA transfer hands the bytes to the devices on the bus, as a
// blocking transfer does from the processor's side: it may fire there.
SpiMaster::SpiMaster(MachineImpl& m, SpiPort& port) : Event(m.events), m_(m), port_(port) { fires_on_processor(); }

void SpiMaster::reset() {
  cancel();
  initialized_ = false;
  prescaler_div_ = 2;
  byte_time_generation_ = 0;
  dma_spi_ = nullptr;
  dma_data_ = nullptr;
  dma_size_ = 0;
  dma_tc_ = dma_te_ = false;
}

inline Time SpiMaster::byte_time() {
  if (byte_time_generation_ != m_.rcc.clock_generation()) refresh_byte_time();
  return byte_time_;
}

void SpiMaster::refresh_byte_time() {
  // SPI1 runs from PCLK2 through its baud-rate prescaler; 8 clocks a byte.
  const std::uint64_t hz = m_.rcc.pclk2() / prescaler_div_;
  byte_time_ = static_cast<Time>(8 * kTimePerSecond / hz);
  byte_time_generation_ = m_.rcc.clock_generation();
}

HAL_StatusTypeDef SpiMaster::init(SPI_HandleTypeDef* hspi) {
  if (hspi == nullptr || hspi->Instance != SPI1) return HAL_ERROR;
  m_.cpu.charge(cost::kHalInit);
  if (hspi->State == HAL_SPI_STATE_RESET) {
    hspi->Lock = HAL_UNLOCKED;
    if (m_.hooks.spi_msp_init != nullptr) m_.hooks.spi_msp_init(hspi);
  }
  if (!m_.rcc.enabled(Rcc::APB2ENR, RCC_APB2ENR_SPI1EN)) return HAL_ERROR;
  const auto& in = hspi->Init;
  if (in.Mode != SPI_MODE_MASTER && in.Mode != SPI_MODE_SLAVE) return HAL_ERROR;
  if (in.DataSize != SPI_DATASIZE_8BIT && in.DataSize != SPI_DATASIZE_16BIT) return HAL_ERROR;
  if ((in.BaudRatePrescaler & ~0x38u) != 0) return HAL_ERROR;
  prescaler_div_ = 2u << (in.BaudRatePrescaler >> 3);
  byte_time_generation_ = 0;
  initialized_ = in.Mode == SPI_MODE_MASTER && in.DataSize == SPI_DATASIZE_8BIT;
  hspi->ErrorCode = HAL_SPI_ERROR_NONE;
  hspi->State = HAL_SPI_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef SpiMaster::dma_init(DMA_HandleTypeDef* hdma) {
  if (hdma == nullptr || hdma->Instance == nullptr) return HAL_ERROR;
  m_.cpu.charge(cost::kHalInit);
  if (!m_.rcc.enabled(Rcc::AHB1ENR, RCC_AHB1ENR_DMA2EN)) return HAL_ERROR;
  if (hdma->Instance != DMA2_Stream5) {
    hdma->State = HAL_DMA_STATE_READY;  // a stream nothing in this board uses
    return HAL_OK;
  }
  const auto& in = hdma->Init;
  // SPI1 transmit is request channel 3 of DMA2 stream 5 (or stream 3).
  if (in.Channel != DMA_CHANNEL_3 || in.Direction != DMA_MEMORY_TO_PERIPH) return HAL_ERROR;
  if (in.MemInc != DMA_MINC_ENABLE || in.PeriphInc != DMA_PINC_DISABLE || in.Mode != DMA_NORMAL) return HAL_ERROR;
  hdma->State = HAL_DMA_STATE_READY;
  hdma->ErrorCode = 0;
  return HAL_OK;
}

HAL_StatusTypeDef SpiMaster::transmit(SPI_HandleTypeDef* hspi, const std::uint8_t* data, std::uint16_t size) {
  m_.cpu.charge(cost::kHalCall);
  if (hspi == nullptr || hspi->State != HAL_SPI_STATE_READY) return HAL_BUSY;
  if (data == nullptr || size == 0) return HAL_ERROR;
  if (!initialized_) return HAL_ERROR;
  hspi->State = HAL_SPI_STATE_BUSY_TX;
  const Time start = m_.cpu.now();
  m_.cpu.busy_until(start + kBlockingOverhead + size * byte_time());
  port_.count(size);
  for (SpiDevice* d : port_.devices()) d->spi_bytes(start, m_.cpu.now(), data, size);
  hspi->State = HAL_SPI_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef SpiMaster::transmit_dma(SPI_HandleTypeDef* hspi, std::uint8_t* data, std::uint16_t size) {
  m_.cpu.charge(cost::kHalCall);
  if (hspi == nullptr || hspi->State != HAL_SPI_STATE_READY) return HAL_BUSY;
  if (data == nullptr || size == 0 || hspi->hdmatx == nullptr || !initialized_) return HAL_ERROR;
  DMA_HandleTypeDef* hdma = hspi->hdmatx;
  if (hdma->State != HAL_DMA_STATE_READY || hdma->Instance != DMA2_Stream5) return HAL_ERROR;
  hspi->State = HAL_SPI_STATE_BUSY_TX;
  hspi->ErrorCode = HAL_SPI_ERROR_NONE;
  hspi->pTxBuffPtr = data;
  hspi->TxXferSize = size;
  hspi->TxXferCount = size;
  hdma->State = HAL_DMA_STATE_BUSY;
  hdma->XferCpltCallback = dma_tx_complete;
  hdma->XferErrorCallback = dma_tx_error;
  dma_spi_ = hspi;
  dma_data_ = data;
  dma_size_ = size;
  dma_start_ = m_.cpu.now() + kDmaOverhead;
  schedule(dma_start_ + size * byte_time());
  return HAL_OK;
}

void SpiMaster::fire(Time t) {
  if (dma_spi_ == nullptr) return;
  if (fail_next_) {
    fail_next_ = false;
    dma_te_ = true;
  } else {
    // The stream has read the buffer as it stands now: bytes the firmware
    // changed during the transfer arrive changed, as they would on the wire.
    port_.count(dma_size_);
    for (SpiDevice* d : port_.devices()) d->spi_bytes(dma_start_, t, dma_data_, dma_size_);
    dma_tc_ = true;
  }
  m_.nvic.set_pending(kDmaException);
}

void SpiMaster::dma_irq(DMA_HandleTypeDef* hdma) {
  m_.cpu.charge(cost::kHalCall);
  if (hdma == nullptr || hdma->Instance != DMA2_Stream5) return;
  if (dma_te_) {
    dma_te_ = false;
    hdma->State = HAL_DMA_STATE_READY;
    hdma->ErrorCode = 1;
    if (hdma->XferErrorCallback != nullptr) hdma->XferErrorCallback(hdma);
  } else if (dma_tc_) {
    dma_tc_ = false;
    hdma->State = HAL_DMA_STATE_READY;
    if (hdma->XferCpltCallback != nullptr) hdma->XferCpltCallback(hdma);
  }
}

namespace {

void dma_tx_complete(DMA_HandleTypeDef* hdma) {
  auto* hspi = static_cast<SPI_HandleTypeDef*>(hdma->Parent);
  MachineImpl& m = impl();
  if (hspi == nullptr) return;
  hspi->TxXferCount = 0;
  hspi->State = HAL_SPI_STATE_READY;
  if (m.hooks.spi_tx_complete != nullptr) m.hooks.spi_tx_complete(hspi);
}

void dma_tx_error(DMA_HandleTypeDef* hdma) {
  auto* hspi = static_cast<SPI_HandleTypeDef*>(hdma->Parent);
  MachineImpl& m = impl();
  if (hspi == nullptr) return;
  hspi->TxXferCount = 0;
  hspi->ErrorCode = hspi->ErrorCode | HAL_SPI_ERROR_DMA;
  hspi->State = HAL_SPI_STATE_READY;
  if (m.hooks.spi_error != nullptr) m.hooks.spi_error(hspi);
}

}  // namespace

}  // namespace host
