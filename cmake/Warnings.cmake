# Warning sets. Host code: -Wall -Wextra. Firmware: the stricter set it is
# held to on the target, warning-free.
set(KP_HOST_WARNINGS -Wall -Wextra -Wpedantic -Wno-gnu-zero-variadic-macro-arguments)
set(KP_FIRMWARE_WARNINGS -Wall -Wextra -Wshadow -Wdouble-promotion -Wfloat-conversion -Wundef)
set(KP_FIRMWARE_FLAGS -fno-exceptions -fno-rtti)

function(kp_host_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
