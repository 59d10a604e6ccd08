#!/usr/bin/env bash
# Flash and static RAM of an image by section and by module, against the
# STM32F411's 512 KB of flash and 128 KB of RAM.
#   size_report.sh IMAGE.elf [SIZE_TOOL NM_TOOL]
set -euo pipefail
elf="$1"
size_tool="${2:-arm-none-eabi-size}"
nm_tool="${3:-arm-none-eabi-nm}"
flash_total=$((512 * 1024))
ram_total=$((128 * 1024))

"$size_tool" -A "$elf" | awk -v ft="$flash_total" -v rt="$ram_total" '
  $1 ~ /^\./ && $2 ~ /^[0-9]+$/ {
    name = $1; size = $2; addr = $3
    if (addr >= 134217728 && addr < 134217728 + ft) { flash[name] = size; fl += size; order[++n] = name }
    else if (addr >= 536870912 && addr < 536870912 + rt) {
      ram[name] = size; ra += size; order[++n] = name
      if (name == ".data") { flash[name] = size; fl += size }  # its initial values sit in flash
    }
  }
  END {
    printf "%-18s %9s %9s\n", "section", "flash", "RAM"
    for (i = 1; i <= n; i++) { s = order[i]; printf "%-18s %9d %9d\n", s, flash[s] + 0, ram[s] + 0 }
    printf "%-18s %9d %9d\n", "total", fl, ra
    printf "%-18s %8.1f%% %8.1f%%   of %d KB flash, %d KB RAM\n", "used", 100 * fl / ft, 100 * ra / rt, ft / 1024, rt / 1024
    if (fl > ft || ra > rt) { print "size_report: the image does not fit the chip" > "/dev/stderr"; exit 1 }
  }'
echo
"$nm_tool" -C -S --size-sort -t d "$elf" | awk '
  NF >= 4 {
    size = $2 + 0; type = $3; name = $4
    if (name == "test_img") m = "splash picture"
    else if (name ~ /^Font|_Table$/) m = "fonts (TFT and OLED)"
    else if (name == "lumo") m = "OLED logo"
    else if (name ~ /^dispBuffer/) m = "TFT line buffers"
    else if (name == "kp_kernel_heap") m = "kernel heap (task stacks)"
    else if (type ~ /[tTwW]/) m = "code"
    else if (type ~ /[bBdD]/) m = "other variables"
    else m = "other constants"
    sum[m] += size
  }
  END {
    printf "%-28s %9s\n", "module", "bytes"
    n = split("code|splash picture|fonts (TFT and OLED)|OLED logo|other constants|kernel heap (task stacks)|TFT line buffers|other variables", ms, "|")
    for (i = 1; i <= n; i++) printf "%-28s %9d\n", ms[i], sum[ms[i]]
  }'
echo "start-up stack (top of RAM): 1024 bytes; C library heap: from the end of the static data up to it"
