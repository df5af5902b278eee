#!/usr/bin/env bash
# Makes docs/screenshot.png: the main window with the demo configuration opened, in the
# Russian interface. Builds what it needs first (BUILD_DIR, default build/).
# The window is rendered off screen by the picture tool itself, so no X server is needed;
# with SHOT_XVFB=1 it runs on the xcb platform under Xvfb instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
out="${1:-$root/docs/screenshot.png}"

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target vant-conf-shot vant-conf

# The program finds its translations and descriptions in the working directory, and keeps
# its window layout in the per-user store: both go to a scratch directory here.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$build"/bin/*.qm "$work"/
cp -r "$root/confxml" "$work"/
mkdir -p "$work/config" "$(dirname "$out")"

cd "$work"
if [ "${SHOT_XVFB:-0}" = 1 ]; then
    XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/vant-conf-shot" "$work/shot.png"
else
    XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen "$build/bin/vant-conf-shot" "$work/shot.png"
fi
cp "$work/shot.png" "$out"
echo "wrote $out"
