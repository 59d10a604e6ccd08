#include "firmware_call.h"

#include "board_setup.h"

namespace bench {

FirmwareCall::FirmwareCall()
    : FirmwareRunner([] {
        MX_GPIO_Init();
        MX_I2C1_Init();
      }) {}

}  // namespace bench
