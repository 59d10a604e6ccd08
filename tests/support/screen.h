// Screens as the panel holds them. The expected picture of a text is rendered
// from the font tables at its place and in its colours, and compared pixel by
// pixel with the panel's frame memory as the glass shows it; a mismatch names
// the first pixel that differs.
//
// DisplayRig runs display code directly: a board with the real firmware
// image, its own entry point (the board set-up with DMA and SPI1, then
// whatever a test hands to run(), in thread mode) and the panel on SPI1.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "firmware_runner.h"
#include "fontsLCD.h"
#include "sim/ili9488.h"

namespace screen {

// The 18-bit value the panel stores for an RGB565 colour sent by a fill or a
// character: each component's bits at the top of its six.
std::uint32_t stored(std::uint16_t rgb565);
// ... and for one sent by the picture blit, scaled to the full range.
std::uint32_t stored_image(std::uint16_t rgb565);

// `text` in `font` at size 1, cells from (x, y) on the landscape screen.
::testing::AssertionResult shows_text(const sim::Ili9488& panel, int x, int y, const std::string& text,
                                      const sFONT& font, std::uint16_t color, std::uint16_t background = 0x0000);
// The same for the top `rows` rows of the cells only (of lines that the next
// line down partly covers).
::testing::AssertionResult shows_text_rows(const sim::Ili9488& panel, int x, int y, const std::string& text,
                                           const sFONT& font, int rows, std::uint16_t color,
                                           std::uint16_t background = 0x0000);
// Every pixel of the w x h rectangle at (x, y) holds `color`.
::testing::AssertionResult shows_fill(const sim::Ili9488& panel, int x, int y, int w, int h, std::uint16_t color);
// Pixels of the rectangle that hold `color`.
int count_color(const sim::Ili9488& panel, int x, int y, int w, int h, std::uint16_t color);

class DisplayRig : public test::FirmwareRunner {
 protected:
  DisplayRig();

  // Runs fn in the firmware's thread mode; returns once it has returned.
  // Fails the test when it takes longer than `limit` of virtual time.
  void run(std::function<void()> fn, host::Time limit = 10 * host::kTimePerSecond) {
    run_firmware(std::move(fn), limit);
  }
  // The display started as the unit starts it: landscape, cleared to black.
  void start_display();

  sim::Ili9488& panel() { return panel_; }

 private:
  sim::Ili9488 panel_{machine()};
};

}  // namespace screen
