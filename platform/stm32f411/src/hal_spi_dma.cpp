// SPI1 as a transmitting master, by polling or by a DMA stream whose
// completion interrupt ends the transfer and calls the system back.
#include "stm32f4xx_hal.h"

namespace {

constexpr uint32_t kFlagShift[4] = {0, 6, 16, 22};  // a stream's flags in LISR/HISR
constexpr uint32_t kEndTimeoutMs = 100;

DMA_TypeDef* controller(const DMA_HandleTypeDef* hdma) { return (DMA_TypeDef*)(uintptr_t)hdma->StreamBaseAddress; }

uint32_t stream_flags(const DMA_HandleTypeDef* hdma) {
  const DMA_TypeDef* dma = controller(hdma);
  const uint32_t reg = hdma->StreamIndex < 4 ? dma->LISR : dma->HISR;
  return (reg >> kFlagShift[hdma->StreamIndex & 3U]) & 0x3DU;
}

void clear_stream_flags(const DMA_HandleTypeDef* hdma, uint32_t flags) {
  DMA_TypeDef* dma = controller(hdma);
  const uint32_t bits = (flags & 0x3DU) << kFlagShift[hdma->StreamIndex & 3U];
  if (hdma->StreamIndex < 4) {
    dma->LIFCR = bits;
  } else {
    dma->HIFCR = bits;
  }
}

// The last byte has left the shift register; a pending overrun is cleared.
bool wait_spi_idle(SPI_TypeDef* spi, uint32_t start, uint32_t timeout) {
  while ((spi->SR & SPI_SR_TXE) == 0 || (spi->SR & SPI_SR_BSY) != 0) {
    if (timeout != HAL_MAX_DELAY && HAL_GetTick() - start > timeout) return false;
  }
  (void)spi->DR;
  (void)spi->SR;
  return true;
}

void spi_dma_tx_done(DMA_HandleTypeDef* hdma) {
  auto* hspi = static_cast<SPI_HandleTypeDef*>(hdma->Parent);
  SPI_TypeDef* spi = hspi->Instance;
  spi->CR2 = spi->CR2 & ~SPI_CR2_TXDMAEN;
  if (!wait_spi_idle(spi, HAL_GetTick(), kEndTimeoutMs)) hspi->ErrorCode = hspi->ErrorCode | HAL_SPI_ERROR_DMA;
  hspi->TxXferCount = 0;
  hspi->State = HAL_SPI_STATE_READY;
  if (hspi->ErrorCode != HAL_SPI_ERROR_NONE) {
    HAL_SPI_ErrorCallback(hspi);
  } else {
    HAL_SPI_TxCpltCallback(hspi);
  }
}

void spi_dma_error(DMA_HandleTypeDef* hdma) {
  auto* hspi = static_cast<SPI_HandleTypeDef*>(hdma->Parent);
  hspi->Instance->CR2 = hspi->Instance->CR2 & ~SPI_CR2_TXDMAEN;
  hspi->ErrorCode = hspi->ErrorCode | HAL_SPI_ERROR_DMA;
  hspi->State = HAL_SPI_STATE_READY;
  HAL_SPI_ErrorCallback(hspi);
}

}  // namespace

HAL_StatusTypeDef HAL_DMA_Init(DMA_HandleTypeDef* hdma) {
  if (hdma == nullptr || hdma->Instance == nullptr) return HAL_ERROR;
  DMA_Stream_TypeDef* s = hdma->Instance;
  s->CR = s->CR & ~DMA_SxCR_EN;
  const uint32_t start = HAL_GetTick();
  while ((s->CR & DMA_SxCR_EN) != 0) {
    if (HAL_GetTick() - start > 5U) {
      hdma->State = HAL_DMA_STATE_TIMEOUT;
      return HAL_TIMEOUT;
    }
  }
  const DMA_InitTypeDef& in = hdma->Init;
  s->CR = in.Channel | in.Direction | in.PeriphInc | in.MemInc | in.PeriphDataAlignment | in.MemDataAlignment |
          in.Mode | in.Priority | in.MemBurst | in.PeriphBurst;
  s->FCR = in.FIFOMode == DMA_FIFOMODE_ENABLE ? (DMA_SxFCR_DMDIS | (in.FIFOThreshold & 3U)) : 0U;
  // Streams 0-7 sit 0x18 apart after the controller's four flag registers.
  const uint32_t addr = (uint32_t)(uintptr_t)s;
  const uint32_t base = addr & ~0x3FFU;
  hdma->StreamIndex = (addr - base - 0x10U) / 0x18U;
  hdma->StreamBaseAddress = base;
  clear_stream_flags(hdma, 0x3DU);
  hdma->ErrorCode = 0;
  hdma->State = HAL_DMA_STATE_READY;
  return HAL_OK;
}

void HAL_DMA_IRQHandler(DMA_HandleTypeDef* hdma) {
  DMA_Stream_TypeDef* s = hdma->Instance;
  const uint32_t flags = stream_flags(hdma);
  if ((flags & DMA_FLAG_TEIF) != 0 && (s->CR & DMA_SxCR_TEIE) != 0) {
    clear_stream_flags(hdma, DMA_FLAG_TEIF);
    s->CR = s->CR & ~(DMA_SxCR_EN | DMA_SxCR_TCIE | DMA_SxCR_TEIE | DMA_SxCR_DMEIE | DMA_SxCR_HTIE);
    hdma->ErrorCode = hdma->ErrorCode | 1U;
    hdma->State = HAL_DMA_STATE_READY;
    if (hdma->XferErrorCallback != nullptr) hdma->XferErrorCallback(hdma);
    return;
  }
  if ((flags & DMA_FLAG_DMEIF) != 0 && (s->CR & DMA_SxCR_DMEIE) != 0) {
    clear_stream_flags(hdma, DMA_FLAG_DMEIF);  // direct-mode error: the transfer goes on
  }
  if ((flags & DMA_FLAG_TCIF) != 0 && (s->CR & DMA_SxCR_TCIE) != 0) {
    clear_stream_flags(hdma, DMA_FLAG_TCIF | DMA_FLAG_HTIF);
    if ((s->CR & DMA_CIRCULAR) == 0) {
      s->CR = s->CR & ~(DMA_SxCR_TCIE | DMA_SxCR_TEIE | DMA_SxCR_DMEIE | DMA_SxCR_HTIE);
      hdma->State = HAL_DMA_STATE_READY;
    }
    if (hdma->XferCpltCallback != nullptr) hdma->XferCpltCallback(hdma);
  }
}

HAL_StatusTypeDef HAL_SPI_Init(SPI_HandleTypeDef* hspi) {
  if (hspi == nullptr || hspi->Instance == nullptr) return HAL_ERROR;
  if (hspi->State == HAL_SPI_STATE_RESET) {
    hspi->Lock = HAL_UNLOCKED;
    HAL_SPI_MspInit(hspi);
  }
  SPI_TypeDef* spi = hspi->Instance;
  const SPI_InitTypeDef& in = hspi->Init;
  spi->CR1 = spi->CR1 & ~SPI_CR1_SPE;
  // The HAL's constants are the CR1 bits themselves (MSTR|SSI, SSM, BR, ...).
  spi->CR1 = in.Mode | in.Direction | in.DataSize | in.CLKPolarity | in.CLKPhase | (in.NSS & 0x200U) |
             in.BaudRatePrescaler | in.FirstBit | in.CRCCalculation;
  spi->CR2 = ((in.NSS >> 16) & 0x4U) | in.TIMode;
  spi->CRCPR = in.CRCPolynomial;
  spi->I2SCFGR = spi->I2SCFGR & ~(1U << 11);  // SPI mode, not I2S
  hspi->ErrorCode = HAL_SPI_ERROR_NONE;
  hspi->State = HAL_SPI_STATE_READY;
  return HAL_OK;
}

HAL_StatusTypeDef HAL_SPI_Transmit(SPI_HandleTypeDef* hspi, uint8_t* pData, uint16_t Size, uint32_t Timeout) {
  const uint32_t start = HAL_GetTick();
  if (pData == nullptr || Size == 0) return HAL_ERROR;
  if (hspi->State != HAL_SPI_STATE_READY) return HAL_BUSY;
  hspi->State = HAL_SPI_STATE_BUSY_TX;
  hspi->ErrorCode = HAL_SPI_ERROR_NONE;
  SPI_TypeDef* spi = hspi->Instance;
  spi->CR1 = spi->CR1 | SPI_CR1_SPE;
  HAL_StatusTypeDef status = HAL_OK;
  for (uint16_t i = 0; i < Size && status == HAL_OK; i++) {
    while ((spi->SR & SPI_SR_TXE) == 0) {
      if (Timeout != HAL_MAX_DELAY && HAL_GetTick() - start > Timeout) {
        status = HAL_TIMEOUT;
        break;
      }
    }
    // A byte-wide write: a word write would send two frames.
    if (status == HAL_OK) *reinterpret_cast<volatile uint8_t*>(&spi->DR) = pData[i];
  }
  if (status == HAL_OK && !wait_spi_idle(spi, start, Timeout)) status = HAL_TIMEOUT;
  hspi->State = HAL_SPI_STATE_READY;
  return status;
}

HAL_StatusTypeDef HAL_SPI_Transmit_DMA(SPI_HandleTypeDef* hspi, uint8_t* pData, uint16_t Size) {
  if (pData == nullptr || Size == 0 || hspi->hdmatx == nullptr) return HAL_ERROR;
  if (hspi->State != HAL_SPI_STATE_READY) return HAL_BUSY;
  DMA_HandleTypeDef* hdma = hspi->hdmatx;
  if (hdma->State != HAL_DMA_STATE_READY) return HAL_BUSY;
  hspi->State = HAL_SPI_STATE_BUSY_TX;
  hspi->ErrorCode = HAL_SPI_ERROR_NONE;
  hspi->pTxBuffPtr = pData;
  hspi->TxXferSize = Size;
  hspi->TxXferCount = Size;
  hdma->XferCpltCallback = spi_dma_tx_done;
  hdma->XferErrorCallback = spi_dma_error;
  hdma->XferHalfCpltCallback = nullptr;
  hdma->State = HAL_DMA_STATE_BUSY;
  DMA_Stream_TypeDef* s = hdma->Instance;
  SPI_TypeDef* spi = hspi->Instance;
  s->CR = s->CR & ~DMA_SxCR_EN;
  while ((s->CR & DMA_SxCR_EN) != 0) {
  }
  clear_stream_flags(hdma, 0x3DU);
  s->PAR = (uint32_t)(uintptr_t)&spi->DR;
  s->M0AR = (uint32_t)(uintptr_t)pData;
  s->NDTR = Size;
  s->CR = s->CR | DMA_SxCR_TCIE | DMA_SxCR_TEIE | DMA_SxCR_DMEIE;
  s->CR = s->CR | DMA_SxCR_EN;
  spi->CR1 = spi->CR1 | SPI_CR1_SPE;
  spi->CR2 = spi->CR2 | SPI_CR2_TXDMAEN;
  return HAL_OK;
}
