// I2C, SPI with DMA and the ADC move their bytes with real timing, and a
// device that is not there does not answer.
#include <vector>

#include "platform_fixture.h"

namespace test {
namespace {

HAL_StatusTypeDef read_status, ready_status, dma_status, busy_status;
std::uint8_t read_buf[4];
Time read_took, ready_took, dma_started, dma_done, blocking_took;
std::uint32_t adc_value;
HAL_StatusTypeDef poll_without_start;
Time poll_took;
std::uint8_t spi_bytes[64];

void tx_done(SPI_HandleTypeDef*) { dma_done = now(); }

int bus_main() {
  board_clocks();
  MX_GPIO_Init();
  MX_DMA_Init();
  MX_SPI1_Init();
  MX_ADC1_Init();
  MX_I2C1_Init();
  // Nobody at 0x50: a read is refused at the address and leaves the buffer.
  Time t = now();
  read_status = HAL_I2C_Mem_Read(&hi2c1, 0xA0, 0x10, I2C_MEMADD_SIZE_8BIT, read_buf, 4, 100);
  read_took = now() - t;
  t = now();
  ready_status = HAL_I2C_IsDeviceReady(&hi2c1, 0x78, 5, 1000);
  ready_took = now() - t;
  // 40 bytes by DMA at 50 MHz, then a second start while it runs.
  for (int i = 0; i < 64; ++i) spi_bytes[i] = static_cast<std::uint8_t>(i);
  dma_started = now();
  dma_status = HAL_SPI_Transmit_DMA(&hspi1, spi_bytes, 40);
  busy_status = HAL_SPI_Transmit_DMA(&hspi1, spi_bytes, 40);
  while (dma_done == 0) __NOP();
  t = now();
  HAL_SPI_Transmit(&hspi1, spi_bytes, 10, HAL_MAX_DELAY);
  blocking_took = now() - t;
  // One conversion of the petrol sender input (channel 2).
  HAL_ADC_Start(&hadc1);
  HAL_ADC_PollForConversion(&hadc1, 100);
  adc_value = HAL_ADC_GetValue(&hadc1);
  t = now();
  poll_without_start = HAL_ADC_PollForConversion(&hadc1, 100);
  poll_took = now() - t;
  for (;;) __NOP();
}

struct Recorder : host::SpiDevice {
  std::vector<std::uint8_t> bytes;
  Time start = 0, end = 0;
  void spi_bytes(Time s0, Time e, const std::uint8_t* d, std::size_t n) override {
    if (start == 0) start = s0;
    end = e;
    bytes.insert(bytes.end(), d, d + n);
  }
};

struct HalfSupply : host::AnalogInput {
  double voltage(Time) override { return 1.65; }
};

TEST_F(PlatformTest, BusesMoveBytesWithRealTiming) {
  TestImage image([] {
    read_buf[0] = read_buf[1] = read_buf[2] = read_buf[3] = 0x5A;
    dma_done = 0;
  });
  image.provide("main", &bus_main);
  image.provide("HAL_SPI_TxCpltCallback", &tx_done);
  Recorder spi;
  HalfSupply half;
  start(image);
  machine().spi1().attach(&spi);
  machine().adc1().attach(2, &half);
  machine().run_until(ms(200));

  EXPECT_EQ(read_status, HAL_ERROR);
  EXPECT_EQ(read_buf[0], 0x5A);
  EXPECT_EQ(read_buf[3], 0x5A);
  // Start, address byte with its (missing) acknowledge, stop: 11 bit times at 100 kHz.
  EXPECT_NEAR(host::to_ms(read_took), 0.11, 0.01);
  EXPECT_EQ(ready_status, HAL_ERROR);
  EXPECT_NEAR(host::to_ms(ready_took), 0.55, 0.05);

  EXPECT_EQ(dma_status, HAL_OK);
  EXPECT_EQ(busy_status, HAL_BUSY);
  // 40 bytes of 8 bits at 50 MHz: 6.4 µs, plus the stream's set-up and the
  // completion interrupt.
  EXPECT_GE(host::to_ms(dma_done - dma_started) * 1000.0, 6.4);
  EXPECT_LE(host::to_ms(dma_done - dma_started) * 1000.0, 9.0);
  ASSERT_EQ(spi.bytes.size(), 50u);
  EXPECT_EQ(spi.bytes[39], 39);
  EXPECT_EQ(spi.bytes[49], 9);
  EXPECT_GE(host::to_ms(blocking_took) * 1000.0, 1.6);
  EXPECT_LE(host::to_ms(blocking_took) * 1000.0, 3.5);

  EXPECT_NEAR(static_cast<double>(adc_value), 2048.0, 1.0);
  EXPECT_EQ(poll_without_start, HAL_TIMEOUT);
  EXPECT_NEAR(host::to_ms(poll_took), 100.0, 0.1);
}

}  // namespace
}  // namespace test
