#include "sim/sensors.h"

#include <cmath>
#include <numbers>

#include "host/buses.h"
#include "sim/board.h"
#include "sim/json.h"
#include "sim/scenario.h"
#include "sim/scenario_reader.h"

namespace sim {

using host::Time;

namespace {
// Counts per volt of the board's battery and auxiliary inputs, and the pin
// volts that give them with the ADC's 3.3 V reference.
constexpr double kBatteryCountsPerVolt = 196.75;
constexpr double kAuxCountsPerVolt = 219.75;
constexpr double kCountsPerPinVolt = 4095.0 / host::AdcPort::kReferenceVolts;
constexpr double kAlternatorSeconds = 2.0;  // time constant of the charging voltage
constexpr int kPetrolChannel = pins::adc_channel(pins::pblvl);
constexpr int kLpgChannel = pins::adc_channel(pins::lpglvl);
constexpr int kBatteryChannel = pins::adc_channel(pins::vbat);
constexpr int kLambdaChannel = pins::adc_channel(pins::aux);
}  // namespace

double sender_pin_volts(const SenderProperties& s, double level, double battery_volts) {
  const double r = s.empty_ohm + (s.full_ohm - s.empty_ohm) * std::clamp(level, 0.0, 1.0);
  const double supply = s.supply_volts > 0 ? s.supply_volts : battery_volts;
  return supply * r / (r + s.pullup_ohm) * s.divider;
}

class SensorsPart::Input final : public host::AnalogInput {
 public:
  Input(SensorsPart& part, std::function<double(Time)> volts) : part_(part), volts_(std::move(volts)) {}
  double voltage(Time t) override {
    const double v = volts_(t);
    return part_.setup_.noise_counts > 0 ? v + part_.noise() / kCountsPerPinVolt : v;
  }

 private:
  SensorsPart& part_;
  std::function<double(Time)> volts_;
};

SensorsPart::SensorsPart(World& world, const SensorSetup& setup)
    : world_(world), setup_(setup), rng_(setup.seed), battery_from_(setup.battery_rest_volts) {
  Car& car = world.car;
  battery_since_ = world.machine.now();
  if (car.running()) engine_since_ = battery_since_;
  car.on_running([this](Time t, bool running) { engine_changed(t, running); });
  petrol_input_ = std::make_unique<Input>(*this, [this, &car](Time t) {
    return sender_pin_volts(setup_.petrol_sender, car.petrol_litres() / car.properties().petrol_tank_litres,
                            battery_volts(t));
  });
  lpg_input_ = std::make_unique<Input>(*this, [this, &car](Time t) {
    return sender_pin_volts(setup_.lpg_sender, car.lpg_litres() / car.properties().lpg_tank_litres, battery_volts(t));
  });
  battery_input_ = std::make_unique<Input>(
      *this, [this](Time t) { return battery_volts(t) * kBatteryCountsPerVolt / kCountsPerPinVolt; });
  lambda_input_ = std::make_unique<Input>(*this,
                                    [this](Time t) { return lambda_volts(t) * kAuxCountsPerVolt / kCountsPerPinVolt; });
  host::AdcPort& adc = world.machine.adc1();
  adc.attach(kPetrolChannel, petrol_input_.get());
  adc.attach(kLpgChannel, lpg_input_.get());
  adc.attach(kBatteryChannel, battery_input_.get());
  adc.attach(kLambdaChannel, lambda_input_.get());
  if (setup.thermometer) {
    thermometer_ = std::make_unique<Ds18b20>(world.machine, pins::temp, Ds18b20::rom_for(0x00A1B2C3D4E5ull));
    thermometer_->set_resolution(setup.resolution_bits);
    thermometer_->set_temperature(setup.outside_celsius);
  }
}

SensorsPart::~SensorsPart() {
  world_.car.on_running(nullptr);
  host::AdcPort& adc = world_.machine.adc1();
  for (int ch : {kLambdaChannel, kPetrolChannel, kLpgChannel, kBatteryChannel}) adc.attach(ch, nullptr);
}

double SensorsPart::noise() {
  std::normal_distribution<double> d(0.0, setup_.noise_counts);
  return d(rng_);
}

void SensorsPart::engine_changed(Time t, bool running) {
  battery_from_ = battery_volts(t);
  battery_since_ = t;
  engine_since_ = running ? t : host::kNever;
}

double SensorsPart::battery_volts(Time t) const {
  // First-order approach to the alternator's voltage while the engine runs,
  // back to the battery's own at rest.
  const double target = engine_since_ != host::kNever ? setup_.battery_charging_volts : setup_.battery_rest_volts;
  if (t <= battery_since_) return battery_from_;
  const double dt = host::to_seconds(t - battery_since_);
  return target + (battery_from_ - target) * std::exp(-dt / kAlternatorSeconds);
}

double SensorsPart::lambda_volts(Time t) const {
  const Car& car = world_.car;
  if (car.rpm() <= 0) return 0.0;  // a cold probe gives nothing
  const double fuel_ms = car.fuel() == Fuel::Lpg ? car.lpg_ms() : car.petrol_ms();
  if (fuel_ms <= 0) return 0.05;  // fuel cut: lean
  if (engine_since_ == host::kNever || host::to_seconds(t - engine_since_) < setup_.lambda_closed_loop_after_s)
    return 0.45;  // not yet regulating
  // Closed loop: the mixture swings rich and lean around stoichiometric.
  const double phase = std::fmod(host::to_seconds(t) / setup_.lambda_period_s, 1.0);
  const double s = std::tanh(6.0 * std::sin(2.0 * std::numbers::pi * phase));
  return 0.45 + 0.35 * s;
}

void SensorsPart::trace(ojson& world) {
  const Time t = world_.machine.now();
  world["battery_v"] = json_number(std::round(battery_volts(t) * 1000.0) / 1000.0);
  world["lambda_v"] = json_number(std::round(lambda_volts(t) * 1000.0) / 1000.0);
  if (thermometer_) world["outside_c"] = json_number(thermometer_->temperature());
}

namespace {

void read_sender(const ScenarioReader& r, const json& v, const std::string& place, SenderProperties& s) {
  r.object(v, place);
  r.only_keys(v, place, {"empty_ohm", "full_ohm", "pullup_ohm", "supply_volts", "divider"});
  s.empty_ohm = r.number_or(v, place, "empty_ohm", 0, 10000, s.empty_ohm);
  s.full_ohm = r.number_or(v, place, "full_ohm", 0, 10000, s.full_ohm);
  s.pullup_ohm = r.number_or(v, place, "pullup_ohm", 1, 100000, s.pullup_ohm);
  s.supply_volts = r.number_or(v, place, "supply_volts", 0, 16, s.supply_volts);
  s.divider = r.number_or(v, place, "divider", 0.01, 1, s.divider);
}

}  // namespace

void parse_sensors_section(const ScenarioReader& r, const json& v, const std::string& place, Scenario& sc) {
  SensorSetup& s = sc.sensors;
  r.object(v, place);
  r.only_keys(v, place,
              {"petrol_sender", "lpg_sender", "battery_rest_volts", "battery_charging_volts",
               "lambda_closed_loop_after_s", "lambda_period_s", "noise_counts", "seed", "thermometer",
               "outside_celsius", "resolution_bits"});
  auto at = [&](const char* k) { return ScenarioReader::join(place, k); };
  if (v.contains("petrol_sender")) read_sender(r, v["petrol_sender"], at("petrol_sender"), s.petrol_sender);
  if (v.contains("lpg_sender")) read_sender(r, v["lpg_sender"], at("lpg_sender"), s.lpg_sender);
  s.battery_rest_volts = r.number_or(v, place, "battery_rest_volts", 6, 16, s.battery_rest_volts);
  s.battery_charging_volts = r.number_or(v, place, "battery_charging_volts", 6, 16, s.battery_charging_volts);
  s.lambda_closed_loop_after_s = r.number_or(v, place, "lambda_closed_loop_after_s", 0, 3600, s.lambda_closed_loop_after_s);
  s.lambda_period_s = r.number_or(v, place, "lambda_period_s", 0.1, 10, s.lambda_period_s);
  s.noise_counts = r.number_or(v, place, "noise_counts", 0, 100, s.noise_counts);
  s.seed = static_cast<std::uint32_t>(r.integer_or(v, place, "seed", 0, 2147483647, static_cast<int>(s.seed)));
  s.thermometer = r.boolean_or(v, place, "thermometer", s.thermometer);
  s.outside_celsius = r.number_or(v, place, "outside_celsius", -55, 125, s.outside_celsius);
  s.resolution_bits = r.integer_or(v, place, "resolution_bits", 9, 12, s.resolution_bits);
}

}  // namespace sim
