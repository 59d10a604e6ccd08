// The "vehicle" section: what the car's motion under the cruise control's
// throttle depends on.
#include "sim/cruise_world.h"
#include "sim/scenario.h"
#include "sim/scenario_reader.h"

namespace sim {

void parse_vehicle_section(const ScenarioReader& r, const json& v, const std::string& place, Scenario& sc) {
  VehicleProperties& p = sc.car.vehicle;
  r.object(v, place);
  r.only_keys(v, place,
              {"mass_kg", "max_torque_nm", "max_power_kw", "engine_braking_nm", "gear_ratio", "wheel_radius_m",
               "drag_area_m2", "rolling_resistance", "driveline_efficiency", "torque_lag_s", "throttle_progression",
               "engine_braking_nm_per_krpm",
               "throttle_steps"});
  p.mass_kg = r.number_or(v, place, "mass_kg", 300, 5000, p.mass_kg);
  p.max_torque_nm = r.number_or(v, place, "max_torque_nm", 20, 1000, p.max_torque_nm);
  p.max_power_kw = r.number_or(v, place, "max_power_kw", 5, 500, p.max_power_kw);
  p.engine_braking_nm = r.number_or(v, place, "engine_braking_nm", 0, 200, p.engine_braking_nm);
  p.engine_braking_nm_per_krpm =
      r.number_or(v, place, "engine_braking_nm_per_krpm", 0, 100, p.engine_braking_nm_per_krpm);
  p.gear_ratio = r.number_or(v, place, "gear_ratio", 1, 20, p.gear_ratio);
  p.wheel_radius_m = r.number_or(v, place, "wheel_radius_m", 0.15, 0.6, p.wheel_radius_m);
  p.drag_area_m2 = r.number_or(v, place, "drag_area_m2", 0.1, 5, p.drag_area_m2);
  p.rolling_resistance = r.number_or(v, place, "rolling_resistance", 0, 0.1, p.rolling_resistance);
  p.driveline_efficiency = r.number_or(v, place, "driveline_efficiency", 0.5, 1, p.driveline_efficiency);
  p.torque_lag_s = r.number_or(v, place, "torque_lag_s", 0, 5, p.torque_lag_s);
  p.throttle_progression = r.number_or(v, place, "throttle_progression", 0, 10, p.throttle_progression);
  p.throttle_steps = r.integer_or(v, place, "throttle_steps", 100, 65535, p.throttle_steps);
}

}  // namespace sim
