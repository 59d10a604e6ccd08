// The TFT driver on the wire: which bytes go out, with which level of the
// data/command line, blocking or by DMA, and what the panel makes of them.
#include <cstdint>
#include <vector>

#include "board_setup.h"
#include "screen.h"
#include "z_displ_ILI9XXX.h"

namespace {

using host::Time;
using Bytes = std::vector<std::uint8_t>;

// Every burst on SPI1: command or data (the data/command line), sent by DMA
// or blocking (the transmit stream busy or not), and its bytes.
class WireLog final : public host::SpiDevice, private host::PinListener {
 public:
  struct Burst {
    bool command;
    bool dma;
    Bytes bytes;
  };
  explicit WireLog(host::Machine& m) : m_(m) {
    m_.spi1().attach(this);
    m_.gpio().add_listener(sim::pins::lcd_dc, this);
    dc_ = m_.gpio().level(sim::pins::lcd_dc);
  }
  ~WireLog() override {
    m_.spi1().detach(this);
    m_.gpio().remove_listener(sim::pins::lcd_dc, this);
  }
  void spi_bytes(Time, Time, const std::uint8_t* d, std::size_t n) override {
    bursts.push_back({!dc_, hdma_spi1_tx.State == HAL_DMA_STATE_BUSY, Bytes(d, d + n)});
  }
  std::size_t data_bytes() const {
    std::size_t n = 0;
    for (const Burst& b : bursts) n += b.command ? 0 : b.bytes.size();
    return n;
  }
  // The data bursts that follow each command, joined: {command, parameters}.
  std::vector<Bytes> commands() const {
    std::vector<Bytes> out;
    for (const Burst& b : bursts) {
      if (b.command) {
        for (std::uint8_t c : b.bytes) out.push_back({c});
      } else if (!out.empty()) {
        out.back().insert(out.back().end(), b.bytes.begin(), b.bytes.end());
      }
    }
    return out;
  }
  std::vector<Burst> bursts;

 private:
  void on_pin_level(host::PinId, Time, bool level) override { dc_ = level; }
  host::Machine& m_;
  bool dc_;
};

Bytes window(int x1, int y1, int x2, int y2) {
  return {static_cast<std::uint8_t>(x1 >> 8), static_cast<std::uint8_t>(x1), static_cast<std::uint8_t>(x2 >> 8),
          static_cast<std::uint8_t>(x2), static_cast<std::uint8_t>(y1 >> 8), static_cast<std::uint8_t>(y1),
          static_cast<std::uint8_t>(y2 >> 8), static_cast<std::uint8_t>(y2)};
}

// A board whose display has not been started.
class TftBoard : public screen::DisplayRig {};

class TftDriver : public screen::DisplayRig {
 protected:
  TftDriver() { start_display(); }
  // Bursts sent by fn alone.
  std::vector<WireLog::Burst> sent_by(std::function<void()> fn) {
    wire.bursts.clear();
    run([fn] {
      fn();
      while (Displ_SpiAvailable == 0) __NOP();
    });
    return wire.bursts;
  }
  // Checks one address window and memory write: 2A x1 x2, 2B y1 y2, 2C.
  static void expect_window(const std::vector<WireLog::Burst>& b, std::size_t at, int x1, int y1, int x2, int y2) {
    ASSERT_GE(b.size(), at + 5);
    const Bytes w = window(x1, y1, x2, y2);
    EXPECT_EQ(b[at].bytes, Bytes{0x2A});
    EXPECT_EQ(b[at + 1].bytes, Bytes(w.begin(), w.begin() + 4));
    EXPECT_EQ(b[at + 2].bytes, Bytes{0x2B});
    EXPECT_EQ(b[at + 3].bytes, Bytes(w.begin() + 4, w.end()));
    EXPECT_EQ(b[at + 4].bytes, Bytes{0x2C});
    for (std::size_t i = at; i < at + 5; ++i) {
      EXPECT_EQ(b[i].command, i % 2 == at % 2) << "burst " << i;
      EXPECT_FALSE(b[i].dma) << "burst " << i;
    }
  }
  WireLog wire{machine()};
};

// ---------------------------------------------------------------- start-up and orientation

TEST_F(TftBoard, StartUpResetsTheControllerAndWaitsItsTimes) {
  WireLog wire(machine());
  std::vector<std::pair<Time, bool>> res;
  struct ResetLine final : host::PinListener {
    std::vector<std::pair<Time, bool>>* edges;
    void on_pin_level(host::PinId, Time t, bool level) override { edges->push_back({t, level}); }
  } line;
  line.edges = &res;
  machine().gpio().add_listener(sim::pins::lcd_res, &line);
  Time start = 0, end = 0;
  run([&] {
    start = machine().now();
    Displ_Init(Displ_Orientat_90);
    end = machine().now();
  });
  machine().gpio().remove_listener(sim::pins::lcd_res, &line);

  // Reset held low (the board set-up leaves it low), then the waits: 500 ms
  // after the reset, 120 ms after sleep out, 5 ms after display on; each
  // delay of n ms lasts between n - 1 and n.
  ASSERT_FALSE(res.empty());
  EXPECT_TRUE(res.back().second);
  EXPECT_TRUE(res.size() == 1 || !res[res.size() - 2].second);
  EXPECT_GE(end - res.back().first, host::from_ms(622));
  EXPECT_EQ(wire.commands(), (std::vector<Bytes>{{0x3A, 0x66}, {0xB0, 0x80}, {0xB0, 0x80}, {0x11}, {0x29}, {0x36, 0xE8}}));
  EXPECT_LE(host::to_ms(end - start), 640.0);
  for (const auto& b : wire.bursts) EXPECT_FALSE(b.dma);

  // The controller took every command in its time and is showing.
  const auto& c = panel().counters();
  EXPECT_EQ(c.resets, 1u);
  EXPECT_EQ(c.early_commands, 0u);
  EXPECT_EQ(c.unknown_commands, 0u);
  EXPECT_EQ(c.unselected_bytes, 0u);
  EXPECT_TRUE(panel().lit());
  EXPECT_EQ(panel().pixel_format(), 0x66);
  EXPECT_EQ(panel().interface_mode(), 0x80);
  EXPECT_EQ(panel().madctl(), 0xE8);
  EXPECT_EQ(_width, 480);
  EXPECT_EQ(_height, 320);
  EXPECT_EQ(current_orientation, Displ_Orientat_90);
}

TEST_F(TftDriver, EachOrientationSendsItsMemoryAccessByteAndSize) {
  const struct {
    Displ_Orientat_e o;
    std::uint8_t madctl;
    int w, h;
  } cases[] = {{Displ_Orientat_0, 0x88, 320, 480},
               {Displ_Orientat_90, 0xE8, 480, 320},
               {Displ_Orientat_180, 0x48, 320, 480},
               {Displ_Orientat_270, 0x28, 480, 320}};
  for (const auto& k : cases) {
    const auto b = sent_by([&] { Displ_Orientation(k.o); });
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].bytes, Bytes{0x36});
    EXPECT_EQ(b[1].bytes, Bytes{k.madctl});
    EXPECT_EQ(_width, k.w);
    EXPECT_EQ(_height, k.h);
    EXPECT_EQ(current_orientation, k.o);
  }
  EXPECT_TRUE(sent_by([] { Displ_Orientation(static_cast<Displ_Orientat_e>(7)); }).empty());
  EXPECT_EQ(current_orientation, Displ_Orientat_270);
}

// In every orientation the logical top-left corner is the top-left corner of
// the picture the way it is meant to be held: rotations, never mirror images.
TEST_F(TftDriver, OrientationsRotateThePictureOnTheGlass) {
  const struct {
    Displ_Orientat_e o;
    int corner_x, corner_y;  // where logical (0, 0) lands on the landscape glass
    int right_x, right_y;    // ... logical (1, 0)
    int down_x, down_y;      // ... and logical (0, 1)
  } cases[] = {{Displ_Orientat_90, 0, 0, 1, 0, 0, 1},
               {Displ_Orientat_270, 479, 319, 478, 319, 479, 318},
               {Displ_Orientat_0, 0, 319, 0, 318, 1, 319},
               {Displ_Orientat_180, 479, 0, 479, 1, 478, 0}};
  for (const auto& k : cases) {
    run([&] {
      Displ_Orientation(k.o);
      Displ_CLS(BLACK);
      Displ_FillArea(0, 0, 1, 1, RED);
      Displ_FillArea(1, 0, 1, 1, GREEN);
      Displ_FillArea(0, 1, 1, 1, BLUE);
    });
    EXPECT_EQ(panel().pixel(k.corner_x, k.corner_y), screen::stored(RED)) << k.o;
    EXPECT_EQ(panel().pixel(k.right_x, k.right_y), screen::stored(GREEN)) << k.o;
    EXPECT_EQ(panel().pixel(k.down_x, k.down_y), screen::stored(BLUE)) << k.o;
    EXPECT_EQ(screen::count_color(panel(), 0, 0, 480, 320, BLACK), 480 * 320 - 3) << k.o;
  }
}

// ---------------------------------------------------------------- transfers

TEST_F(TftDriver, ShortTransfersGoBlockingAndFromTwentyBytesByDma) {
  std::uint8_t flag_after_6 = 0, flag_after_7 = 1;
  std::size_t delivered_after_6 = 0, delivered_after_7 = 0;
  const auto b = sent_by([&] {
    Displ_FillArea(10, 10, 6, 1, RED);  // 18 bytes
    flag_after_6 = Displ_SpiAvailable;
    delivered_after_6 = wire.data_bytes();
    Displ_FillArea(10, 11, 7, 1, RED);  // 21 bytes
    flag_after_7 = Displ_SpiAvailable;
    delivered_after_7 = wire.data_bytes();
  });
  EXPECT_EQ(flag_after_6, 1);
  EXPECT_EQ(delivered_after_6, 8u + 18u);  // two windows' parameters and the pixels, all sent
  EXPECT_EQ(flag_after_7, 0);              // the DMA still runs ...
  EXPECT_EQ(delivered_after_7, 16u + 18u);  // ... and its bytes are not out yet
  ASSERT_EQ(b.size(), 12u);
  EXPECT_EQ(b[5].bytes.size(), 18u);
  EXPECT_FALSE(b[5].dma);
  EXPECT_EQ(b[11].bytes.size(), 21u);
  EXPECT_TRUE(b[11].dma);
  EXPECT_EQ(wire.data_bytes(), 16u + 39u);
}

TEST_F(TftDriver, EmptyOrOffScreenFillsSendNothing) {
  EXPECT_TRUE(sent_by([] { Displ_FillArea(10, 10, 0, 5, RED); }).empty());
  EXPECT_TRUE(sent_by([] { Displ_FillArea(10, 10, 5, 0, RED); }).empty());
  EXPECT_TRUE(sent_by([] { Displ_FillArea(480, 10, 5, 5, RED); }).empty());
  EXPECT_TRUE(sent_by([] { Displ_FillArea(10, 320, 5, 5, RED); }).empty());
  EXPECT_TRUE(sent_by([] { Displ_WString(10, 10, "", Font24, 1, RED, BLACK); }).empty());
  EXPECT_TRUE(sent_by([] { ILI9488_DrawImage(0, 0, 0, 10, nullptr); }).empty());
}

TEST_F(TftBoard, NothingIsDrawnBeforeTheDisplayIsStarted) {
  WireLog wire(machine());
  run([] {
    Displ_FillArea(0, 0, 10, 10, RED);
    Displ_CLS(WHITE);
  });
  EXPECT_TRUE(wire.bursts.empty());
}

TEST_F(TftDriver, AddressWindowBytes) {
  const auto b = sent_by([] { Displ_SetAddressWindow(300, 220, 319, 244); });
  ASSERT_EQ(b.size(), 5u);
  expect_window(b, 0, 300, 220, 319, 244);
  EXPECT_EQ(b[1].bytes, (Bytes{0x01, 0x2C, 0x01, 0x3F}));
  EXPECT_EQ(b[3].bytes, (Bytes{0x00, 0xDC, 0x00, 0xF4}));
}

TEST_F(TftDriver, ClearScreenGoesInBlocksOfWholePixels) {
  const auto b = sent_by([] { Displ_CLS(BLACK); });
  ASSERT_EQ(b.size(), 5u + 57u);
  expect_window(b, 0, 0, 0, 479, 319);
  for (std::size_t i = 5; i < 61; ++i) {
    EXPECT_EQ(b[i].bytes.size(), 8190u);
    EXPECT_TRUE(b[i].dma);
  }
  EXPECT_EQ(b[61].bytes.size(), 2160u);
}

TEST_F(TftDriver, FillsAreClippedAtTheRightAndBottomEdges) {
  const auto b = sent_by([] { Displ_FillArea(461, 8, 3, 320, MAGENTA); });
  ASSERT_EQ(b.size(), 6u);
  expect_window(b, 0, 461, 8, 463, 319);
  EXPECT_EQ(b[5].bytes.size(), 2808u);
  sent_by([] { Displ_FillArea(470, 300, 50, 50, CYAN); });
  EXPECT_TRUE(screen::shows_fill(panel(), 470, 300, 10, 20, CYAN));
  EXPECT_EQ(panel().counters().clipped_pixels, 0u);
}

TEST_F(TftDriver, BorderIsFourFillsTopBottomLeftRight) {
  const auto b = sent_by([] { Displ_Border(299, 219, 122, 27, 1, WHITE); });
  ASSERT_EQ(b.size(), 4u * 6u);
  expect_window(b, 0, 299, 219, 420, 219);
  expect_window(b, 6, 299, 245, 420, 245);
  expect_window(b, 12, 299, 219, 299, 245);
  expect_window(b, 18, 420, 219, 420, 245);
  EXPECT_TRUE(screen::shows_fill(panel(), 299, 219, 122, 1, WHITE));
  EXPECT_TRUE(screen::shows_fill(panel(), 420, 219, 1, 27, WHITE));
  EXPECT_TRUE(screen::shows_fill(panel(), 300, 220, 120, 25, BLACK));
}

// ---------------------------------------------------------------- colours

TEST_F(TftDriver, FillsAndTextPutTheComponentsAtTheTopOfEachByte) {
  for (const auto& [color, triple] : {std::pair<std::uint16_t, Bytes>{0xFFFF, {0xF8, 0xFC, 0xF8}},
                                      {0xFB20, {0xF8, 0x64, 0x00}},
                                      {0x8410, {0x80, 0x80, 0x80}}}) {
    const auto b = sent_by([c = color] { Displ_FillArea(0, 0, 1, 1, c); });
    ASSERT_EQ(b.size(), 6u);
    EXPECT_EQ(b[5].bytes, triple) << std::hex << color;
  }
  // A Font12 '|' cell: foreground and background triples only.
  const auto b = sent_by([] { Displ_WChar(0, 0, '|', Font12, 1, 0xFB20, 0x8410); });
  ASSERT_EQ(b.size(), 6u);
  int fg = 0, bg = 0;
  for (std::size_t i = 0; i < b[5].bytes.size(); i += 3) {
    const Bytes t(b[5].bytes.begin() + i, b[5].bytes.begin() + i + 3);
    fg += t == Bytes{0xF8, 0x64, 0x00};
    bg += t == Bytes{0x80, 0x80, 0x80};
  }
  EXPECT_GT(fg, 0);
  EXPECT_EQ(fg + bg, 7 * 12);
}

TEST_F(TftDriver, ThePictureIsScaledToTheFullRangeRowByRowByDma) {
  // 3 x 2 pixels, high byte first.
  static std::uint8_t img[] = {0xFB, 0x20, 0xFF, 0xFF, 0x84, 0x10, 0x00, 0x00, 0xF8, 0x00, 0x07, 0xE0};
  const auto b = sent_by([] { ILI9488_DrawImage(100, 50, 3, 2, img); });
  ASSERT_EQ(b.size(), 7u);
  expect_window(b, 0, 100, 50, 102, 51);
  EXPECT_TRUE(b[5].dma);
  EXPECT_TRUE(b[6].dma);
  EXPECT_FALSE(b[5].command);
  EXPECT_EQ(b[5].bytes, (Bytes{0xFF, 0x65, 0x00, 0xFF, 0xFF, 0xFF, 0x83, 0x81, 0x83}));
  EXPECT_EQ(b[6].bytes, (Bytes{0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00}));
  EXPECT_EQ(panel().pixel(100, 50), screen::stored_image(0xFB20));
  EXPECT_EQ(panel().pixel(102, 50), screen::stored_image(0x8410));
  EXPECT_EQ(panel().pixel(101, 51), screen::stored_image(0xF800));
  EXPECT_EQ(Displ_SpiAvailable, 1);
}

// ---------------------------------------------------------------- characters and strings

TEST_F(TftDriver, ACharacterIsOneCellInOneTransfer) {
  const struct {
    const sFONT* font;
    std::uint8_t size;
    int w, h;
    std::size_t bytes;
  } cases[] = {{&Font12, 1, 7, 12, 252}, {&Font24, 1, 15, 24, 1080}, {&Font40, 1, 25, 40, 3000},
               {&Font40, 2, 50, 40, 6000}};
  for (const auto& k : cases) {
    const auto b = sent_by([&] { Displ_WChar(20, 30, 'A', *k.font, k.size, WHITE, BLACK); });
    ASSERT_EQ(b.size(), 6u);
    expect_window(b, 0, 20, 30, 20 + k.w - 1, 30 + k.h - 1);
    EXPECT_EQ(b[5].bytes.size(), k.bytes);
    EXPECT_TRUE(b[5].dma);
  }
  // At size 2 every pixel is doubled across.
  for (int r = 0; r < 40; ++r)
    for (int c = 0; c < 25; ++c) ASSERT_EQ(panel().pixel(20 + 2 * c, 30 + r), panel().pixel(21 + 2 * c, 30 + r));
}

TEST_F(TftDriver, StringsAdvanceByTheCellWidth) {
  const auto b = sent_by([] { Displ_WString(0, 0, "AB", Font24, 1, WHITE, BLACK); });
  ASSERT_EQ(b.size(), 12u);
  expect_window(b, 0, 0, 0, 14, 23);
  expect_window(b, 6, 15, 0, 29, 23);
  EXPECT_TRUE(screen::shows_text(panel(), 0, 0, "AB", Font24, WHITE, BLACK));
  // Above size 1 the advance is two cell widths; only size 2 draws wide cells.
  const auto c = sent_by([] { Displ_WString(100, 100, "xy", Font16, 3, WHITE, BLACK); });
  ASSERT_EQ(c.size(), 12u);
  expect_window(c, 0, 100, 100, 110, 115);
  expect_window(c, 6, 122, 100, 132, 115);
}

// No font of the unit needs it, but a cell larger than a buffer goes in
// pieces of whole rows under one window, and wide glyph rows are read whole.
TEST_F(TftDriver, ACellLargerThanABufferGoesInPieces) {
  static std::uint8_t table[95 * 100 * 5] = {};
  std::uint8_t* a = table + ('A' - 32) * 100 * 5;
  a[40 * 5 + 0] = 0x80;  // row 40, pixel 0: in the second piece
  a[99 * 5 + 4] = 0x01;  // row 99, pixel 39
  static sFONT big = {table, 40, 100, 5};
  const auto b = sent_by([] { Displ_WChar(10, 10, 'A', big, 2, WHITE, BLACK); });
  ASSERT_EQ(b.size(), 5u + 3u);
  expect_window(b, 0, 10, 10, 89, 109);
  EXPECT_EQ(b[5].bytes.size(), 34u * 240u);
  EXPECT_EQ(b[6].bytes.size(), 34u * 240u);
  EXPECT_EQ(b[7].bytes.size(), 32u * 240u);
  EXPECT_TRUE(screen::shows_fill(panel(), 10, 50, 2, 1, WHITE));
  EXPECT_TRUE(screen::shows_fill(panel(), 88, 109, 2, 1, WHITE));
  EXPECT_EQ(screen::count_color(panel(), 10, 10, 80, 100, WHITE), 4);
}

TEST_F(TftDriver, LongDataGoesInTransfersOfAtMost65535Bytes) {
  static std::uint8_t data[70000] = {};
  const auto b = sent_by([] { Displ_WriteData(data, sizeof data); });
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].bytes.size(), 65535u);
  EXPECT_EQ(b[1].bytes.size(), 70000u - 65535u);
}

TEST_F(TftDriver, CodesWithoutAGlyphDrawABlankCell) {
  sent_by([] { Displ_FillArea(0, 0, 100, 30, RED); });
  const auto b = sent_by([] { Displ_WString(0, 0, "\x1f\x7f\xc8", Font24, 1, WHITE, BLUE); });
  ASSERT_EQ(b.size(), 18u);
  EXPECT_TRUE(screen::shows_fill(panel(), 0, 0, 45, 24, BLUE));
}

// Each fill or character is composed in the other buffer while the one
// before is still on its way, so neither overwrites the other's bytes.
TEST_F(TftDriver, BackToBackTransfersKeepTheirOwnBytes) {
  sent_by([] {
    Displ_FillArea(0, 0, 100, 10, RED);
    Displ_FillArea(0, 10, 100, 10, GREEN);
    Displ_FillArea(0, 20, 100, 10, BLUE);
    Displ_WString(0, 40, "0123456789", Font40, 1, YELLOW, BLUE);
  });
  EXPECT_TRUE(screen::shows_fill(panel(), 0, 0, 100, 10, RED));
  EXPECT_TRUE(screen::shows_fill(panel(), 0, 10, 100, 10, GREEN));
  EXPECT_TRUE(screen::shows_fill(panel(), 0, 20, 100, 10, BLUE));
  EXPECT_TRUE(screen::shows_text(panel(), 0, 40, "0123456789", Font40, YELLOW, BLUE));
  EXPECT_EQ(panel().counters().line_changes, 0u);
}

// ---------------------------------------------------------------- failures

TEST_F(TftDriver, ATransferThatCannotStartLeavesTheBusFree) {
  std::uint8_t flag = 0;
  const auto b = sent_by([&] {
    DMA_HandleTypeDef* stream = hspi1.hdmatx;
    hspi1.hdmatx = nullptr;  // the stream refuses: nothing is sent
    Displ_FillArea(0, 0, 10, 10, RED);
    flag = Displ_SpiAvailable;
    hspi1.hdmatx = stream;
    Displ_FillArea(0, 0, 10, 10, GREEN);  // must not wait forever
  });
  EXPECT_EQ(flag, 1);
  ASSERT_EQ(b.size(), 5u + 6u);  // the first window, then the whole second fill
  EXPECT_TRUE(screen::shows_fill(panel(), 0, 0, 10, 10, GREEN));
}

TEST_F(TftDriver, OnlySpi1CompletionsFreeTheBus) {
  std::uint8_t after_other = 1, after_error = 0;
  run([&] {
    SPI_HandleTypeDef other{};
    Displ_SpiAvailable = 0;
    HAL_SPI_TxCpltCallback(&other);
    after_other = Displ_SpiAvailable;
    HAL_SPI_ErrorCallback(&hspi1);
    after_error = Displ_SpiAvailable;
  });
  EXPECT_EQ(after_other, 0);
  EXPECT_EQ(after_error, 1);
}

}  // namespace
