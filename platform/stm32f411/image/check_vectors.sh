#!/usr/bin/env bash
# The image's vector table sends each exception and interrupt the firmware
# handles to the firmware's (or the kernel's) handler, not to the default
# loop: checked from the linked ELF.   check_vectors.sh IMAGE.elf [OBJCOPY NM]
set -euo pipefail
elf="$1"
objcopy="${2:-arm-none-eabi-objcopy}"
nm="${3:-arm-none-eabi-nm}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$objcopy" -O binary -j .isr_vector "$elf" "$work/vectors.bin"
od -An -tx4 -v "$work/vectors.bin" | tr -s ' ' '\n' | grep -v '^$' >"$work/words"
"$nm" "$elf" >"$work/symbols"

failed=0
expect() {  # table-index handler
  local index="$1" name="$2" addr word
  # A strong definition (T): a weak one is the start-up code's default loop.
  addr="$(awk -v n="$name" '$3 == n && $2 == "T" { print $1 }' "$work/symbols" | head -n 1)"
  word="$(sed -n "$((index + 1))p" "$work/words")"
  if [ -z "$addr" ]; then
    echo "check_vectors: $name is not defined in the image" >&2
    failed=1
  elif [ $((16#$word)) -ne $((16#$addr | 1)) ]; then
    echo "check_vectors: entry $index is 0x$word, not $name (0x$addr)" >&2
    failed=1
  fi
}
expect 1 Reset_Handler
expect 2 NMI_Handler
expect 3 HardFault_Handler
expect 4 MemManage_Handler
expect 5 BusFault_Handler
expect 6 UsageFault_Handler
expect 11 SVC_Handler
expect 12 DebugMon_Handler
expect 14 PendSV_Handler
expect 15 SysTick_Handler
expect $((16 + 23)) EXTI9_5_IRQHandler
expect $((16 + 25)) TIM1_UP_TIM10_IRQHandler
expect $((16 + 29)) TIM3_IRQHandler
expect $((16 + 30)) TIM4_IRQHandler
expect $((16 + 40)) EXTI15_10_IRQHandler
expect $((16 + 50)) TIM5_IRQHandler
expect $((16 + 68)) DMA2_Stream5_IRQHandler
# Every handler the firmware does not define is the default loop.
expect $((16 + 28)) Default_Handler
[ "$(wc -l <"$work/words")" -eq $((16 + 86)) ] || { echo "check_vectors: the table is not 102 entries" >&2; failed=1; }
# Entry 0 is the initial stack pointer: the top of RAM.
[ "$(sed -n 1p "$work/words")" = "20020000" ] || { echo "check_vectors: the initial stack is not the top of RAM" >&2; failed=1; }
[ "$failed" -eq 0 ] && echo "vector table: every handler in place"
exit "$failed"
