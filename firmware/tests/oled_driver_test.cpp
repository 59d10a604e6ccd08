// The OLED driver on the board's I2C bus with the SSD1306 model: set-up and
// frame transfers as transactions, and what its drawing operations put on
// the glass.
#include <functional>
#include <vector>

#include "firmware_call.h"
#include "oled_screen.h"
#include "sim/ssd1306.h"
#include "ssd1306.h"

namespace {

using namespace bench;
using host::Time;
using oled::Screen;

using Bytes = std::vector<std::uint8_t>;

class OledDriver : public FirmwareCall {
 protected:
  // Sets the display up as the OLED task does, then runs `draw` on the
  // cleared buffer in white and sends the frame; the glass is in `screen`.
  void frame(std::function<void()> draw) {
    call([&] {
      ssd1306_Init();
      ssd1306_FlipScreenVertically();
      ssd1306_SetColor(White);
      draw();
      ssd1306_UpdateScreen();
    });
    screen = oled::glass(model);
  }
  // Sends the buffer and keeps what the glass shows (from inside a call).
  void shoot() {
    ssd1306_UpdateScreen();
    shots.push_back(oled::glass(model));
  }
  static Bytes bytes(const host::I2cTransaction& t) { return t.written; }

  sim::Ssd1306 model{machine()};
  I2cLog bus{machine()};
  Screen screen;
  std::vector<Screen> shots;
};

const Bytes kInitCommands = {0xAE, 0xD5, 0xF0, 0xA8, 63,   0xD3, 0x00, 0x40, 0x8D, 0x14, 0x20, 0x00, 0xA0,
                             0xC0, 0xDA, 0x12, 0x81, 0xCF, 0xD9, 0xF1, 0xDB, 0x40, 0xA4, 0xA6, 0x2E, 0xAF};

// ---------------------------------------------------------------- transfers

TEST_F(OledDriver, InitProbesWaitsSendsItsCommandsOneATransactionAndClears) {
  uint8_t result = 9;
  call([&] { result = ssd1306_Init(); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(SSD1306.Initialized, 1);
  const auto& log = bus.log;
  ASSERT_EQ(log.size(), 1 + kInitCommands.size() + 32);
  EXPECT_TRUE(log[0].written.empty());  // the probe: address only
  EXPECT_TRUE(log[0].acknowledged);
  EXPECT_GE(log[1].start - log[0].end, host::from_ms(99));  // HAL_Delay(100) on a running tick
  for (std::size_t i = 0; i < kInitCommands.size(); ++i)
    EXPECT_EQ(bytes(log[1 + i]), (Bytes{0x00, kInitCommands[i]})) << "command " << i;
  for (const auto& t : log) {
    EXPECT_EQ(t.address, 0x3C);
    EXPECT_TRUE(t.complete && t.acknowledged);
  }
  // The display is on and shows the cleared buffer, not the RAM's power-up
  // content.
  EXPECT_TRUE(model.glowing());
  EXPECT_EQ(model.lit_count(), 0);
}

TEST_F(OledDriver, WithoutADisplayInitGivesUpAfterFiveTrialsAndSendsNothing) {
  model.set_connected(false);
  uint8_t result = 9;
  const Time t0 = machine().now();
  call([&] { result = ssd1306_Init(); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(SSD1306.Initialized, 0);
  ASSERT_EQ(bus.log.size(), 5u);
  for (const auto& t : bus.log) {
    EXPECT_FALSE(t.acknowledged);
    EXPECT_TRUE(t.written.empty());
  }
  EXPECT_LT(machine().now() - t0, host::from_ms(20));  // nothing waits on a missing display
}

TEST_F(OledDriver, AFrameIsEightPagesOfThreeCommandsAndOneDataRun) {
  frame([] {
    ssd1306_DrawPixel(0, 0);
    ssd1306_DrawPixel(127, 0);
    ssd1306_DrawPixel(5, 9);
    ssd1306_DrawPixel(127, 63);
    ssd1306_DrawPixel(128, 5);  // off the screen
    ssd1306_DrawPixel(5, 64);
  });
  ASSERT_GE(bus.log.size(), 32u);
  const std::size_t first = bus.log.size() - 32;
  for (int p = 0; p < 8; ++p) {
    const auto* t = &bus.log[first + 4 * static_cast<std::size_t>(p)];
    EXPECT_EQ(bytes(t[0]), (Bytes{0x00, static_cast<std::uint8_t>(0xB0 + p)}));
    EXPECT_EQ(bytes(t[1]), (Bytes{0x00, 0x00}));
    EXPECT_EQ(bytes(t[2]), (Bytes{0x00, 0x10}));
    ASSERT_EQ(t[3].written.size(), 129u);
    EXPECT_EQ(t[3].written[0], 0x40);
  }
  // Pixel (5, 9) is bit 1 of byte 5 of page 1.
  EXPECT_EQ(bus.log[first + 7].written[1 + 5], 0x02);
  Screen want;
  want.set(0, 0, true);
  want.set(127, 0, true);
  want.set(5, 9, true);
  want.set(127, 63, true);
  EXPECT_TRUE(oled::same_rows(screen, want, 0, 64));
  // A whole frame takes about a tenth of a second on the bus.
  const Time took = bus.log.back().end - bus.log[first].start;
  std::printf("[ report ] one full frame on the bus: %.2f ms\n", host::to_ms(took));
  EXPECT_NEAR(host::to_ms(took), 101.5, 3.0);
}

TEST_F(OledDriver, TheFlipTurnsThePictureUprightForTheMounting) {
  call([&] {
    ssd1306_Init();
    ssd1306_SetColor(White);
    ssd1306_DrawPixel(3, 2);
    shoot();
    ssd1306_FlipScreenVertically();
    shots.push_back(oled::glass(model));
  });
  ASSERT_EQ(shots.size(), 2u);
  EXPECT_TRUE(shots[0].at(124, 61));  // as set up, the mounted module shows it upside down
  EXPECT_TRUE(shots[1].at(3, 2));
  EXPECT_EQ(oled::lit_in(shots[1], 0, 0, 128, 64), 1);
  EXPECT_EQ(bytes(bus.log[bus.log.size() - 2]), (Bytes{0x00, 0xA1}));
  EXPECT_EQ(bytes(bus.log.back()), (Bytes{0x00, 0xC8}));
}

// ---------------------------------------------------------------- text

TEST_F(OledDriver, AGlyphMayNotTouchTheLastColumnOrTheLastRow) {
  char r[4] = {};
  uint16_t x_after = 0;
  frame([&] {
    ssd1306_SetCursor(116, 0);
    r[0] = ssd1306_WriteChar('A', Font_11x18);  // up to column 126
    ssd1306_SetCursor(117, 20);
    r[1] = ssd1306_WriteChar('A', Font_11x18);
    x_after = SSD1306.CurrentX;
    ssd1306_SetCursor(0, 37);
    r[2] = ssd1306_WriteChar('B', Font_16x26);  // down to row 62
    ssd1306_SetCursor(40, 38);
    r[3] = ssd1306_WriteChar('B', Font_16x26);
  });
  EXPECT_EQ(r[0], 'A');
  EXPECT_EQ(r[1], 0);
  EXPECT_EQ(x_after, 117);  // a refused character leaves the cursor
  EXPECT_EQ(r[2], 'B');
  EXPECT_EQ(r[3], 0);
  Screen want;
  oled::put_text(want, 116, 0, "A", Font_11x18);
  oled::put_text(want, 0, 37, "B", Font_16x26);
  EXPECT_TRUE(oled::same_rows(screen, want, 0, 64));
  EXPECT_GT(oled::lit_in(screen, 116, 0, 127, 18), 10);
}

TEST_F(OledDriver, AStringStopsAtTheFirstRefusedCharacter) {
  char r[3] = {};
  char digits[] = "12345";
  char with_newline[] = "ab\ncd";
  char with_degree[] = "5\xB0" "C";
  frame([&] {
    ssd1306_SetCursor(90, 0);
    r[0] = ssd1306_WriteString(digits, Font_11x18);  // 90, 101, 112 fit; 123 does not
    ssd1306_SetCursor(0, 20);
    r[1] = ssd1306_WriteString(with_newline, Font_11x18);
    ssd1306_SetCursor(0, 40);
    r[2] = ssd1306_WriteString(with_degree, Font_11x18);
  });
  EXPECT_EQ(r[0], '4');
  EXPECT_EQ(r[1], '\n');  // no glyph, no new line
  EXPECT_EQ(r[2], '\xB0');
  Screen want;
  oled::put_text(want, 90, 0, "123", Font_11x18);
  oled::put_text(want, 0, 20, "ab", Font_11x18);
  oled::put_text(want, 0, 40, "5", Font_11x18);
  EXPECT_TRUE(oled::same_rows(screen, want, 0, 64));
}

TEST_F(OledDriver, GlyphsAreOpaqueCellsInEitherColour) {
  char x[] = "x";
  SSD1306_COLOR after_inverse = Black;
  frame([&] {
    ssd1306_Fill();  // white
    ssd1306_SetCursor(10, 10);
    ssd1306_WriteString(x, Font_11x18);
    ssd1306_SetColor(Black);
    ssd1306_SetCursor(40, 10);
    ssd1306_WriteString(x, Font_11x18);
    // Inverse text clears its cell and leaves the colour as it was set.
    ssd1306_SetColor(Inverse);
    ssd1306_SetCursor(70, 10);
    ssd1306_WriteString(x, Font_11x18);
    after_inverse = SSD1306.Color;
  });
  EXPECT_EQ(after_inverse, Inverse);
  Screen white, black;
  oled::put_text(white, 10, 10, "x", Font_11x18);
  oled::put_text(black, 40, 10, "x", Font_11x18);
  for (auto& p : black.px) p = !p;
  EXPECT_TRUE(oled::same_area(screen, white, 10, 10, 21, 28));
  EXPECT_TRUE(oled::same_area(screen, black, 40, 10, 51, 28));
  EXPECT_EQ(oled::lit_in(screen, 70, 10, 81, 28), 0);
  EXPECT_EQ(oled::lit_in(screen, 0, 0, 128, 10), 128 * 10);  // around the cells: still white
}

// ---------------------------------------------------------------- lines

TEST_F(OledDriver, HorizontalLinesAreClippedToTheScreen) {
  frame([] {
    ssd1306_DrawHorizontalLine(-10, 3, 20);  // columns 0..9
    ssd1306_DrawHorizontalLine(120, 5, 20);  // 120..127
    ssd1306_DrawHorizontalLine(10, -1, 5);
    ssd1306_DrawHorizontalLine(10, 64, 5);
    ssd1306_DrawHorizontalLine(10, 7, 0);
    ssd1306_DrawHorizontalLine(10, 8, -4);
    ssd1306_DrawHorizontalLine(-300, 9, 250);
    ssd1306_DrawHorizontalLine(-100, 11, -32700);  // shortened in 16 bits it would wrap to a whole row
    ssd1306_DrawHorizontalLine(30, 62, 3);
  });
  Screen want;
  for (int x = 0; x <= 9; ++x) want.set(x, 3, true);
  for (int x = 120; x <= 127; ++x) want.set(x, 5, true);
  for (int x = 30; x <= 32; ++x) want.set(x, 62, true);
  EXPECT_TRUE(oled::same_rows(screen, want, 0, 64));
}

TEST_F(OledDriver, VerticalLinesSetPartialAndWholeBytesWithTheirMasks) {
  frame([] {
    ssd1306_DrawVerticalLine(5, 5, 2);    // rows 5, 6 of page 0
    ssd1306_DrawVerticalLine(20, 5, 20);  // partial, two whole bytes, partial
    ssd1306_DrawVerticalLine(30, -3, 6);  // rows 0..2
    ssd1306_DrawVerticalLine(40, 60, 10);  // rows 60..63
    ssd1306_DrawVerticalLine(50, 8, 16);  // two whole bytes
    ssd1306_DrawVerticalLine(60, 0, 3);   // top rows of page 0 only
    ssd1306_DrawVerticalLine(127, 0, 64);
    ssd1306_DrawVerticalLine(128, 0, 10);
    ssd1306_DrawVerticalLine(-1, 0, 10);
    ssd1306_DrawVerticalLine(70, 64, 3);
    ssd1306_DrawVerticalLine(80, -100, -32700);
  });
  Screen want;
  auto column = [&](int x, int y0, int y1) {
    for (int y = y0; y <= y1; ++y) want.set(x, y, true);
  };
  column(5, 5, 6);
  column(20, 5, 24);
  column(30, 0, 2);
  column(40, 60, 63);
  column(50, 8, 23);
  column(60, 0, 2);
  column(127, 0, 63);
  EXPECT_TRUE(oled::same_rows(screen, want, 0, 64));
}

TEST_F(OledDriver, InverseTogglesLinesButClearsPixelsAndFillsWhite) {
  frame([] {
    ssd1306_SetColor(Inverse);
    ssd1306_Fill();  // white, as with White
    ssd1306_DrawPixel(3, 3);  // clears
    ssd1306_SetColor(Black);
    ssd1306_DrawHorizontalLine(0, 20, 64);
    ssd1306_SetColor(Inverse);
    ssd1306_DrawHorizontalLine(32, 20, 64);  // 32..63 back on, 64..95 off
    ssd1306_DrawVerticalLine(100, 30, 20);   // rows 30..49 off
    ssd1306_DrawVerticalLine(100, 40, 20);   // 40..49 on again, 50..59 off
    ssd1306_FillRect(110, 1, 3, 2);          // columns 110..112, rows 1..2 off
  });
  Screen want;
  want.px.fill(true);
  want.set(3, 3, false);
  for (int x = 0; x <= 31; ++x) want.set(x, 20, false);
  for (int x = 64; x <= 95; ++x) want.set(x, 20, false);
  for (int y = 30; y <= 39; ++y) want.set(100, y, false);
  for (int y = 50; y <= 59; ++y) want.set(100, y, false);
  for (int x = 110; x <= 112; ++x)
    for (int y = 1; y <= 2; ++y) want.set(x, y, false);
  EXPECT_TRUE(oled::same_rows(screen, want, 0, 64));

  bool cleared = false;
  // Clear ignores the colour (a second call boots a second time).
  machine().set_powered(false);
  call([&] {
    ssd1306_SetColor(White);
    ssd1306_Fill();
    ssd1306_Clear();
    cleared = true;
    for (uint8_t b : SSD1306_Buffer) cleared = cleared && b == 0;
  });
  EXPECT_TRUE(cleared);
}

// ---------------------------------------------------------------- shapes

// The gauge's bar: 128 x 18 at (0, 45); radius 9, the inner discs 7, the
// straight part 111 columns from column 9.
TEST_F(OledDriver, ProgressBarAtZeroFiftyAndHundredPercent) {
  call([&] {
    ssd1306_Init();
    ssd1306_FlipScreenVertically();
    for (uint8_t p : {0, 50, 100}) {
      ssd1306_SetColor(Black);
      ssd1306_Fill();
      ssd1306_SetColor(Inverse);  // the bar draws in white whatever was set
      ssd1306_DrawProgressBar(0, 45, 128, 18, p);
      shoot();
    }
  });
  ASSERT_EQ(shots.size(), 3u);
  for (const Screen& s : shots) {
    EXPECT_EQ(oled::lit_in(s, 9, 45, 120, 46), 111);  // top edge
    EXPECT_EQ(oled::lit_in(s, 9, 63, 120, 64), 111);  // bottom edge, on the last row
    EXPECT_TRUE(s.at(0, 54));                          // the left cap reaches column 0
    EXPECT_FALSE(s.at(1, 54));
    EXPECT_EQ(oled::lit_in(s, 0, 0, 128, 45), 0);
  }
  // 0 %: only the inner disc at the left end.
  EXPECT_EQ(oled::lit_in(shots[0], 2, 54, 16, 55), 14);
  EXPECT_EQ(oled::lit_in(shots[0], 16, 47, 111, 62), 0);
  // 50 %: 55 columns from column 10, rounded off by a disc around column 64.
  EXPECT_EQ(oled::lit_in(shots[1], 2, 54, 71, 55), 69);
  EXPECT_EQ(oled::lit_in(shots[1], 71, 47, 111, 62), 0);
  // 100 %: the fill reaches 111 columns, its end disc to column 126.
  EXPECT_EQ(oled::lit_in(shots[2], 10, 47, 121, 62), 111 * 15);
  EXPECT_EQ(oled::lit_in(shots[2], 2, 54, 127, 55), 125);
  EXPECT_FALSE(shots[2].at(127, 54));
}

TEST_F(OledDriver, CirclesAreClippedAndNeverWrapBackOntoTheScreen) {
  frame([] {
    ssd1306_DrawCircleQuads(64, 32, 10, 0xF);
    ssd1306_DrawCircleQuads(300, 20, 10, 0xF);   // 8-bit columns would put it at 44
    ssd1306_DrawCircleQuads(-200, 20, 10, 0xF);  // and this one at 56
    ssd1306_FillCircle(-20, 30, 10);
    ssd1306_FillCircle(20, 75, 10);
  });
  for (auto [x, y] : {std::pair{74, 32}, {54, 32}, {64, 22}, {64, 42}}) EXPECT_TRUE(screen.at(x, y)) << x << "," << y;
  EXPECT_FALSE(screen.at(64, 32));
  EXPECT_EQ(oled::lit_in(screen, 0, 0, 50, 64), 0);
  EXPECT_EQ(oled::lit_in(screen, 76, 0, 128, 64), 0);
  // The ring is symmetric.
  for (int y = 0; y < 64; ++y)
    for (int x = 54; x <= 74; ++x) EXPECT_EQ(screen.at(x, y), screen.at(128 - x, y)) << x << "," << y;
}

}  // namespace
