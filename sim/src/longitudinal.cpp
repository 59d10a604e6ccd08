#include "sim/longitudinal.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {
constexpr double kGravity = 9.81;    // m/s²
constexpr double kAirDensity = 1.2;  // kg/m³
constexpr double kPi = 3.14159265358979323846;
}  // namespace

// ---------------------------------------------------------------- road

void Road::change_gradient(double km, double percent, double over_km) {
  from_pct_ = gradient_percent(km);
  to_pct_ = percent;
  from_km_ = km;
  to_km_ = km + std::max(0.0, over_km);
}

double Road::gradient_percent(double km) const {
  if (km >= to_km_) return to_pct_;
  if (km <= from_km_) return from_pct_;
  return from_pct_ + (to_pct_ - from_pct_) * (km - from_km_) / (to_km_ - from_km_);
}

// ---------------------------------------------------------------- model

double LongitudinalModel::rpm_at(double speed_ms) const {
  return speed_ms / props_.wheel_radius_m * props_.gear_ratio * 60.0 / (2.0 * kPi);
}

double LongitudinalModel::full_load_torque(double speed_ms) const {
  const double omega = rpm_at(speed_ms) * 2.0 * kPi / 60.0;
  const double power_limited = omega > 0 ? props_.max_power_kw * 1000.0 / omega : props_.max_torque_nm;
  return std::min(props_.max_torque_nm, power_limited);
}

double LongitudinalModel::combustion_torque(double opening, double speed_ms, bool engine_on) const {
  if (!engine_on) return 0;
  const double k = props_.throttle_progression;
  const double x = std::clamp(opening, 0.0, 1.0);
  const double share = k > 0 ? (1.0 - std::exp(-k * x)) / (1.0 - std::exp(-k)) : x;
  return share * full_load_torque(speed_ms);
}

double LongitudinalModel::drag_torque(double speed_ms) const {
  return props_.engine_braking_nm + props_.engine_braking_nm_per_krpm * rpm_at(speed_ms) / 1000.0;
}

double LongitudinalModel::wheel_force(double engine_torque_nm) const {
  return engine_torque_nm * props_.gear_ratio * props_.driveline_efficiency / props_.wheel_radius_m;
}

double LongitudinalModel::resistance(double speed_ms, double gradient_percent) const {
  const double angle = std::atan(gradient_percent / 100.0);
  const double weight = props_.mass_kg * kGravity;
  return weight * props_.rolling_resistance * std::cos(angle) + weight * std::sin(angle) +
         0.5 * kAirDensity * props_.drag_area_m2 * speed_ms * speed_ms;
}

void LongitudinalModel::start(double speed_ms, double accel_ms2, double gradient_percent, bool engine_on) {
  v_ = std::max(0.0, speed_ms);
  const double force = props_.mass_kg * props_.rotating_mass_factor * accel_ms2 + resistance(v_, gradient_percent);
  const double pedal = wheel_force(1.0) > 0 ? force / wheel_force(1.0) + drag_torque(v_) : 0.0;
  torque_ = engine_on ? std::clamp(pedal, 0.0, full_load_torque(v_)) : 0.0;
}

double LongitudinalModel::advance(double dt, double opening, double gradient_percent, bool engine_on) {
  const double wanted = combustion_torque(opening, v_, engine_on);
  const double lag = props_.torque_lag_s;
  torque_ += (wanted - torque_) * (lag > 0 ? 1.0 - std::exp(-dt / lag) : 1.0);
  const double force = wheel_force(torque_ - drag_torque(v_)) - resistance(v_, gradient_percent);
  const double accel = force / (props_.mass_kg * props_.rotating_mass_factor);
  v_ = std::max(0.0, v_ + accel * dt);
  return v_;
}

}  // namespace sim
