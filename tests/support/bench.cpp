#include "bench.h"

#include "vehicle_state.h"

namespace bench {

Signal::Signal(host::Machine& m, host::PinId pin, host::Drive initial) : m_(m), driver_(m.gpio().add_driver(pin, initial)) {}

void Signal::set(bool level) { m_.gpio().set_drive(driver_, level ? host::Drive::High : host::Drive::Low); }

void Signal::at(Time t, bool level) {
  const host::Drive drive = level ? host::Drive::High : host::Drive::Low;
  changes_.push_back(std::make_unique<host::FunctionEvent>(
      m_.events(), [&gpio = m_.gpio(), driver = driver_, drive](Time) { gpio.set_drive(driver, drive); }));
  changes_.back()->schedule(t);
}

Bench::Bench() = default;
Bench::~Bench() = default;

void Bench::boot() {
  ignition.set(true);
  machine.run_for(ms(100));
  wait_started(ms(10));
  ASSERT_EQ(drawlumo, 0) << "the start-up did not finish";
  machine.run_for(ms(20));
}

void Bench::wait_started(Time step) {
  run_while([] { return drawlumo != 0; }, s(20), step);
}

}  // namespace bench
