#include "sim/car.h"

#include <algorithm>
#include <cmath>

#include "sim/board.h"
#include "sim/model_time.h"

namespace sim {

using host::Time;

std::string to_string(Fuel f) { return f == Fuel::Petrol ? "petrol" : "lpg"; }

std::string to_string(LpgSystem s) {
  switch (s) {
    case LpgSystem::Sequential: return "sequential";
    case LpgSystem::Level: return "level";
    case LpgSystem::None: return "none";
  }
  return "none";
}

// ---------------------------------------------------------------- motion

void Motion::ramp_to(Time now, double kmh, Time duration) {
  x0_ = distance_km(now);
  v0_ = speed_kmh(now);
  t0_ = now;
  t1_ = now + duration;
  v1_ = kmh;
}

double Motion::speed_kmh(Time t) const {
  if (t >= t1_) return v1_;
  if (t <= t0_) return v0_;
  const double f = static_cast<double>(t - t0_) / static_cast<double>(t1_ - t0_);
  return v0_ + (v1_ - v0_) * f;
}

double Motion::distance_km(Time t) const {
  if (t <= t0_) return x0_;
  const double ramp_s = host::to_seconds(std::min(t, t1_) - t0_);
  double x = x0_ + (v0_ + speed_kmh(std::min(t, t1_))) / 2.0 * ramp_s / 3600.0;
  if (t > t1_) x += v1_ * host::to_seconds(t - t1_) / 3600.0;
  return x;
}

Time Motion::time_at_distance(Time from, double km) const {
  if (distance_km(from) >= km) return from;
  // Inside the ramp: x(τ) = x0 + (v0 τ + a τ²/2) / 3600, τ in seconds.
  if (from < t1_) {
    const double span = host::to_seconds(t1_ - t0_);
    const double a = span > 0 ? (v1_ - v0_) / span : 0.0;
    const double need = (km - x0_) * 3600.0;  // km*s/h
    // The root in the form without cancellation: the cruise control's short
    // ramps have accelerations close to 0, where (-v0 + sqrt(disc)) / a
    // loses the time to rounding.
    const double disc = v0_ * v0_ + 2.0 * a * need;
    const double tau = disc < 0 ? INFINITY : 2.0 * need / (v0_ + std::sqrt(disc));
    if (tau >= 0 && tau <= span) {
      return std::max(later(t0_, ticks_after(tau)), from);
    }
  }
  if (v1_ <= 0) return host::kNever;
  const Time base = std::max(from, t1_);
  const double rest = (km - distance_km(base)) * 3600.0 / v1_;
  // A crawl can put the next pulse beyond the clock's range: never.
  return later(base, ticks_after(rest));
}

double Motion::acceleration(Time t) const {
  if (t < t0_ || t >= t1_) return 0.0;
  return (v1_ - v0_) / host::to_seconds(t1_ - t0_);
}

bool Motion::moving_after(Time t) const { return v1_ > 0 || t < t1_; }

// ---------------------------------------------------------------- injectors

// One injection cycle after another at the engine's injection period: the
// watched petrol injector line and, on a sequential LPG installation, the LPG
// injector line a moment later.
class Car::InjectorTrain final : public host::Event {
 public:
  explicit InjectorTrain(Car& car) : Event(car.machine_.events()), car_(car) {}

  void restart(Time now) {
    cancel();
    step_ = 0;
    if (car_.ignition_ && car_.rpm_ > 0) schedule(now + host::kTimePerMs);
  }

  void fire(Time t) override {
    Car& c = car_;
    if (!c.ignition_ || c.rpm_ <= 0) return;
    if (step_ == 0) {
      begin_cycle(t);
    }
    // Fire every edge due now, then wait for the next one.
    while (step_ < edges_) {
      Edge& e = edge_[step_];
      if (e.at > t) {
        schedule(e.at);
        return;
      }
      c.machine_.gpio().set_drive(e.line, e.level ? host::Drive::High : host::Drive::Low);
      ++step_;
    }
    step_ = 0;
    // An engine turning slowly enough has no next cycle within the clock's range.
    const Time next = later(cycle_start_, period_);
    if (next != host::kNever) schedule(next);
  }

 private:
  struct Edge {
    Time at;
    host::Gpio::DriverId line;
    bool level;
  };

  void begin_cycle(Time t) {
    Car& c = car_;
    const auto& p = c.props_;
    cycle_start_ = t;
    period_ = std::max<Time>(1, clock_ticks(60.0 / (c.rpm_ * p.injections_per_turn) * host::kTimePerSecond));
    edges_ = 0;
    const double max_ms = host::to_ms(period_) * 0.9;
    const bool on_lpg = c.fuel_ == Fuel::Lpg && p.lpg_system != LpgSystem::None;
    const bool petrol_signal = !on_lpg || p.lpg_system == LpgSystem::Level || p.petrol_line_on_lpg;
    if (petrol_signal && c.petrol_ms_ > 0) {
      const double ms = std::min(c.petrol_ms_, max_ms);
      add(t, c.petrol_line_, false);
      add(t + host::from_ms(ms), c.petrol_line_, true);
      if (!on_lpg) {
        c.burn(Fuel::Petrol, p.petrol_litres_per_ms * ms);
      } else if (p.lpg_system == LpgSystem::Level) {
        c.burn(Fuel::Lpg, p.lpg_litres_per_ms * ms);  // the mixer follows the petrol controller
      }
      ++c.truth_.injections;
    }
    if (on_lpg && p.lpg_system == LpgSystem::Sequential && c.lpg_ms_ > 0) {
      const double ms = std::min(c.lpg_ms_, max_ms);
      const Time open = t + host::from_ms(p.lpg_delay_ms);
      add(open, c.lpg_line_, false);
      add(open + host::from_ms(ms), c.lpg_line_, true);
      c.burn(Fuel::Lpg, p.lpg_litres_per_ms * ms);
      ++c.truth_.injections;
    }
    std::sort(edge_, edge_ + edges_, [](const Edge& a, const Edge& b) { return a.at < b.at; });
  }

  void add(Time at, host::Gpio::DriverId line, bool level) { edge_[edges_++] = Edge{at, line, level}; }

  Car& car_;
  Edge edge_[4];
  int edges_ = 0;
  int step_ = 0;
  Time cycle_start_ = 0;
  Time period_ = 0;
};

// ---------------------------------------------------------------- speed sensor

// A pulse per 1/pulses_per_km of distance, high for a millisecond (or half
// the period at high pulse rates); powered from the ignition.
class Car::SpeedSensor final : public host::Event {
 public:
  explicit SpeedSensor(Car& car) : Event(car.machine_.events()), car_(car) {}

  void restart(Time now) {
    cancel();
    high_ = false;
    car_.machine_.gpio().set_drive(car_.speed_line_, host::Drive::Low);
    next_pulse_ = std::floor(car_.motion_.distance_km(now) * car_.props_.pulses_per_km + 1e-9) + 1.0;
    schedule_next(now);
  }

  // The motion changed with the distance continuous: a pulse in progress
  // ends as planned, and the next comes when the new motion reaches it.
  void retime(Time now) {
    if (high_) return;
    cancel();
    schedule_next(now);
  }

  void fire(Time t) override {
    Car& c = car_;
    if (high_) {
      high_ = false;
      c.machine_.gpio().set_drive(c.speed_line_, host::Drive::Low);
      schedule_next(t);
      return;
    }
    ++c.truth_.speed_pulses;
    next_pulse_ += 1.0;
    if (!c.ignition_) {
      schedule_next(t);
      return;
    }
    high_ = true;
    c.machine_.gpio().set_drive(c.speed_line_, host::Drive::High);
    const double hz = c.motion_.speed_kmh(t) * c.props_.pulses_per_km / 3600.0;
    const double width_ms = hz > 500.0 ? 500.0 / hz : 1.0;
    schedule(t + host::from_ms(width_ms));
  }

 private:
  void schedule_next(Time now) {
    const Time at = car_.motion_.time_at_distance(now, next_pulse_ / car_.props_.pulses_per_km);
    if (at != host::kNever) schedule(std::max(at, now));
  }

  Car& car_;
  bool high_ = false;
  double next_pulse_ = 1.0;
};

// ---------------------------------------------------------------- throttle drive

// While the cruise control drives, the longitudinal model advances in fixed
// steps; the speed between two steps is a straight ramp, so the distance (and
// with it each speed-sensor pulse) stays exact along it. Scheduled only while
// the car is cruising: hand_back() cancels it.
class Car::ThrottleDrive final : public host::Event {
 public:
  explicit ThrottleDrive(Car& car) : Event(car.machine_.events()), car_(car) {}

  void fire(Time t) override {
    Car& c = car_;
    const double gradient = c.road_.gradient_percent(c.motion_.distance_km(t));
    const double v = c.model_.advance(host::to_seconds(kModelStep), c.throttle_->opening(), gradient, c.engine_on());
    c.motion_.ramp_to(t, v * 3.6, kModelStep);
    c.sensor_->retime(t);
    schedule(t + kModelStep);
  }

 private:
  Car& car_;
};

// ---------------------------------------------------------------- car

Car::Car(host::Machine& machine, const CarProperties& props)
    : machine_(machine),
      props_(props),
      petrol_litres_(props.petrol_litres),
      lpg_litres_(props.lpg_litres),
      model_(props.vehicle) {
  petrol_line_ = machine.gpio().add_driver(pins::wtr_pb, host::Drive::Low);
  lpg_line_ = machine.gpio().add_driver(pins::wtr_lpg, host::Drive::None);
  speed_line_ = machine.gpio().add_driver(pins::speed, host::Drive::Low);
  injectors_ = std::make_unique<InjectorTrain>(*this);
  sensor_ = std::make_unique<SpeedSensor>(*this);
  throttle_ = std::make_unique<StepperThrottle>(machine, props.vehicle.throttle_steps);
  drive_ = std::make_unique<ThrottleDrive>(*this);
  throttle_->on_energised([this](Time t, bool energised) { on_stepper(t, energised); });
  update_lines();
}

Car::~Car() = default;

void Car::update_lines() {
  auto& g = machine_.gpio();
  // An injector line reads high through the closed injector from the
  // switched supply, low while open or with the supply off.
  g.set_drive(petrol_line_, ignition_ ? host::Drive::High : host::Drive::Low);
  switch (props_.lpg_system) {
    case LpgSystem::Sequential:
      g.set_drive(lpg_line_, ignition_ ? host::Drive::High : host::Drive::Low);
      break;
    case LpgSystem::Level:
      g.set_drive(lpg_line_, ignition_ && fuel_ == Fuel::Lpg ? host::Drive::High : host::Drive::Low);
      break;
    case LpgSystem::None:
      g.set_drive(lpg_line_, host::Drive::None);
      break;
  }
}

void Car::account_distance(Time t) {
  const double x = motion_.distance_km(t);
  const double d = x - accounted_km_;
  if (d > 0) (fuel_ == Fuel::Lpg ? truth_.distance_lpg_km : truth_.distance_petrol_km) += d;
  accounted_km_ = x;
  accounted_at_ = t;
}

const CarTruth& Car::truth() {
  account_distance(machine_.now());
  return truth_;
}

void Car::burn(Fuel fuel, double litres) {
  if (fuel == Fuel::Petrol) {
    truth_.fuel_petrol_l += litres;
    petrol_litres_ = std::max(0.0, petrol_litres_ - litres);
  } else {
    truth_.fuel_lpg_l += litres;
    lpg_litres_ = std::max(0.0, lpg_litres_ - litres);
  }
}

void Car::fill(Fuel fuel, double litres) {
  if (fuel == Fuel::Petrol) {
    petrol_litres_ = std::min(props_.petrol_tank_litres, petrol_litres_ + litres);
  } else {
    lpg_litres_ = std::min(props_.lpg_tank_litres, lpg_litres_ + litres);
  }
}

void Car::drain(Fuel fuel, double litres) {
  if (fuel == Fuel::Petrol) {
    petrol_litres_ = std::max(0.0, petrol_litres_ - litres);
  } else {
    lpg_litres_ = std::max(0.0, lpg_litres_ - litres);
  }
}

void Car::set_ignition(bool on) {
  if (on == ignition_) return;
  ignition_ = on;
  if (!on) set_rpm(0);  // the engine stops with the ignition
  update_lines();
  const Time now = machine_.now();
  injectors_->restart(now);
  sensor_->restart(now);
}

void Car::set_engine(double rpm, double petrol_ms, double lpg_ms) {
  const bool was_turning = rpm_ > 0;
  set_rpm(ignition_ ? rpm : 0.0);
  petrol_ms_ = petrol_ms;
  lpg_ms_ = lpg_ms;
  // A train that waits for nothing (an engine so slow that its next cycle
  // lay beyond the clock) starts again at the new speed.
  if ((rpm_ > 0) != was_turning || (rpm_ > 0 && !injectors_->scheduled())) injectors_->restart(machine_.now());
}

void Car::set_rpm(double rpm) {
  const bool was_running = running();
  rpm_ = rpm;
  if (running() != was_running && running_hook_) running_hook_(machine_.now(), running());
}

void Car::set_fuel(Fuel fuel) {
  account_distance(machine_.now());
  fuel_ = fuel;
  update_lines();
}

void Car::ramp_speed(double kmh, Time duration) {
  const Time now = machine_.now();
  if (cruising_) {
    // Taken up when the driver takes over again.
    plan_kmh_ = kmh;
    plan_end_ = now + duration;
    plan_pending_ = true;
    return;
  }
  account_distance(now);
  motion_.ramp_to(now, kmh, duration);
  sensor_->restart(now);
}

void Car::set_gradient(double percent, double over_km) { road_.change_gradient(distance_km(), percent, over_km); }

bool Car::engine_on() const { return ignition_ && rpm_ > 0; }

// The driver lifts the pedal when the cruise control's motor takes the
// throttle of a moving car. At a standstill (the configuration menu's test)
// the driver keeps the car where it is.
void Car::on_stepper(Time t, bool energised) {
  if (energised && !cruising_ && motion_.speed_kmh(t) > 0) {
    cruising_ = true;
    plan_pending_ = false;
    const double gradient = road_.gradient_percent(motion_.distance_km(t));
    model_.start(motion_.speed_kmh(t) / 3.6, motion_.acceleration(t) / 3.6, gradient, engine_on());
    drive_->schedule(t);
  } else if (!energised && cruising_) {
    hand_back(t);
  }
}

// The scripted driver goes on from the speed the car has: it holds that
// speed, or follows a speed step given while the cruise control drove, to
// the end of its ramp or (ramp time over) at a comfortable acceleration.
void Car::hand_back(Time t) {
  cruising_ = false;
  drive_->cancel();
  const double v = motion_.speed_kmh(t);
  if (!plan_pending_) {
    motion_.ramp_to(t, v, 0);
  } else {
    const double seconds = std::abs(plan_kmh_ - v) / kTakeOverKmhPerSecond;
    motion_.ramp_to(t, plan_kmh_, t < plan_end_ ? plan_end_ - t : host::from_seconds(seconds));
  }
  plan_pending_ = false;
  sensor_->retime(t);
}

double Car::speed_kmh() const { return motion_.speed_kmh(machine_.now()); }
double Car::distance_km() const { return motion_.distance_km(machine_.now()); }

}  // namespace sim
