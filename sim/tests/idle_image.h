// A firmware image whose program only idles: the board is powered and time
// runs while the test alone drives the lines (they stay inputs).
#pragma once

#include "stm32f4xx_hal.h"
#include "test_image.h"

inline int idle_main() {
  for (;;) __NOP();
}

inline test::TestImage idle_image() {
  test::TestImage image;
  image.provide("main", &idle_main);
  return image;
}
