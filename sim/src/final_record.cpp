#include "sim/final_record.h"

#include <cmath>

namespace sim {

LastPowered::LastPowered(host::Machine& machine, const FirmwareView& view) : machine_(machine), view_(view) {
  machine_.add_power_listener(this);
}

LastPowered::~LastPowered() { machine_.remove_power_listener(this); }

void LastPowered::on_power(host::Time t, bool on) {
  if (on) return;
  // The processor has stopped; its RAM still holds what it last computed.
  globals_ = view_.globals(false);
  lost_at_ = std::round(host::to_seconds(t) * 1e6) / 1e6;
}

ojson LastPowered::final_record(const ojson& at_end) const {
  const bool powered = machine_.powered();
  ojson out;
  out["t"] = at_end.value("t", ojson());
  out["ended_unpowered"] = !powered;
  if (!powered && lost_at_) {
    out["last_powered_t"] = json_number(*lost_at_);
    for (auto& [k, v] : globals_.items()) out[k] = v;
  }
  for (auto& [k, v] : at_end.items())
    if (k != "t") out[k] = v;
  return out;
}

}  // namespace sim
