// final.json: the moment the run ends, with every firmware global. A unit
// that ended unpowered has no live globals; the file then says so, and
// holds the globals of its last powered moment, taken when the supply went.
#pragma once

#include <optional>

#include "host/devices.h"
#include "host/machine.h"
#include "sim/firmware_view.h"
#include "sim/json.h"

namespace sim {

class LastPowered final : public host::PowerListener {
 public:
  LastPowered(host::Machine& machine, const FirmwareView& view);
  ~LastPowered() override;
  LastPowered(const LastPowered&) = delete;
  LastPowered& operator=(const LastPowered&) = delete;
  void on_power(host::Time t, bool on) override;

  // `at_end` is the run's record of its last moment (Runner::record(true)):
  // with "ended_unpowered", and when so "last_powered_t" and the globals
  // of that moment (none if the unit was never powered).
  ojson final_record(const ojson& at_end) const;

 private:
  host::Machine& machine_;
  const FirmwareView& view_;
  std::optional<double> lost_at_;  // virtual seconds
  ojson globals_;
};

}  // namespace sim
