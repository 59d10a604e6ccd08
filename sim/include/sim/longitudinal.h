// The car's motion along the road when the throttle, not the scripted
// driver, sets it: engine torque from the throttle opening through one gear
// to the wheels, against rolling resistance, air drag and the road's
// gradient. Speed follows the throttle with the lag of the car's mass and of
// the engine's torque build-up.
#pragma once

namespace sim {

struct VehicleProperties {
  double mass_kg = 1300;              // with driver and load
  double rotating_mass_factor = 1.05; // wheels and drive line, as extra mass
  double max_torque_nm = 150;         // engine, at full throttle
  double max_power_kw = 77;           // limits the torque at high engine speed
  double engine_braking_nm = 12;      // drag torque of the closed-throttle engine at 0 rev/min ...
  double engine_braking_nm_per_krpm = 4;  // ... rising with engine speed
  double gear_ratio = 3.3;            // overall, engine turns per wheel turn (top gear)
  double driveline_efficiency = 0.9;
  double wheel_radius_m = 0.3;
  double drag_area_m2 = 0.66;         // drag coefficient times frontal area
  double rolling_resistance = 0.012;  // coefficient
  double torque_lag_s = 0.3;          // time constant of the torque following the throttle
  // Torque rises steeply over the first part of the throttle's opening and
  // flattens toward full: share of full torque = (1 - e^(-k·opening)) / (1 - e^(-k)).
  double throttle_progression = 3.0;  // k
  int throttle_steps = 2000;          // stepper steps of the throttle's full travel
};

// The road's gradient in percent (rise per 100 m run) along the distance
// driven, changing linearly from one value to the next over a stretch of road.
class Road {
 public:
  // From `km` on, the gradient goes to `percent` over `over_km` of road.
  void change_gradient(double km, double percent, double over_km);
  double gradient_percent(double km) const;

 private:
  double from_km_ = 0, to_km_ = 0;
  double from_pct_ = 0, to_pct_ = 0;
};

class LongitudinalModel {
 public:
  explicit LongitudinalModel(const VehicleProperties& props) : props_(props) {}

  // Takes the car over at a speed (m/s) and acceleration (m/s²) on a
  // gradient: the engine delivers at first the torque that moved the car so
  // (the driver's pedal), which then follows the throttle with its lag.
  void start(double speed_ms, double accel_ms2, double gradient_percent, bool engine_on);
  // Advances by dt seconds at a throttle opening 0..1 on a gradient and
  // returns the speed at the end (m/s). The car does not roll backward: its
  // brakes hold it at a stop.
  double advance(double dt, double opening, double gradient_percent, bool engine_on);

  double speed_ms() const { return v_; }
  // Torque of the combustion (lagging the throttle), before the engine's drag.
  double combustion_torque_nm() const { return torque_; }

  // The parts of the balance, for a speed in m/s; forces in newtons along the road.
  double rpm_at(double speed_ms) const;
  double full_load_torque(double speed_ms) const;
  double combustion_torque(double opening, double speed_ms, bool engine_on) const;
  double drag_torque(double speed_ms) const;
  double wheel_force(double engine_torque_nm) const;
  double resistance(double speed_ms, double gradient_percent) const;

 private:
  VehicleProperties props_;
  double v_ = 0;
  double torque_ = 0;
};

}  // namespace sim
