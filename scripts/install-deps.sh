#!/usr/bin/env bash
# Installs the Debian packages Nimbolt needs that are not there yet. Run as root (or with sudo).
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    libgtest-dev googletest
    qt6-base-dev qt6-wayland libgif-dev libpng-dev fonts-ipafont-gothic qt6-translations-l10n
    clang libclang-rt-14-dev
    libxcb1-dev libxcb-shape0-dev
    xvfb xdotool x11-utils x11-apps trayer xclip openbox xcompmgr weston xwayland python3
    dpkg-dev desktop-file-utils appstream
)
if [ "${1:-}" = bench ]; then
    packages+=(mujs duktape strace dbus-daemon)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi
