#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Only packages that are missing are installed, so a second run is quick.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev
  libgtest-dev libbenchmark-dev libstb-dev libpixman-1-dev
  clang libclang-rt-14-dev
  xvfb openbox xdotool x11-utils wmctrl python3 python3-pil strace
  i3-wm xfwm4 xfconf dbus-daemon fluxbox fonts-dejavu-core sway grim wtype
  g++-mingw-w64-x86-64-posix wine64 wine
)
if [[ "${1:-}" == "--run-only" ]]; then
  packages=(build-essential cmake ninja-build pkg-config libsdl2-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
