#!/usr/bin/env bash
# Installs whatever Debian packages the build and the tests need and the machine lacks.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang clang-format pkg-config ccache
  qt6-base-dev libpulse-dev libx11-dev libxcb-shape0-dev libxcb-image0-dev
  pulseaudio pulseaudio-utils
  xvfb xauth icewm x11-utils xdotool imagemagick jq xterm xcompmgr oneko xdg-utils
  nlohmann-json3-dev libutf8proc-dev
  libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev
  dpkg-dev
)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0
echo "installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
