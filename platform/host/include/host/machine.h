// The simulated board's microcontroller: one Cortex-M4 at 100 MHz in virtual
// time, with its interrupt controller, timers, GPIO, ADC, I2C, SPI with DMA,
// and the RTOS the firmware runs on.
//
// The machine runs the firmware image until a virtual time; the world around
// the board (device models, the car) acts through events and through the
// pins and buses. Only one machine exists at a time: the HAL the firmware
// calls is a set of global functions, as on the chip.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/buses.h"
#include "host/events.h"
#include "host/firmware.h"
#include "host/gpio.h"
#include "host/time.h"

namespace host {

struct MachineImpl;

struct MachineStats {
  std::uint64_t events = 0;      // timed events fired
  std::uint64_t interrupts = 0;  // exception handlers entered
  std::uint64_t task_switches = 0;
  std::uint64_t fast_forwards = 0;  // polling loops skipped to the next event
  Time fast_forwarded = 0;          // virtual time skipped that way
  Time idle = 0;                    // virtual time with no task ready
  std::uint64_t boots = 0;
};

class Machine {
 public:
  explicit Machine(FirmwareImage& firmware);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // The machine in existence; terminates when there is none.
  static Machine& current();
  static bool exists();

  Time now() const;
  // Runs firmware and world until virtual time t (no-op when t is past).
  void run_until(Time t);
  void run_for(Time duration) { run_until(now() + duration); }

  EventQueue& events();
  Gpio& gpio();
  I2cBus& i2c1();
  SpiPort& spi1();
  AdcPort& adc1();

  // The board's supply. Switching it on starts the firmware from its reset
  // state; switching it off stops the processor where it is.
  void set_powered(bool on);
  bool powered() const;
  void add_power_listener(PowerListener* listener);
  void remove_power_listener(PowerListener* listener);

  // The firmware context running now: a task name, "boot", "idle" or the
  // name of an interrupt handler.
  std::string context_name() const;
  // Name of the task the processor is in (ignoring interrupts), or "".
  std::string task_name() const;
  MachineStats stats() const;
  FirmwareImage& firmware();

  // Ticks of the RTOS since the kernel started (0 before).
  std::uint32_t kernel_ticks() const;

  MachineImpl& impl() { return *impl_; }

 private:
  std::unique_ptr<MachineImpl> impl_;
};

}  // namespace host
