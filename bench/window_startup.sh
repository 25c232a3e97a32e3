#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Start-up time of the main window: the Windows program under Wine against the
# Linux program, measured in the same run on the same Xvfb display, from the
# start of the process until the window captioned with the program's title
# exists on the display. Reports the medians and their ratio.
#   bench/window_startup.sh LINUX_PROGRAM WINDOWS_PROGRAM_FOLDER [RUNS]
# WINEPREFIX must name a prepared Wine prefix (a first start in a new prefix
# measures the prefix, not the program).
set -euo pipefail
linux=$1
windows=$2/meter-readout.exe
runs=${3:-5}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
caption="Moisture Meter BT readout 1.3.0"

for number in $(seq 90 120); do [[ -e /tmp/.X11-unix/X$number ]] || break; done
Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
display=$!
trap 'kill $display 2>/dev/null || true' EXIT
export DISPLAY=:$number
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# One start: milliseconds until the window exists; then the program is ended.
measure() {
  local begin end pid
  begin=$(date +%s%N)
  "$@" --simulate >/dev/null 2>&1 &
  pid=$!
  # xdotool's own --sync looks only twice a second; this looks every 10 ms.
  until xwininfo -root -tree 2>/dev/null | grep -qF "\"$caption\": ("; do
    kill -0 "$pid" 2>/dev/null || { echo "the program ended before its window showed" >&2; exit 1; }
    sleep 0.01
  done
  end=$(date +%s%N)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [[ $1 != "$wine" ]] || "$(dirname "$wine")/wineserver" -w
  echo $(((end - begin) / 1000000))
}

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

measure "$wine" "$windows" >/dev/null  # warms the prefix and the disk cache
linux_times=() windows_times=()
for _ in $(seq "$runs"); do
  linux_times+=("$(measure "$linux")")
  windows_times+=("$(measure "$wine" "$windows")")
done
linux_median=$(printf '%s\n' "${linux_times[@]}" | median)
windows_median=$(printf '%s\n' "${windows_times[@]}" | median)
echo "Linux window:          median ${linux_median} ms (${linux_times[*]})"
echo "Windows window (Wine): median ${windows_median} ms (${windows_times[*]})"
awk -v w="$windows_median" -v l="$linux_median" 'BEGIN { printf "ratio Wine/Linux: %.2f\n", w / l }'
