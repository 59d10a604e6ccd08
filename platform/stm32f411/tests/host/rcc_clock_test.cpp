// The clock tree's arithmetic: the board's PLL set-up gives 100 MHz with the
// buses at 100 and 50 MHz, and the HAL's divider constants mean what they say.
#include <gtest/gtest.h>

#include "rcc_clock.h"
#include "stm32f4xx_hal.h"

namespace {

constexpr uint32_t kHsi = 16000000U, kHse = 25000000U;

TEST(RccClock, TheBoardsPllWordAndFrequency) {
  // HSI / M 8 * N 100 / P 2, Q 4.
  const uint32_t word = kp_pllcfgr(8, 100, 2, 4, false);
  EXPECT_EQ(word, 0x04001908U);
  EXPECT_EQ(kp_pll_output_hz(word, kHsi, kHse), 100000000U);
  EXPECT_EQ(kp_pll_output_hz(kp_pllcfgr(25, 336, 4, 7, true), kHsi, kHse), 84000000U);
  EXPECT_EQ(kp_pll_output_hz(kp_pllcfgr(8, 100, 8, 4, false), kHsi, kHse), 25000000U);
  EXPECT_EQ(kp_pll_output_hz(0, kHsi, kHse), 0U);  // M 0 is no setting
}

TEST(RccClock, BusDividersFromTheHalConstants) {
  EXPECT_EQ(kp_ahb_shift(RCC_SYSCLK_DIV1 >> RCC_CFGR_HPRE_Pos), 0U);
  EXPECT_EQ(kp_ahb_shift(RCC_SYSCLK_DIV2 >> RCC_CFGR_HPRE_Pos), 1U);
  EXPECT_EQ(kp_ahb_shift(RCC_SYSCLK_DIV16 >> RCC_CFGR_HPRE_Pos), 4U);
  EXPECT_EQ(kp_ahb_shift(0xF), 9U);  // /512
  EXPECT_EQ(kp_apb_shift(RCC_HCLK_DIV1 >> RCC_CFGR_PPRE1_Pos), 0U);
  EXPECT_EQ(kp_apb_shift(RCC_HCLK_DIV2 >> RCC_CFGR_PPRE1_Pos), 1U);
  EXPECT_EQ(kp_apb_shift(RCC_HCLK_DIV16 >> RCC_CFGR_PPRE1_Pos), 4U);
  // APB2's field sits 3 bits higher: the HAL shifts the same constant there.
  EXPECT_EQ(((RCC_HCLK_DIV2 << 3) & RCC_CFGR_PPRE2_Msk) >> RCC_CFGR_PPRE2_Pos, 4U);
  EXPECT_EQ(100000000U >> kp_apb_shift(RCC_HCLK_DIV2 >> RCC_CFGR_PPRE1_Pos), 50000000U);
}

}  // namespace
