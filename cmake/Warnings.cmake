# Warning sets. Host code: -Wall -Wextra. Firmware: the stricter set it is
# held to on the target, warning-free.
set(KP_HOST_WARNINGS -Wall -Wextra -Wpedantic -Wno-gnu-zero-variadic-macro-arguments)
set(KP_FIRMWARE_WARNINGS -Wall -Wextra -Wshadow -Wdouble-promotion -Wfloat-conversion -Wundef)
# -ffp-contract=off: a multiply and an add stay two roundings on every
# platform (the chip's FPU would otherwise fuse some), so both compute the
# same figures to the last bit.
set(KP_FIRMWARE_FLAGS -fno-exceptions -fno-rtti -ffp-contract=off)

function(kp_host_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
