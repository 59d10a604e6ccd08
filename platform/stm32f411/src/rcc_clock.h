// The clock tree's arithmetic, free of register access: the PLL
// configuration word and the frequencies the RCC's dividers give.
#pragma once

#include <stdint.h>

// PLLCFGR: M in bits 5:0, N in 14:6, P (2, 4, 6 or 8) as P/2-1 in 17:16,
// the source in bit 22 (1 = HSE), Q in 27:24.
constexpr uint32_t kp_pllcfgr(uint32_t m, uint32_t n, uint32_t p, uint32_t q, bool hse) {
  return (m & 0x3FU) | ((n & 0x1FFU) << 6) | ((((p >> 1) - 1U) & 0x3U) << 16) | (hse ? (1U << 22) : 0U) |
         ((q & 0xFU) << 24);
}

// The PLL's main output (the system clock when selected) from PLLCFGR.
constexpr uint32_t kp_pll_output_hz(uint32_t pllcfgr, uint32_t hsi_hz, uint32_t hse_hz) {
  const uint32_t m = pllcfgr & 0x3FU;
  const uint32_t n = (pllcfgr >> 6) & 0x1FFU;
  const uint32_t p = (((pllcfgr >> 16) & 0x3U) + 1U) * 2U;
  const uint32_t in = (pllcfgr & (1U << 22)) != 0 ? hse_hz : hsi_hz;
  return m == 0 ? 0U : (uint32_t)((uint64_t)in / m * n / p);
}

// Right shifts of the AHB divider (CFGR.HPRE, 4 bits) and an APB divider
// (CFGR.PPRE1/PPRE2, 3 bits): 0xxx is /1, then /2, /4 ... (AHB skips /32).
constexpr uint32_t kp_ahb_shift(uint32_t hpre) {
  constexpr uint8_t shifts[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 6, 7, 8, 9};
  return shifts[hpre & 0xFU];
}
constexpr uint32_t kp_apb_shift(uint32_t ppre) {
  constexpr uint8_t shifts[8] = {0, 0, 0, 0, 1, 2, 3, 4};
  return shifts[ppre & 0x7U];
}
