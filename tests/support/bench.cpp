#include "bench.h"

namespace bench {

class Signal::Change final : public host::Event {
 public:
  Change(Signal& s, Time t, host::Drive d) : Event(s.m_.events()), signal_(s), drive_(d) { schedule(t); }
  void fire(Time) override { signal_.m_.gpio().set_drive(signal_.driver_, drive_); }

 private:
  Signal& signal_;
  host::Drive drive_;
};

Signal::Signal(host::Machine& m, host::PinId pin, host::Drive initial) : m_(m), driver_(m.gpio().add_driver(pin, initial)) {}

Signal::~Signal() = default;

void Signal::set(bool level) { m_.gpio().set_drive(driver_, level ? host::Drive::High : host::Drive::Low); }

void Signal::at(Time t, bool level) {
  changes_.push_back(std::make_unique<Change>(*this, t, level ? host::Drive::High : host::Drive::Low));
}

void Signal::release_at(Time t) { changes_.push_back(std::make_unique<Change>(*this, t, host::Drive::None)); }

Bench::Bench() = default;
Bench::~Bench() = default;

void Bench::boot() {
  ignition.set(true);
  const Time limit = machine.now() + s(20);
  machine.run_for(ms(100));
  while (view.read<std::uint8_t>("drawlumo") != 0 && machine.now() < limit) machine.run_for(ms(10));
  ASSERT_EQ(view.read<std::uint8_t>("drawlumo"), 0) << "the start-up did not finish";
  machine.run_for(ms(20));
}

void Bench::at(Time t, std::function<void()> fn) {
  calls_.push_back(std::make_unique<host::FunctionEvent>(machine.events(), [fn = std::move(fn)](Time) { fn(); }));
  calls_.back()->schedule(t);
}

}  // namespace bench
