// The ILI9488 panel model, driven over the board's SPI1 and control lines by
// code running on the simulated chip: commands, address windows, memory
// access control, pixel formats, reset, sleep and power.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "board_setup.h"
#include "main.h"
#include "screen.h"

namespace {

using host::Time;
using Bytes = std::vector<std::uint8_t>;

// ---- bus traffic, sent from the chip
void send(bool data, Bytes bytes) {
  HAL_GPIO_WritePin(lcd_dc_GPIO_Port, lcd_dc_Pin, data ? GPIO_PIN_SET : GPIO_PIN_RESET);
  HAL_SPI_Transmit(&hspi1, bytes.data(), static_cast<std::uint16_t>(bytes.size()), HAL_MAX_DELAY);
}
void command(std::uint8_t c, Bytes params = {}) {
  send(false, {c});
  if (!params.empty()) send(true, params);
}
void chip_select(bool selected) {
  HAL_GPIO_WritePin(lcd_cs_GPIO_Port, lcd_cs_Pin, selected ? GPIO_PIN_RESET : GPIO_PIN_SET);
}
void reset_line(bool low) { HAL_GPIO_WritePin(lcd_res_GPIO_Port, lcd_res_Pin, low ? GPIO_PIN_RESET : GPIO_PIN_SET); }
void hardware_reset() {
  reset_line(true);
  HAL_Delay(2);
  reset_line(false);
}
void window(int c1, int p1, int c2, int p2) {
  command(0x2A, {static_cast<std::uint8_t>(c1 >> 8), static_cast<std::uint8_t>(c1), static_cast<std::uint8_t>(c2 >> 8),
                 static_cast<std::uint8_t>(c2)});
  command(0x2B, {static_cast<std::uint8_t>(p1 >> 8), static_cast<std::uint8_t>(p1), static_cast<std::uint8_t>(p2 >> 8),
                 static_cast<std::uint8_t>(p2)});
}
// Reset, sleep out and display on, with the waits the controller needs.
void wake(std::uint8_t madctl) {
  chip_select(true);
  hardware_reset();
  HAL_Delay(125);
  command(0x11);
  HAL_Delay(10);
  command(0x29);
  command(0x36, {madctl});
}
// n pixels of one 18-bit colour, three bytes each.
Bytes pixels(int n, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  Bytes out;
  for (int i = 0; i < n; ++i) out.insert(out.end(), {r, g, b});
  return out;
}
std::uint32_t rgb6(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return (r << 12) | (g << 6) | b; }

class Panel : public screen::DisplayRig {
 protected:
  const sim::Ili9488::Counters& counters() { return panel().counters(); }
};

// ---------------------------------------------------------------- showing

TEST_F(Panel, ShowsNothingBeforeDisplayOnAndIsBlankAfterAReset) {
  EXPECT_FALSE(panel().lit());
  run([] {
    chip_select(true);
    hardware_reset();
    HAL_Delay(125);
    command(0x36, {0x00});
    window(0, 0, 9, 0);
    command(0x2C);
    send(true, pixels(10, 0xFC, 0x00, 0x00));  // stored, not yet shown
    command(0x11);
    HAL_Delay(10);
  });
  EXPECT_FALSE(panel().lit());
  EXPECT_EQ(panel().memory(3, 0), rgb6(0, 0, 63));  // BGR clear: the first byte lights blue
  EXPECT_EQ(panel().shown(479, 316), 0u);
  run([] { command(0x29); });
  EXPECT_TRUE(panel().lit());
  EXPECT_EQ(panel().shown(479, 316), rgb6(0, 0, 63));  // memory (3, 0) on the glass
  run([] { hardware_reset(); });
  EXPECT_FALSE(panel().lit());
  EXPECT_FALSE(panel().display_on());
  EXPECT_TRUE(panel().sleeping());
  const sim::Picture p = panel().picture();
  for (std::size_t i = 0; i < p.rgb.size(); ++i) ASSERT_EQ(p.rgb[i], 0) << i;
}

TEST_F(Panel, PowerLossLosesTheMemoryAndTheSettings) {
  run([] {
    wake(0xE8);
    window(0, 0, 479, 319);
    command(0x2C);
    send(true, pixels(5, 0xFC, 0xFC, 0xFC));
  });
  EXPECT_TRUE(panel().lit());
  EXPECT_EQ(panel().pixel(4, 0), rgb6(63, 63, 63));
  machine().set_powered(false);
  EXPECT_FALSE(panel().lit());
  EXPECT_EQ(panel().pixel(4, 0), 0u);
  machine().set_powered(true);
  EXPECT_FALSE(panel().lit());
  EXPECT_EQ(panel().madctl(), 0);
  EXPECT_EQ(panel().pixel_format(), 0x66);
}

TEST_F(Panel, PictureIsTheGlassInEightBitColour) {
  run([] {
    wake(0xE8);
    window(10, 20, 11, 20);
    command(0x2C);
    send(true, {0xFC, 0x80, 0x00, 0x04, 0x08, 0xFC});
    command(0x21);  // inversion on
  });
  EXPECT_TRUE(panel().inverted());
  run([] { command(0x20); });
  const sim::Picture p = panel().picture();
  ASSERT_EQ(p.width, 480);
  ASSERT_EQ(p.height, 320);
  EXPECT_EQ((Bytes{p.at(10, 20), p.at(10, 20) + 3}), (Bytes{0xFF, 0x82, 0x00}));
  EXPECT_EQ((Bytes{p.at(11, 20), p.at(11, 20) + 3}), (Bytes{0x04, 0x08, 0xFF}));
  run([] { command(0x21); });
  EXPECT_EQ(panel().shown(10, 20), rgb6(0, 31, 63));
}

// ---------------------------------------------------------------- memory writes

TEST_F(Panel, MemoryWriteFillsTheWindowRowByRowAndWrapsToItsStart) {
  run([] {
    wake(0x08);  // portrait, no mirror, BGR
    window(10, 20, 12, 21);
    command(0x2C);
    Bytes b;
    for (std::uint8_t i = 1; i <= 7; ++i) b.insert(b.end(), {static_cast<std::uint8_t>(i << 2), 0, 0});
    send(true, b);
  });
  EXPECT_EQ(panel().memory(10, 20), rgb6(7, 0, 0));  // the seventh pixel wrapped onto the first
  EXPECT_EQ(panel().memory(11, 20), rgb6(2, 0, 0));
  EXPECT_EQ(panel().memory(12, 20), rgb6(3, 0, 0));
  EXPECT_EQ(panel().memory(10, 21), rgb6(4, 0, 0));
  EXPECT_EQ(panel().memory(12, 21), rgb6(6, 0, 0));
  EXPECT_EQ(panel().memory(13, 20), 0u);
  EXPECT_EQ(counters().pixels, 7u);
}

TEST_F(Panel, APixelMaySpanTwoTransfersAndACommandDropsAHalfPixel) {
  run([] {
    wake(0x08);
    window(0, 0, 9, 0);
    command(0x2C);
    send(true, {0xFC, 0x00});
    send(true, {0xFC, 0x00, 0xFC, 0x00, 0x77});
    command(0x00);  // a command ends the write: the half pixel is lost
    command(0x3C);  // ... and a continued write goes on from the next pixel
    send(true, {0x00, 0x00, 0xFC});
  });
  EXPECT_EQ(panel().memory(0, 0), rgb6(63, 0, 63));
  EXPECT_EQ(panel().memory(1, 0), rgb6(0, 63, 0));
  EXPECT_EQ(panel().memory(2, 0), rgb6(0, 0, 63));
  EXPECT_EQ(counters().pixels, 3u);
}

// Pixels are taken whole and copied into the memory only when someone looks;
// what the glass shows must not depend on when that is.
TEST_F(Panel, RepeatedWindowsKeepTheOrderOfTheirOverlapsUntilLookedAt) {
  run([] {
    wake(0xE8);  // the unit's own orientation
    const auto fill = [](int c1, int p1, int c2, int p2, Bytes px) {
      window(c1, p1, c2, p2);
      command(0x2C);
      send(true, px);
    };
    fill(0, 0, 9, 1, pixels(20, 0xFC, 0, 0));      // A
    fill(5, 0, 14, 0, pixels(10, 0, 0xFC, 0));     // B over half of A's first row
    fill(0, 0, 9, 1, pixels(20, 0, 0, 0xFC));      // A again: all of the first A hidden, over B
    fill(20, 5, 22, 5, pixels(2, 0x40, 0x40, 0x40));  // a window left part-filled
  });
  EXPECT_EQ(panel().pixel(0, 0), rgb6(0, 0, 63));
  EXPECT_EQ(panel().pixel(4, 0), rgb6(0, 0, 63));
  EXPECT_EQ(panel().pixel(9, 0), rgb6(0, 0, 63));
  EXPECT_EQ(panel().pixel(10, 0), rgb6(0, 63, 0));
  EXPECT_EQ(panel().pixel(14, 0), rgb6(0, 63, 0));
  EXPECT_EQ(panel().pixel(9, 1), rgb6(0, 0, 63));
  EXPECT_EQ(panel().pixel(15, 0), 0u);
  EXPECT_EQ(panel().pixel(21, 5), rgb6(16, 16, 16));
  EXPECT_EQ(panel().pixel(22, 5), 0u);
  EXPECT_EQ(counters().pixels, 52u);
  // Looked at, then written again: the later write shows.
  run([] {
    window(0, 1, 9, 1);
    command(0x2C);
    send(true, pixels(10, 0xFC, 0xFC, 0xFC));
  });
  EXPECT_EQ(panel().pixel(3, 1), rgb6(63, 63, 63));
  EXPECT_EQ(panel().pixel(3, 0), rgb6(0, 0, 63));
}

TEST_F(Panel, WritesOfEveryKindKeepTheirOrder) {
  run([] {
    wake(0xE8);
    window(0, 0, 9, 0);
    command(0x2C);
    send(true, pixels(4, 0xFC, 0, 0));                // whole pixels
    send(true, {0, 0xFC, 0, 0, 0xFC});                // one pixel and a part
    send(true, {0});                                  // ... completed
    command(0x3C);                                    // continued from there
    send(true, pixels(3, 0, 0, 0xFC));
    command(0x36, {0x48});                            // portrait, column mirrored, BGR
    window(0, 470, 0, 470);                           // glass (9, 0) in this orientation
    command(0x2C);
    send(true, pixels(1, 0xFC, 0xFC, 0xFC));
    command(0x36, {0xE8});
    window(0, 0, 1, 0);
    command(0x2C);
    send(true, pixels(1, 0x80, 0x80, 0x80));          // over the first of them all
    command(0x3A, {0x61});                            // three bits a pixel
    window(0, 0, 1, 0);
    command(0x2C);
    send(true, {0x3F});                               // white, white: over the grey
    command(0x3A, {0x66});
    window(1, 0, 1, 0);
    command(0x2C);
    send(true, pixels(1, 0x80, 0x80, 0x80));
  });
  EXPECT_EQ(panel().pixel(0, 0), rgb6(63, 63, 63));
  EXPECT_EQ(panel().pixel(1, 0), rgb6(32, 32, 32));
  EXPECT_EQ(panel().pixel(2, 0), rgb6(63, 0, 0));
  EXPECT_EQ(panel().pixel(3, 0), rgb6(63, 0, 0));
  EXPECT_EQ(panel().pixel(4, 0), rgb6(0, 63, 0));
  EXPECT_EQ(panel().pixel(5, 0), rgb6(0, 63, 0));
  EXPECT_EQ(panel().pixel(6, 0), rgb6(0, 0, 63));
  EXPECT_EQ(panel().pixel(8, 0), rgb6(0, 0, 63));
  EXPECT_EQ(panel().pixel(9, 0), rgb6(63, 63, 63));
  EXPECT_EQ(panel().pixel(10, 0), 0u);
}

TEST_F(Panel, PixelsTakenBeforeTheColourOrderChangesKeepTheirColours) {
  run([] {
    wake(0xE8);  // BGR: the first byte lights red
    window(0, 0, 19, 0);
    command(0x2C);
    send(true, pixels(20, 0xFC, 0, 0));
    command(0x36, {0xE0});  // RGB: the first byte lights blue
    window(5, 0, 9, 0);
    command(0x2C);
    send(true, pixels(5, 0xFC, 0, 0));
  });
  EXPECT_EQ(panel().pixel(4, 0), rgb6(63, 0, 0));
  EXPECT_EQ(panel().pixel(5, 0), rgb6(0, 0, 63));
  EXPECT_EQ(panel().pixel(9, 0), rgb6(0, 0, 63));
  EXPECT_EQ(panel().pixel(10, 0), rgb6(63, 0, 0));
  EXPECT_EQ(panel().pixel(19, 0), rgb6(63, 0, 0));
}

TEST_F(Panel, ManyScreensWithoutALookShowTheLast) {
  // Ten whole screens and a moving dot, far more than is kept before it is
  // copied into place.
  run([] {
    wake(0xE8);
    for (std::uint8_t frame = 1; frame <= 10; ++frame) {
      window(0, 0, 479, 319);
      command(0x2C);
      const Bytes chunk = pixels(21845, static_cast<std::uint8_t>(frame << 2), 0, 0);
      for (int left = 480 * 320; left > 0; left -= 21845) {
        const int n = left < 21845 ? left : 21845;
        send(true, Bytes(chunk.begin(), chunk.begin() + 3 * n));
      }
      window(frame, 7, frame, 7);
      command(0x2C);
      send(true, pixels(1, 0, 0xFC, 0));
    }
  });
  EXPECT_EQ(panel().pixel(0, 0), rgb6(10, 0, 0));
  EXPECT_EQ(panel().pixel(479, 319), rgb6(10, 0, 0));
  EXPECT_EQ(panel().pixel(9, 7), rgb6(10, 0, 0));
  EXPECT_EQ(panel().pixel(10, 7), rgb6(0, 63, 0));
  EXPECT_EQ(counters().pixels, 10u * (480 * 320 + 1));
}

// Row/column exchange and the two mirrors map the host's (column, page)
// onto the memory; the BGR bit decides which byte lights red.
TEST_F(Panel, MemoryAccessControlMapsAddressesAndColourOrder) {
  const struct {
    std::uint8_t madctl;
    int column, row;  // memory address of host (5, 7)
  } cases[] = {{0x08, 5, 7}, {0x48, 314, 7}, {0x88, 5, 472}, {0x28, 7, 5}, {0xE8, 312, 474}, {0x68, 312, 5}};
  for (const auto& k : cases) {
    run([m = k.madctl] {
      wake(m);
      window(5, 7, 6, 7);
      command(0x2C);
      send(true, {0xFC, 0x40, 0x00, 0x00, 0x00, 0xFC});
    });
    EXPECT_EQ(panel().memory(k.column, k.row), rgb6(63, 16, 0)) << std::hex << int(k.madctl);
  }
  run([] {
    wake(0x00);  // RGB order on the BGR glass: red and blue change places
    window(0, 0, 0, 0);
    command(0x2C);
    send(true, {0xFC, 0x40, 0x00});
  });
  EXPECT_EQ(panel().memory(0, 0), rgb6(0, 16, 63));
}

TEST_F(Panel, PixelsOutsideTheMemoryAreDropped) {
  run([] {
    wake(0xE8);  // landscape: 480 columns, 320 pages
    window(478, 319, 481, 320);
    command(0x2C);
    send(true, pixels(8, 0xFC, 0xFC, 0x00));
  });
  EXPECT_EQ(counters().pixels, 2u);
  EXPECT_EQ(counters().clipped_pixels, 6u);
  EXPECT_EQ(panel().pixel(478, 319), rgb6(63, 63, 0));
  EXPECT_EQ(panel().pixel(479, 319), rgb6(63, 63, 0));
}

TEST_F(Panel, AWindowWithItsStartAfterItsEndIsRefused) {
  run([] {
    wake(0x08);
    window(20, 0, 29, 0);
    window(9, 0, 0, 0);
    command(0x2C);
    send(true, pixels(1, 0xFC, 0, 0));
  });
  EXPECT_EQ(counters().bad_windows, 1u);
  EXPECT_EQ(panel().memory(20, 0), rgb6(63, 0, 0));
}

TEST_F(Panel, AnAddressRangeSentInPiecesIsTakenAsAWhole) {
  run([] {
    wake(0x08);
    command(0x2A);
    send(true, {0x00});
    send(true, {0x05, 0x00});
    send(true, {0x06});  // columns 5..6
    command(0x2B);
    send(true, {0x00, 0x03});
    send(true, {0x00, 0x03});  // page 3
    command(0x2A);
    for (std::uint8_t b : {0x00, 0x09, 0x00, 0x01}) send(true, {b});  // 9..1: refused
    command(0x2C);
    send(true, pixels(2, 0xFC, 0, 0));
  });
  EXPECT_EQ(counters().bad_windows, 1u);
  EXPECT_EQ(counters().stray_data, 0u);
  EXPECT_EQ(panel().memory(5, 3), rgb6(63, 0, 0));
  EXPECT_EQ(panel().memory(6, 3), rgb6(63, 0, 0));
  EXPECT_EQ(panel().memory(7, 3), 0u);
}

TEST_F(Panel, ThreeBitColourPacksTwoPixelsAByteAndSixteenBitsAreNotOffered) {
  run([] {
    wake(0x08);
    command(0x3A, {0x61});
    window(0, 0, 9, 0);
    command(0x2C);
    send(true, {0x2A});  // 101 010: magenta, then green
    command(0x3A, {0x65});
    command(0x2C);
    send(true, {0xF8, 0x00});
  });
  EXPECT_EQ(panel().memory(0, 0), rgb6(63, 0, 63));
  EXPECT_EQ(panel().memory(1, 0), rgb6(0, 63, 0));
  EXPECT_EQ(counters().format_bytes, 2u);
  EXPECT_EQ(counters().pixels, 2u);
}

// ---------------------------------------------------------------- what is not taken

TEST_F(Panel, UnknownCommandsAreCountedAndTheirDataIgnored) {
  run([] {
    wake(0x08);
    command(0xC0, {0x17, 0x15});  // power control: not modelled
    command(0xE0, Bytes(15, 0x0F));
    window(0, 0, 0, 0);
    command(0x2C);
    send(true, pixels(1, 0x00, 0xFC, 0x00));
    command(0x29, {0x55});  // a stray parameter
  });
  EXPECT_EQ(counters().unknown_commands, 2u);
  EXPECT_EQ(counters().last_unknown, 0xE0);
  EXPECT_EQ(counters().stray_data, 1u);
  EXPECT_EQ(panel().memory(0, 0), rgb6(0, 63, 0));
  EXPECT_TRUE(panel().lit());
}

TEST_F(Panel, BytesWithoutChipSelectOrDuringResetAreNotTaken) {
  run([] {
    wake(0x08);
    chip_select(false);
    command(0x28);  // display off, not selected
    chip_select(true);
    reset_line(true);
    command(0x28);  // display off, in reset
  });
  EXPECT_EQ(counters().unselected_bytes, 2u);
  EXPECT_TRUE(panel().display_on());
  run([] { reset_line(false); });
  EXPECT_EQ(counters().resets, 2u);
  EXPECT_FALSE(panel().lit());
}

TEST_F(Panel, AResetShorterThanTenMicrosecondsIsAGlitch) {
  run([] {
    wake(0x08);
    reset_line(true);
    reset_line(false);  // 80 ns
  });
  EXPECT_TRUE(panel().lit());
  EXPECT_EQ(counters().resets, 1u);
}

TEST_F(Panel, CommandsInsideTheWakeUpWaitsAreDropped) {
  run([] {
    chip_select(true);
    hardware_reset();
    command(0x29);  // at once after the reset
    HAL_Delay(10);
    command(0x11);  // before 120 ms
    HAL_Delay(120);
    command(0x11);
    command(0x29);  // at once after sleep out
  });
  EXPECT_EQ(counters().early_commands, 3u);
  EXPECT_FALSE(panel().sleeping());
  EXPECT_FALSE(panel().display_on());
}

TEST_F(Panel, ALineChangedWhileBytesRunIsAFaultAndTheBurstKeepsItsStartLevel) {
  static Bytes burst = pixels(10, 0xFC, 0xFC, 0xFC);
  run([] {
    wake(0x08);
    window(0, 0, 9, 0);
    command(0x2C);
    HAL_GPIO_WritePin(lcd_dc_GPIO_Port, lcd_dc_Pin, GPIO_PIN_SET);
    HAL_SPI_Transmit_DMA(&hspi1, burst.data(), static_cast<std::uint16_t>(burst.size()));
    // A timed wait into the transfer (30 bytes: 4.8 µs), not a polling loop.
    const Time into = host::Machine::current().now() + host::from_us(2);
    while (host::Machine::current().now() < into) (void)static_cast<std::uint32_t>(DWT->CYCCNT);
    HAL_GPIO_WritePin(lcd_dc_GPIO_Port, lcd_dc_Pin, GPIO_PIN_RESET);
    HAL_Delay(2);
  });
  EXPECT_EQ(counters().line_changes, 1u);
  EXPECT_EQ(counters().pixels, 10u);
  EXPECT_EQ(counters().unknown_commands, 0u);
}

// ---------------------------------------------------------------- screenshots

TEST_F(Panel, TheDisplayPartWritesWhatTheGlassShowsAtASnapshot) {
  sim::TftDisplay part(machine());
  run([] {
    wake(0xE8);
    window(100, 200, 101, 200);
    command(0x2C);
    send(true, pixels(2, 0xFC, 0x00, 0xFC));
  });
  const std::string dir = ::testing::TempDir();
  part.snapshot(dir, "probe");
  const sim::Picture p = sim::read_png((std::filesystem::path(dir) / "tft-probe.png").string());
  ASSERT_EQ(p.width, 480);
  ASSERT_EQ(p.height, 320);
  EXPECT_EQ(p.rgb, part.panel.picture().rgb);
  EXPECT_EQ((Bytes{p.at(101, 200), p.at(101, 200) + 3}), (Bytes{0xFF, 0x00, 0xFF}));
  sim::ojson world;
  part.trace(world);
  EXPECT_EQ(world["tft"]["lit"], true);
  EXPECT_EQ(world["tft"]["pixels"], 2);
}

}  // namespace
