#!/usr/bin/env bash
# Installs whatever Vintrel needs to build, run and test that is not on this Debian or
# Ubuntu machine yet, then configures and builds it in ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake ninja-build pkg-config          # toolchain
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev  # window, controls, dialogs
  libmpv-dev                                # the player
  ffmpeg                                    # the encoder (and ffprobe), for whole re-encodes and tests
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev  # the cut engine, in process
  gstreamer1.0-plugins-base-apps gstreamer1.0-plugins-good gstreamer1.0-libav mkvtoolnix  # other demuxers judge the cuts
  fonts-dejavu-core                         # text in the window on a bare machine
  libgtest-dev                              # tests
  xvfb xauth x11-utils xdotool imagemagick libx11-dev procps dbus-daemon  # whole-program tests in a real X server and a D-Bus session bus
  desktop-file-utils                        # checks the menu entry
  time                                      # the cut benchmark's processor time
  clang-format-14 clang-tidy-14             # scripts/check.sh (pinned: findings do not drift with versions)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

jobs=$(nproc 2>/dev/null || echo 2)
# The benchmarks are configured too (built on demand by bench/run.sh), as the tests are.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVINTREL_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build -j"$jobs"
