#!/usr/bin/env bash
# Builds the configurator and runs it from a working directory that holds the two Russian
# translations and confxml/ with the sample descriptions. Where no real device is attached,
# the bundled device simulator is started first (registered as a "VANT USB" serial port, so the
# default "Auto" link finds it) and stopped when the configurator exits.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
bash scripts/deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

# The working directory: translations and descriptions are looked up relative to it.
work=$top/build/run
mkdir -p "$work/confxml" "$work/device"
cp -n "$top"/confxml/*.xml "$work/confxml/" 2>/dev/null || true
mkdir -p "$work/samples"
cp -n "$top"/confxml/samples/* "$work/samples/" 2>/dev/null || true
# The build puts both translations (and the Qt catalogues qt_ru.qm refers to) next to the binaries.
cp -f build/bin/*.qm "$work/"

real_device_present() {
    # USB-HID device 16c0:05df, or a serial adapter that names itself "VANT USB".
    local d
    for d in /sys/bus/usb/devices/*; do
        [ "$(cat "$d/idVendor" 2>/dev/null)" = 16c0 ] && [ "$(cat "$d/idProduct" 2>/dev/null)" = 05df ] && return 0
    done
    ls /dev/serial/by-id/ 2>/dev/null | grep -qi 'vant' && return 0
    return 1
}

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null; true; }
trap cleanup EXIT

if ! real_device_present; then
    [ -f "$work/device/image.bin" ] || cp "$top/tools/devsim/demo-image.bin" "$work/device/image.bin"
    "$top/build/bin/vant-devsim" --register \
        --image "$work/device/image.bin" --firmware "$work/device/firmware.bin" \
        --hardware-id VANT-HW-1 --software-id VANT-DEMO-1 > "$work/device/port.txt" &
    sim_pid=$!
    for _ in $(seq 50); do [ -s "$work/device/port.txt" ] && break; sleep 0.1; done
    echo "Simulated device on $(cat "$work/device/port.txt") (files in $work/device)"
fi

cd "$work"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under Xvfb (xvfb-run)."
    xvfb-run -a "$top/build/bin/vant-conf"
else
    "$top/build/bin/vant-conf"
fi
