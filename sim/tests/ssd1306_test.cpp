// The SSD1306 model as its data sheet has it: control bytes, commands and
// their parameters, the three addressing modes, what the glass shows, power
// and presence; and the OLED as a part of the world in scenarios and runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "host/machine.h"
#include "sim/oled_world.h"
#include "sim/runner.h"
#include "sim/scenario.h"
#include "scenario_error.h"
#include "scratch_dir.h"
#include "sim/ssd1306.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class Oled : public ::testing::Test {
 protected:
  // Powered, with no firmware running: the test is the bus master.
  Oled() { machine.set_powered(true); }

  // One write transaction to 0x3C, ending with a stop; false on a NACK.
  bool send(const Bytes& bytes) {
    host::I2cTarget* dev = machine.i2c1().target(sim::Ssd1306::kAddress);
    if (dev == nullptr || !dev->i2c_start(0, sim::Ssd1306::kAddress, false)) return false;
    bool ok = true;
    for (std::uint8_t b : bytes) ok = ok && dev->i2c_write(0, b);
    dev->i2c_stop(0);
    return ok;
  }
  // Each command byte in a transaction of its own, as the unit sends them.
  void commands(const Bytes& bytes) {
    for (std::uint8_t b : bytes) ASSERT_TRUE(send({0x00, b}));
  }
  void data(Bytes bytes) {
    bytes.insert(bytes.begin(), 0x40);
    ASSERT_TRUE(send(bytes));
  }
  // Charge pump and display on, picture upright in the unit's mounting.
  void switch_on_upright() { commands({0x8D, 0x14, 0xA1, 0xC8, 0xAF}); }
  // The glass agrees with the RAM bit by bit (upright, no offsets).
  bool glass_is_ram() const {
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 128; ++x)
        if (oled.lit(x, y) != (((oled.gddram(y / 8, x) >> (y % 8)) & 1) != 0)) return false;
    return true;
  }

  host::Machine machine{host::LinkedFirmware::instance()};
  sim::Ssd1306 oled{machine};
};

TEST_F(Oled, DarkUntilTheChargePumpAndTheDisplayAreOn) {
  EXPECT_TRUE(oled.powered());
  EXPECT_FALSE(oled.glowing());
  commands({0xAF});
  EXPECT_FALSE(oled.glowing());  // no panel voltage without the charge pump
  EXPECT_EQ(oled.lit_count(), 0);
  commands({0x8D, 0x14});
  EXPECT_TRUE(oled.glowing());
  // The RAM holds whatever it came up with until it is written.
  EXPECT_GT(oled.lit_count(), 2000);
  EXPECT_LT(oled.lit_count(), 6000);
  commands({0xAE});
  EXPECT_EQ(oled.lit_count(), 0);
}

TEST_F(Oled, HorizontalModeRunsAlongTheColumnRangeThenThePages) {
  switch_on_upright();
  commands({0x20, 0x00});
  Bytes frame(1026);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 37 + 5);
  data(frame);
  EXPECT_EQ(oled.gddram(0, 0), frame[1024]);  // wrapped to the start
  EXPECT_EQ(oled.gddram(0, 1), frame[1025]);
  EXPECT_EQ(oled.gddram(0, 2), frame[2]);
  EXPECT_EQ(oled.gddram(1, 0), frame[128]);
  EXPECT_EQ(oled.gddram(7, 127), frame[1023]);
  EXPECT_TRUE(glass_is_ram());

  // A window: columns 10..12 of pages 2..3; setting it moves the pointer.
  commands({0x21, 10, 12, 0x22, 2, 3});
  data({1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(oled.gddram(2, 10), 7);
  EXPECT_EQ(oled.gddram(2, 12), 3);
  EXPECT_EQ(oled.gddram(3, 10), 4);
  EXPECT_EQ(oled.gddram(3, 12), 6);
  EXPECT_EQ(oled.gddram(2, 13), frame[2 * 128 + 13]);  // outside the window
}

TEST_F(Oled, VerticalModeRunsDownThePagesThenTheColumns) {
  commands({0x20, 0x01, 0x21, 0, 127, 0x22, 0, 7});
  Bytes run(10);
  for (std::size_t i = 0; i < run.size(); ++i) run[i] = static_cast<std::uint8_t>(0xA0 + i);
  data(run);
  for (int p = 0; p < 8; ++p) EXPECT_EQ(oled.gddram(p, 0), 0xA0 + p);
  EXPECT_EQ(oled.gddram(0, 1), 0xA8);
  EXPECT_EQ(oled.gddram(1, 1), 0xA9);
}

TEST_F(Oled, PageModeTakesThePageStartAndTheColumnNibbles) {
  // Page addressing is the mode after power-up.
  commands({0xB3, 0x05, 0x12});  // page 3, column 0x25
  data({0x11, 0x22});
  EXPECT_EQ(oled.gddram(3, 37), 0x11);
  EXPECT_EQ(oled.gddram(3, 38), 0x22);
  // At the end of the page the pointer goes back to its column 0.
  commands({0xB6, 0x0F, 0x17});  // column 127
  data({0x33, 0x44});
  EXPECT_EQ(oled.gddram(6, 127), 0x33);
  EXPECT_EQ(oled.gddram(6, 0), 0x44);
  // In horizontal mode these commands leave the pointer alone.
  commands({0x20, 0x00, 0x21, 0, 127, 0x22, 0, 7, 0xB5, 0x03, 0x10});
  data({0x55});
  EXPECT_EQ(oled.gddram(0, 0), 0x55);
}

TEST_F(Oled, ControlBytesSayWhatFollows) {
  // Co = 0: a run of commands in one transaction.
  ASSERT_TRUE(send({0x00, 0x8D, 0x14, 0xA1, 0xC8, 0xAF}));
  EXPECT_TRUE(oled.glowing());
  // Co = 1: one byte, then another control byte: a command, a data byte,
  // then a run of data.
  ASSERT_TRUE(send({0x80, 0xB2, 0x80, 0x00, 0xC0, 0x5A, 0x40, 0x11, 0x22}));
  EXPECT_EQ(oled.gddram(2, 0), 0x5A);
  EXPECT_EQ(oled.gddram(2, 1), 0x11);
  EXPECT_EQ(oled.gddram(2, 2), 0x22);
  // A parameter may come in a transaction of its own, as the unit sends it.
  commands({0x81, 0x10});
  EXPECT_EQ(oled.contrast(), 0x10);
  commands({0x26, 0, 0, 0, 7, 0, 0xFF, 0x2F});  // a scroll set-up takes its six bytes
  EXPECT_TRUE(oled.scrolling());
  commands({0x2E});
  EXPECT_FALSE(oled.scrolling());
  EXPECT_EQ(oled.traffic().transactions, 2u + 2u + 8u + 1u);
}

TEST_F(Oled, RemapAndScanDirectionTurnThePicture) {
  commands({0x8D, 0x14, 0xAF, 0x20, 0x00});
  data(Bytes(1024, 0));
  commands({0x21, 0, 127, 0x22, 0, 7});
  data({0x01});  // RAM column 0, row 0
  struct Case {
    std::uint8_t segment, scan;
    int x, y;
  };
  // The module is mounted upside down: only both remaps read upright.
  for (const Case c : {Case{0xA0, 0xC0, 127, 63}, Case{0xA1, 0xC8, 0, 0}, Case{0xA1, 0xC0, 0, 63},
                       Case{0xA0, 0xC8, 127, 0}}) {
    commands({c.segment, c.scan});
    EXPECT_TRUE(oled.lit(c.x, c.y)) << std::hex << int(c.segment) << " " << int(c.scan);
    EXPECT_EQ(oled.lit_count(), 1);
  }
}

TEST_F(Oled, InverseEntireOnMultiplexAndStartLine) {
  switch_on_upright();
  commands({0x20, 0x00});
  Bytes frame(1024, 0);
  frame[0] = 0x0F;  // column 0, rows 0..3
  frame[128 + 5] = 0x01;  // column 5, row 8
  data(frame);
  EXPECT_EQ(oled.lit_count(), 5);
  commands({0xA7});
  EXPECT_EQ(oled.lit_count(), 8192 - 5);
  EXPECT_FALSE(oled.lit(0, 0));
  commands({0xA6, 0xA5});
  EXPECT_EQ(oled.lit_count(), 8192);
  commands({0xA8, 0x1F});  // 32 rows driven
  EXPECT_EQ(oled.lit_count(), 128 * 32);
  commands({0xA8, 0x05});  // below 16 rows: refused
  EXPECT_EQ(oled.lit_count(), 128 * 32);
  commands({0xA8, 0x3F, 0xA4, 0x48});  // start line 8: the picture moves up 8 rows
  EXPECT_TRUE(oled.lit(5, 0));
  EXPECT_EQ(oled.lit_count(), 1 + 4);  // rows 0..3 of RAM now at the bottom
  EXPECT_TRUE(oled.lit(0, 56));
  commands({0x40, 0xDA, 0x02});  // sequential COM pins: the rows interleave
  EXPECT_FALSE(glass_is_ram());
  commands({0xDA, 0x12});
  EXPECT_TRUE(glass_is_ram());
}

TEST_F(Oled, TheLitCountIsThePixelsLitUnderEverySetting) {
  auto pixels = [this] {
    int n = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 128; ++x) n += oled.lit(x, y);
    return n;
  };
  commands({0x20, 0x00});
  Bytes frame(1024);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 37 + (i >> 3));
  data(frame);
  EXPECT_EQ(oled.lit_count(), 0);  // dark
  commands({0x8D, 0x14, 0xAF});
  const Bytes settings[] = {{0xA1},       {0xC8},       {0xA7},       {0xA8, 0x2A}, {0xD3, 0x07},
                            {0x53},       {0xDA, 0x02}, {0xDA, 0x22}, {0xDA, 0x32}, {0xA6},
                            {0xA8, 0x0F}, {0xA5},       {0xA0},       {0xA4}};
  for (const Bytes& c : settings) {
    commands(c);
    EXPECT_EQ(oled.lit_count(), pixels()) << std::hex << int(c[0]);
  }
}

TEST_F(Oled, PowerLossForgetsSettingsAndPicture) {
  switch_on_upright();
  commands({0x20, 0x00});
  data(Bytes(1024, 0));
  ASSERT_TRUE(oled.glowing());
  machine.set_powered(false);
  EXPECT_FALSE(oled.glowing());
  EXPECT_FALSE(send({0x00, 0xAF}));  // nobody answers
  machine.set_powered(true);
  EXPECT_FALSE(oled.glowing());  // display off after the reset
  commands({0x8D, 0x14, 0xAF});
  EXPECT_GT(oled.lit_count(), 2000);  // the zeros are gone
}

TEST_F(Oled, APulledModuleDoesNotAnswerAndKeepsItsAddress) {
  switch_on_upright();
  oled.set_connected(false);
  EXPECT_FALSE(oled.glowing());
  EXPECT_FALSE(send({0x00, 0xAF}));
  EXPECT_THROW(sim::Ssd1306 other(machine), std::invalid_argument);
  oled.set_connected(true);
  EXPECT_TRUE(send({0x00, 0xAF}));
  EXPECT_FALSE(oled.glowing());  // back from its power-on reset: no charge pump
}

TEST_F(Oled, PhotoShowsPixelsWithGapsDimmedByTheContrast) {
  switch_on_upright();
  commands({0x20, 0x00});
  Bytes frame(1024, 0);
  frame[10] = 0x01;  // (10, 0)
  data(frame);
  const sim::Picture bright = oled.photo(4);
  ASSERT_EQ(bright.width, 128 * 4 + 16);
  ASSERT_EQ(bright.height, 64 * 4 + 16);
  const std::uint8_t* lit = bright.at(8 + 10 * 4 + 1, 8 + 1);
  const std::uint8_t* gap = bright.at(8 + 10 * 4 + 3, 8 + 1);
  const std::uint8_t* dark = bright.at(8 + 11 * 4 + 1, 8 + 1);
  EXPECT_GT(lit[1], 150);
  EXPECT_LT(gap[1], 40);
  EXPECT_LT(dark[1], 40);
  commands({0x81, 0x00});
  EXPECT_LT(oled.photo(4).at(8 + 10 * 4 + 1, 8 + 1)[1], lit[1]);
  EXPECT_GT(oled.photo(4).at(8 + 10 * 4 + 1, 8 + 1)[1], 100);
}

// ---------------------------------------------------------------- in the world

std::string error_of(const std::string& text) { return scenario_error_of(text); }

TEST(OledScenario, TheOledSectionSaysWhetherTheModuleIsFitted) {
  EXPECT_TRUE(sim::parse_scenario(R"({"steps": [{"wait": 1}]})", "a.json").oled.present);
  EXPECT_FALSE(sim::parse_scenario(R"({"oled": {"present": false}, "steps": [{"wait": 1}]})", "a.json").oled.present);
  EXPECT_EQ(error_of(R"({"oled": {"colour": "blue"}, "steps": [{"wait": 1}]})").rfind("drive.json: oled.colour: unknown field", 0),
            0u);
  EXPECT_EQ(error_of(R"({"oled": {"present": 1}, "steps": [{"wait": 1}]})").rfind("drive.json: oled.present: expected true or false", 0),
            0u);
}

namespace fs = std::filesystem;

// Lit pixels of a photograph.
int bright_pixels(const sim::Picture& p) {
  int n = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) n += p.at(x, y)[1] > 150;
  return n;
}

TEST(OledRun, SnapshotsWriteThePhotographOfTheModule) {
  const fs::path dir = scratch("run");
  const sim::Scenario sc = sim::parse_scenario(
      R"({"steps": [{"ignition": true}, {"at": 2, "snapshot": "logo"}, {"at": 7.5, "snapshot": "gauge"}, {"wait": 0.5}]})",
      "short.json");
  sim::RunOptions options;
  options.out_dir = dir.string();
  sim::Runner runner(sc, options);
  runner.run();
  for (const char* f : {"oled-logo.png", "oled-gauge.png", "oled-final.png"}) {
    ASSERT_TRUE(fs::exists(dir / f)) << f;
    const sim::Picture p = sim::read_png((dir / f).string());
    EXPECT_EQ(p.width, 128 * 4 + 16) << f;
    EXPECT_EQ(p.height, 64 * 4 + 16) << f;
    EXPECT_GT(bright_pixels(p), 500) << f;  // something shows
  }
  // The logo and the gauge are different pictures.
  EXPECT_NE(sim::read_png((dir / "oled-logo.png").string()).rgb, sim::read_png((dir / "oled-gauge.png").string()).rgb);
  auto* part = runner.world().part<sim::OledPart>();
  ASSERT_NE(part, nullptr);
  EXPECT_TRUE(part->oled().glowing());
  EXPECT_TRUE(runner.record(false)["world"]["oled"]["glowing"].get<bool>());
}

TEST(OledRun, WithoutTheModuleTheRunGoesOnAndWritesNoPhotograph) {
  const fs::path dir = scratch("absent");
  const sim::Scenario sc = sim::parse_scenario(
      R"({"oled": {"present": false}, "steps": [{"ignition": true}, {"at": 7.5, "snapshot": "gauge"}, {"wait": 0.5}]})",
      "short.json");
  sim::RunOptions options;
  options.out_dir = dir.string();
  sim::Runner runner(sc, options);
  runner.run();
  EXPECT_EQ(runner.world().part<sim::OledPart>(), nullptr);
  EXPECT_EQ(runner.machine().i2c1().target(sim::Ssd1306::kAddress), nullptr);
  EXPECT_TRUE(fs::exists(dir / "state-gauge.json"));
  EXPECT_FALSE(fs::exists(dir / "oled-gauge.png"));
  EXPECT_FALSE(fs::exists(dir / "oled-final.png"));
  EXPECT_EQ(runner.firmware().read<std::uint8_t>("drawlumo"), 0);  // the start-up ran through
}

}  // namespace
