#!/usr/bin/env bash
# Installs the Debian packages the machine lacks for one purpose:
#   build    compilers and libraries for the two programs and their resources (make run, make install)
#   package  those and dpkg-dev, which finds the package's dependencies (make package)
#   test     those and every tool the tests, benchmarks and fuzzers use (make test)
set -euo pipefail
purpose=${1:-build}
build=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev libpulse-dev libx11-dev libxcb-shape0-dev libxcb-image0-dev
  nlohmann-json3-dev libutf8proc-dev
)
case $purpose in
  build) packages=("${build[@]}") ;;
  package) packages=("${build[@]}" dpkg-dev) ;;
  test)
    packages=(
      "${build[@]}" dpkg-dev
      clang clang-format libclang-rt-14-dev
      libgtest-dev libgmock-dev libbenchmark-dev
      pulseaudio pulseaudio-utils
      xvfb xauth icewm x11-utils xdotool imagemagick jq xterm xcompmgr oneko xdg-utils
      lintian
    )
    ;;
  *)
    echo "usage: install-deps.sh build|package|test" >&2
    exit 2
    ;;
esac
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
