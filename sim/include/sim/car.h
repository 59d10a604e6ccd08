// The car around the trip computer: engine speed and injector pulses per
// fuel, the LPG installation, vehicle speed and the speed sensor, the fuel
// tanks, and the truth the firmware's measurements are judged against.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/events.h"
#include "host/machine.h"
#include "sim/longitudinal.h"
#include "sim/throttle.h"

namespace sim {

enum class Fuel { Petrol, Lpg };
enum class LpgSystem { Sequential, Level, None };

std::string to_string(Fuel f);
std::string to_string(LpgSystem s);

struct CarProperties {
  double pulses_per_km = 3600.0;        // speed-sensor pulses per km
  double injections_per_turn = 1.0;     // on the watched injector line, per crank turn
  LpgSystem lpg_system = LpgSystem::Sequential;
  // Whole-engine fuel per millisecond of opening of the watched injector, in
  // litres: 0.00001 makes a calibration of 1.0 read true.
  double petrol_litres_per_ms = 0.00001;
  double lpg_litres_per_ms = 0.00001;
  double petrol_tank_litres = 45.0;
  double lpg_tank_litres = 30.0;
  double petrol_litres = 30.0;          // content at the start
  double lpg_litres = 20.0;
  // With a sequential installation, the petrol controller's injector signal
  // still reaches the unit while the car runs on LPG.
  bool petrol_line_on_lpg = true;
  double lpg_delay_ms = 0.3;            // LPG injection after the petrol signal
  // The car's motion under the cruise control's throttle, and the throttle's travel.
  VehicleProperties vehicle;
};

// What really happened, to compare with what the firmware measured.
struct CarTruth {
  double distance_petrol_km = 0;
  double distance_lpg_km = 0;
  double fuel_petrol_l = 0;
  double fuel_lpg_l = 0;
  std::uint64_t injections = 0;
  std::uint64_t speed_pulses = 0;
};

// Vehicle speed over time: linear ramps between set points, with the
// distance travelled exact along them.
class Motion {
 public:
  void ramp_to(host::Time now, double kmh, host::Time duration);
  double speed_kmh(host::Time t) const;
  // km/h per second (0 outside a ramp).
  double acceleration(host::Time t) const;
  double distance_km(host::Time t) const;
  // Earliest time >= from at which the distance reaches km, or kNever.
  host::Time time_at_distance(host::Time from, double km) const;
  bool moving_after(host::Time t) const;

 private:
  host::Time t0_ = 0;   // ramp start
  double v0_ = 0;       // km/h at t0
  double x0_ = 0;       // km at t0
  host::Time t1_ = 0;   // ramp end
  double v1_ = 0;       // km/h from t1 on
};

class Car {
 public:
  Car(host::Machine& machine, const CarProperties& props);
  ~Car();
  Car(const Car&) = delete;
  Car& operator=(const Car&) = delete;

  const CarProperties& properties() const { return props_; }
  // The truth up to now (distance is attributed to the fuel in use).
  const CarTruth& truth();

  // The ignition feeds the injectors, the LPG installation and the speed sensor.
  void set_ignition(bool on);
  // Engine speed and opening time per fuel (ms); an opening time of 0 is a
  // fuel cut-off, engine speed 0 a stopped engine.
  void set_engine(double rpm, double petrol_ms, double lpg_ms);
  void set_fuel(Fuel fuel);
  // The scripted driver's speed: a ramp to kmh over `duration`. While the
  // cruise control drives, the driver keeps it for when he takes over again.
  void ramp_speed(double kmh, host::Time duration);
  // The road from here on: its gradient goes to `percent` over `over_km`.
  void set_gradient(double percent, double over_km);

  double rpm() const { return rpm_; }
  // The engine runs by itself, faster than the starter turns it: the
  // alternator charges and the exhaust keeps the lambda probe hot.
  static constexpr double kRunningRpm = 400;
  bool running() const { return rpm_ > kRunningRpm; }
  // Told of every change of running(), at the moment it happens (one hook:
  // setting another replaces it).
  using RunningHook = std::function<void(host::Time t, bool running)>;
  void on_running(RunningHook hook) { running_hook_ = std::move(hook); }
  double petrol_ms() const { return petrol_ms_; }
  double lpg_ms() const { return lpg_ms_; }
  Fuel fuel() const { return fuel_; }
  double speed_kmh() const;
  double distance_km() const;
  double petrol_litres() const { return petrol_litres_; }
  double lpg_litres() const { return lpg_litres_; }
  void fill(Fuel fuel, double litres);
  // Takes litres out of a tank (drained at the workshop), down to empty.
  void drain(Fuel fuel, double litres);

  // The cruise control's throttle actuator. While its driver holds the
  // throttle (energised) and the car is moving, the driver's foot is off the
  // pedal and the car answers the throttle alone: the longitudinal model
  // sets the speed. Released, the scripted driver takes over again from the
  // speed the car has.
  StepperThrottle& throttle() { return *throttle_; }
  const StepperThrottle& throttle() const { return *throttle_; }
  bool cruising() const { return cruising_; }
  double gradient_percent() const { return road_.gradient_percent(distance_km()); }

  // The scripted driver's comfortable acceleration when taking over after a
  // finished ramp, in km/h per second.
  static constexpr double kTakeOverKmhPerSecond = 3.6;
  // Integration step of the longitudinal model.
  static constexpr host::Time kModelStep = 10 * host::kTimePerMs;

 private:
  class InjectorTrain;
  class SpeedSensor;
  class ThrottleDrive;

  void update_lines();
  void account_distance(host::Time t);
  void burn(Fuel fuel, double litres);
  bool engine_on() const;
  void on_stepper(host::Time t, bool energised);
  void set_rpm(double rpm);
  void hand_back(host::Time t);
  friend class InjectorTrain;
  friend class SpeedSensor;
  friend class ThrottleDrive;

  host::Machine& machine_;
  CarProperties props_;
  CarTruth truth_;
  bool ignition_ = false;
  double rpm_ = 0, petrol_ms_ = 0, lpg_ms_ = 0;
  RunningHook running_hook_;
  Fuel fuel_ = Fuel::Petrol;
  Motion motion_;
  double accounted_km_ = 0;  // distance already attributed to a fuel
  host::Time accounted_at_ = 0;
  double petrol_litres_, lpg_litres_;
  host::Gpio::DriverId petrol_line_, lpg_line_, speed_line_;
  std::unique_ptr<InjectorTrain> injectors_;
  std::unique_ptr<SpeedSensor> sensor_;
  // Cruise control: the throttle, the model and the road it drives on, and
  // the scripted driver's plan kept while the throttle drives.
  std::unique_ptr<StepperThrottle> throttle_;
  LongitudinalModel model_;
  Road road_;
  std::unique_ptr<ThrottleDrive> drive_;
  bool cruising_ = false;
  bool plan_pending_ = false;  // a speed step came while the cruise control drove
  double plan_kmh_ = 0;
  host::Time plan_end_ = 0;
};

}  // namespace sim
