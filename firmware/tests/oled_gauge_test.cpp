// The OLED task on the running unit, seen on the SSD1306 model's glass: the
// logo at start-up and power-down, the three-line gauge, the switching
// between them, the bus it shares with the EEPROM, and a missing display.
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "LUMO.h"
#include "bench.h"
#include "firmware_call.h"
#include "oled_screen.h"
#include "sim/eeprom24c08.h"
#include "sim/ssd1306.h"
#include "tasks.h"
#include "vehicle_state.h"

namespace {

using namespace bench;
using oled::Screen;

// Keeps firmware globals at a test's values against the interrupts and
// tasks that also write them, by writing them again every 20 us.
class Hold final : public host::Event {
 public:
  Hold(host::Machine& m, std::function<void()> set) : Event(m.events()), set_(std::move(set)) {
    set_();
    schedule(m.now() + us(20));
  }
  void fire(Time t) override {
    set_();
    schedule(t + us(20));
  }

 private:
  std::function<void()> set_;
};

// A frame in the running unit, where the OLED task shares the processor
// with the main task in 1 ms slices (measured below).
constexpr Time kFrameInTheUnit = 220 * host::kTimePerMs;

Screen logo() {
  Screen s;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 128; ++x) s.set(x, y, lumo[y * 128 + x]);
  return s;
}

Screen gauge(const std::string& line1, const std::string& line2, const std::string& line3) {
  Screen s;
  oled::put_text(s, 0, 0, line1, Font_16x26);
  oled::put_text(s, 0, 26, line2, Font_11x18);
  oled::put_text(s, 0, 45, line3, Font_11x18);
  return s;
}

class OledGauge : public Bench {
 protected:
  // Ignition on and on through the start-up until the gauge is up.
  void boot_to_gauge() {
    ignition.set(true);
    wait_started(ms(1));
    ASSERT_EQ(drawlumo, 0);
    next_frame();
  }
  // Pins the values the gauge shows.
  void show(std::function<void()> set) { hold = std::make_unique<Hold>(machine, std::move(set)); }
  // Runs until a whole frame drawn after this moment is on the glass.
  void next_frame() {
    const std::uint64_t d0 = model.traffic().data_bytes;
    const std::uint64_t target = (d0 / 1024 + 2) * 1024;
    run_while([&] { return model.traffic().data_bytes < target; }, ms(2000), ms(1));
    ASSERT_GE(model.traffic().data_bytes, target);
  }
  Screen glass() const { return oled::glass(model); }
  bool glass_is(const Screen& want) const { return oled::same_rows(glass(), want, 0, 64); }
  // Time of the first transaction the OLED task starts at or after t.
  Time first_oled_transfer_from(Time t) const {
    for (const auto& tr : bus.log)
      if (tr.initiator == "oledvtask" && tr.start >= t) return tr.start;
    return host::kNever;
  }
  // Start times of the OLED task's frames (their page 0 command).
  std::vector<Time> frame_starts() const {
    std::vector<Time> starts;
    for (const auto& tr : bus.log)
      if (tr.initiator == "oledvtask" && tr.written == std::vector<std::uint8_t>{0x00, 0xB0}) starts.push_back(tr.start);
    return starts;
  }
  // The last complete frame of the OLED task: index of its first transaction.
  std::size_t last_frame() const {
    for (std::size_t i = bus.log.size(); i-- > 0;)
      if (bus.log[i].initiator == "oledvtask" && bus.log[i].written == std::vector<std::uint8_t>{0x00, 0xB0} &&
          i + 32 <= bus.log.size())
        return i;
    return bus.log.size();
  }
  // How long the last complete frame took to send (from the page 0 command
  // to the end of the last data run).
  Time frame_transfer() const {
    const std::size_t first = last_frame();
    return first < bus.log.size() ? bus.log[first + 31].end - bus.log[first].start : host::kNever / 2;
  }
  // Steps 1 ms at a time until the glass shows `want`; the time it took.
  Time until_glass_is(const Screen& want, Time limit) {
    const Time t0 = now();
    run_while([&] { return !glass_is(want); }, limit, ms(1));
    return now() - t0;
  }

  sim::Ssd1306 model{machine};
  I2cLog bus{machine};
  std::unique_ptr<Hold> hold;
};

// ---------------------------------------------------------------- the gauge

TEST_F(OledGauge, SecondLineSwitchesToLitresPer100kmAbove5kmh) {
  boot_to_gauge();
  auto values = [](float v) {
    return [v] {
      speed = v;
      instcons = 12.34f;
      instconsph = 1.234f;
      oledparam = 3;
      voltage = 12.5f;
    };
  };
  show(values(5.0f));
  next_frame();
  EXPECT_TRUE(glass_is(gauge("5km/h ", "1.23L/h ", "12.50V")));
  show(values(5.01f));
  next_frame();
  // The trailing blank of the second line does not fit: 11 characters do.
  EXPECT_TRUE(glass_is(gauge("5km/h ", "12.3L/100km", "12.50V")));
}

// A second without distance at speed: 0/0 is a not-a-number with its sign
// bit set on this host, which its C library would print as "-nan".
TEST_F(OledGauge, AConsumptionThatIsNotANumberReadsNan) {
  boot_to_gauge();
  show([] {
    speed = 20.0f;
    instcons = -std::numeric_limits<float>::quiet_NaN();
    oledparam = 3;
    voltage = 12.5f;
  });
  next_frame();
  EXPECT_TRUE(glass_is(gauge("20km/h ", "nanL/100km ", "12.50V")));
}

TEST_F(OledGauge, LongValuesAreCutAtTheRightEdge) {
  boot_to_gauge();
  show([] {
    speed = 123.4f;
    instcons = 123.4f;
    oledparam = 1;
    temp = -3.5f;
  });
  next_frame();
  // Seven characters of the large font fit: the blank after the unit not.
  EXPECT_TRUE(glass_is(gauge("123km/h", "123.4L/100k", "-3.5*C")));
}

TEST_F(OledGauge, ThirdLineShowsTheValueOledparamChooses) {
  boot_to_gauge();
  struct Case {
    uint8_t param;
    uint8_t on_lpg;
    const char* text;
  };
  for (const Case c : {Case{1, 0, "21.5*C"}, Case{3, 0, "13.80V"}, Case{4, 1, "9.9L/100km"}, Case{4, 0, "7.3L/100km"}}) {
    show([c] {
      speed = 0.0f;
      instconsph = 0.8f;
      oledparam = c.param;
      temp = 21.5f;
      voltage = 13.8f;
      IsOnLpg = c.on_lpg;
      avglpgcons = 9.87f;
      avgpbcons = 7.26f;
    });
    next_frame();
    EXPECT_TRUE(glass_is(gauge("0km/h ", "0.80L/h ", c.text))) << c.text;
  }
}

TEST_F(OledGauge, Oledparam2ShowsTheInjectionTimeAsABar) {
  boot_to_gauge();
  struct Case {
    float injtime, maxinjtime;
    int row54;  // lit pixels of the bar's middle row, columns 2..126
  };
  // Empty: the inner disc at the left end only; half: 55 columns of fill
  // and the end disc; full: 111 columns and the end disc up to column 126;
  // a limit of 0 makes every ratio full (the NaN of 0/0 loses to 1).
  for (const Case c : {Case{0.0f, 10.0f, 14}, Case{5.0f, 10.0f, 69}, Case{12.0f, 10.0f, 125}, Case{0.0f, 0.0f, 125}}) {
    show([c] {
      speed = 0.0f;
      instconsph = 0.8f;
      oledparam = 2;
      injtime = c.injtime;
      maxinjtime = c.maxinjtime;
    });
    next_frame();
    const Screen s = glass();
    EXPECT_TRUE(oled::same_rows(s, gauge("0km/h ", "0.80L/h ", ""), 0, 45)) << c.injtime << "/" << c.maxinjtime;
    EXPECT_EQ(oled::lit_in(s, 9, 45, 120, 46), 111);  // the frame's top edge
    EXPECT_EQ(oled::lit_in(s, 9, 63, 120, 64), 111);  // and its bottom edge on the last row
    EXPECT_EQ(oled::lit_in(s, 2, 54, 127, 55), c.row54) << c.injtime << "/" << c.maxinjtime;
  }
}

// ---------------------------------------------------------------- logo and switching

TEST_F(OledGauge, StartUpShowsTheLogoThenTheGaugeWithin500ms) {
  show([] {
    speed = 0.0f;
    instconsph = 0.5f;
    oledparam = 3;
    voltage = 14.1f;
  });
  ignition.set(true);
  const Time shown = until_glass_is(logo(), s(3));
  EXPECT_LT(shown, s(1));
  // The logo stays until the start-up switches to the gauge.
  while (drawlumo != 0 && now() < s(10)) {
    run_for(ms(1));
    if (drawlumo != 0) {
      ASSERT_TRUE(glass_is(logo())) << host::to_seconds(now());
    }
  }
  ASSERT_EQ(drawlumo, 0);
  const Time switched = now();
  const Time took = until_glass_is(gauge("0km/h ", "0.50L/h ", "14.10V"), s(1));
  const Time began = first_oled_transfer_from(switched) - switched;
  std::printf("[ report ] logo to gauge: transfer begins after %.1f ms, gauge on the glass after %.1f ms\n",
              host::to_ms(began), host::to_ms(took));
  EXPECT_LE(began, ms(501));
  EXPECT_LE(took - began, kFrameInTheUnit);
}

TEST_F(OledGauge, LogoReturnsWithinOneGaugeCycleAndTheGaugeWithin500ms) {
  boot_to_gauge();
  show([] {
    speed = 50.0f;
    instcons = 6.5f;
    oledparam = 3;
    voltage = 14.0f;
  });
  const Screen want = gauge("50km/h ", "6.5L/100km ", "14.00V");
  // At a few points of the gauge's cycle.
  for (Time phase : {ms(0), ms(37), ms(120), ms(171)}) {
    next_frame();
    ASSERT_TRUE(glass_is(want));
    run_for(phase);
    // One gauge cycle: from one frame's first transfer to the next.
    const std::vector<Time> frames = frame_starts();
    ASSERT_GE(frames.size(), 2u);
    const Time cycle = frames.back() - frames[frames.size() - 2];
    const Time transfer = frame_transfer();

    // The frame being sent is finished, the pause kept, then the logo sent.
    draw_lumo_logo();
    Time took = until_glass_is(logo(), s(1));
    EXPECT_LE(took, cycle + transfer + ms(1)) << "phase " << host::to_ms(phase);

    run_for(phase);
    const Time t = now();
    start_oled();
    took = until_glass_is(want, s(1));
    const Time began = first_oled_transfer_from(t) - t;
    EXPECT_LE(began, ms(501)) << "phase " << host::to_ms(phase);
    EXPECT_LE(took - began, kFrameInTheUnit) << "phase " << host::to_ms(phase);
  }
}

// The bytes of a frame need 0.1 s at 100 kHz; in the running unit the
// OLED task has the processor only in its time slices, and between them the
// bus waits for the next byte.
TEST_F(OledGauge, AGaugeFrameTakesATenthOfASecondOfBusTimeAndTwiceThatInTheUnit) {
  boot_to_gauge();
  run_for(s(2));
  const std::size_t first = last_frame();
  ASSERT_LT(first, bus.log.size());
  std::size_t bytes = 0;  // on the wire, the address bytes included
  for (std::size_t i = first; i < first + 32; ++i) bytes += 1 + bus.log[i].written.size();
  // 9 clocks a byte and a start and a stop per transaction.
  const double clocked_ms = (static_cast<double>(bytes) * 9 + 32 * 2) * 0.01;
  const Time span = frame_transfer();
  const std::vector<Time> starts = frame_starts();
  const Time cycle = starts.back() - starts[starts.size() - 2];
  std::printf("[ report ] one gauge frame: %zu bytes, %.1f ms of clocking at 100 kHz, %.1f ms in the running unit, "
              "a frame every %.1f ms\n",
              bytes, clocked_ms, host::to_ms(span), host::to_ms(cycle));
  EXPECT_EQ(bytes, 8u * (3 * 3 + 130));
  EXPECT_GE(span, host::from_ms(clocked_ms));
  EXPECT_LE(span, kFrameInTheUnit);
  EXPECT_NEAR(host::to_ms(cycle), host::to_ms(span) + 100.0, 2.0);
}

// ---------------------------------------------------------------- the shared bus

TEST_F(OledGauge, TheOledTaskNeverSharesTheBusWithTheRecord) {
  sim::Eeprom24c08 chip{machine};
  boot_to_gauge();
  offtime = 1.0f;
  run_for(s(1));
  ignition.set(false);
  // The logo comes back for the power-down; the record is written meanwhile.
  EXPECT_LE(until_glass_is(logo(), s(1)), ms(400));
  run_for(s(3));
  ignition.set(true);  // within the 5 s the power-down waits after the write
  show([] {
    speed = 0.0f;
    instconsph = 0.0f;
    oledparam = 3;
    voltage = 12.0f;
  });
  // The gauge returns once that wait is over.
  EXPECT_LE(until_glass_is(gauge("0km/h ", "0.00L/h ", "12.00V"), s(6)), s(3.5));

  std::size_t record = 0, frames = 0;
  for (const auto& a : bus.log) {
    if (a.initiator == "oledvtask") frames += a.written.size() == 129;
    if (a.initiator != "mainvTask") continue;
    record += a.address >= 0x50 && a.address <= 0x53;
    for (const auto& b : bus.log)
      if (b.initiator == "oledvtask") {
        EXPECT_TRUE(b.end <= a.start || a.end <= b.start) << "overlap at " << host::to_seconds(a.start);
      }
  }
  EXPECT_GT(record, 20u);  // the load at start-up and the write at power-down
  EXPECT_GT(frames, 8u * 8);
}

// ---------------------------------------------------------------- no display

class OledMissing : public Bench {
 protected:
  I2cLog bus{machine};
};

TEST_F(OledMissing, TheUnitRunsOnWithoutItsDisplay) {
  ignition.set(true);
  run_for(ms(50));
  // It gave up at once and left the bus, suspended until the main task is ready.
  EXPECT_EQ(eTaskGetState(reinterpret_cast<TaskHandle_t>(oledvtaskHandle)), eSuspended);
  wait_started(ms(1));
  EXPECT_EQ(drawlumo, 0);  // the start-up ran through
  std::size_t before = 0;
  for (const auto& t : bus.log) before += t.address == 0x3C;
  run_for(s(2));
  std::size_t after = 0;
  for (const auto& t : bus.log) {
    if (t.address != 0x3C) continue;
    ++after;
    EXPECT_FALSE(t.acknowledged);
    EXPECT_TRUE(t.complete);
  }
  // The task goes on with its frames, unanswered, about five a second.
  EXPECT_GE(after - before, 2u * 4 * 32);
}

}  // namespace
