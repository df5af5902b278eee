#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the simulator need, when missing.
set -euo pipefail
packages=(
    build-essential cmake ninja-build ccache pkg-config python3
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-tools-dev qt6-tools-dev-tools
    qt6-l10n-tools qt6-translations-l10n libhidapi-dev libgl-dev
    lrzsz socat xvfb xauth imagemagick libxml2-utils
    desktop-file-utils appstream bash-completion dpkg-dev file
)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
