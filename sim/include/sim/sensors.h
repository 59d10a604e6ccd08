// The sensors the board reads: the two fuel-level senders over the tanks'
// contents, the battery voltage through its divider, the lambda probe on the
// auxiliary input, and the DS18B20 outside-temperature sensor on the 1-Wire
// line. Each has its physical side (litres, volts, degrees) and the side the
// board sees (a voltage at an ADC pin, slots on the 1-Wire line).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "host/devices.h"
#include "sim/car.h"
#include "sim/ds18b20.h"
#include "sim/world.h"

namespace sim {

// A resistive sender whose resistance runs linearly from empty to full,
// read through a pull-up from its supply and a divider to the ADC pin.
struct SenderProperties {
  double empty_ohm;
  double full_ohm;
  double pullup_ohm;
  double supply_volts;    // 0: fed from the battery
  double divider;         // pin volts per sender-node volt
};

struct SensorSetup {
  // The petrol sender is fed from the battery (the firmware compensates for
  // it); the LPG sender from a regulated 5 V.
  SenderProperties petrol_sender{250.0, 30.0, 1000.0, 0.0, 1.0};
  SenderProperties lpg_sender{10.0, 90.0, 220.0, 5.0, 1.0};
  double battery_rest_volts = 12.6;
  double battery_charging_volts = 14.2;
  double lambda_closed_loop_after_s = 30.0;  // engine running before the probe regulates
  double lambda_period_s = 1.2;
  double noise_counts = 0.0;                 // conversion noise (standard deviation)
  std::uint32_t seed = 1;
  bool thermometer = true;                   // a DS18B20 on the 1-Wire line
  double outside_celsius = 18.0;
  int resolution_bits = 12;
};

class ScenarioReader;
struct Scenario;
void parse_sensors_section(const ScenarioReader& reader, const nlohmann::json& value, const std::string& place,
                           Scenario& out);

// Volts at the ADC pin for a sender at a tank level (0..1).
double sender_pin_volts(const SenderProperties& s, double level, double battery_volts);

class SensorsPart final : public WorldPart {
 public:
  SensorsPart(World& world, const SensorSetup& setup);
  ~SensorsPart() override;

  Ds18b20* thermometer() { return thermometer_.get(); }
  // The voltages at time t (now, or later with the engine as it is now).
  double battery_volts(host::Time t) const;
  double lambda_volts(host::Time t) const;
  void trace(ojson& world) override;

 private:
  class Input;
  double noise();
  void engine_changed(host::Time t, bool running);

  World& world_;
  SensorSetup setup_;
  std::unique_ptr<Input> petrol_input_, lpg_input_, battery_input_, lambda_input_;
  std::unique_ptr<Ds18b20> thermometer_;
  std::mt19937 rng_;
  // The battery approaches the alternator's voltage while the engine runs
  // and its own at rest, from its voltage when the engine last started or
  // stopped.
  double battery_from_ = 0;
  host::Time battery_since_ = 0;
  host::Time engine_since_ = host::kNever;  // running since, kNever while stopped
};

}  // namespace sim
