#!/usr/bin/env bash
# Installs whatever Vintrel needs to build, run and test that is not on this machine yet,
# then configures and builds it in ./build. Knows Debian 12 and 13 and Ubuntu 24.04 and
# later, whose package names are the same; on any other system it says so and stops.
set -euo pipefail
cd "$(dirname "$0")/.."

# Which system this is, from /etc/os-release; stops on one whose packages are not known.
check_system() {
  local id="" version="" pretty=""
  if [ -r /etc/os-release ]; then
    # shellcheck disable=SC1091
    id=$(. /etc/os-release && echo "${ID:-}")
    version=$(. /etc/os-release && echo "${VERSION_ID:-}")
    pretty=$(. /etc/os-release && echo "${PRETTY_NAME:-}")
  fi
  case "$id:$version" in
    debian:12 | debian:13) return ;;
    ubuntu:*)
      local major=${version%%.*}
      [[ "$major" =~ ^[0-9]+$ ]] && ((major >= 24)) && return ;;
  esac
  cat >&2 <<MSG
setup.sh: this system (${pretty:-unknown: no /etc/os-release}) is not one Vintrel knows how to set up.
It knows Debian 12 and 13 and Ubuntu 24.04 or later, where it installs its packages with apt-get.
Elsewhere, install by hand a C++20 compiler, CMake 3.25+, Ninja, Qt 6.4+, libmpv 0.35+, the ffmpeg
5.1+ libraries and program, and GoogleTest, then run:
  cmake -S . -B build -G Ninja && cmake --build build
MSG
  exit 3
}

packages=(
  g++ cmake ninja-build pkg-config          # toolchain
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev  # window, controls, dialogs
  libmpv-dev                                # the player
  ffmpeg                                    # ffmpeg and ffprobe: the tests' outside judges, and their clips
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev  # the cut engine, in process
  gstreamer1.0-plugins-base-apps gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav mkvtoolnix  # other demuxers judge the cuts (MPEG-PS, ASF too)
  fonts-dejavu-core                         # text in the window on a bare machine
  libgtest-dev                              # tests
  xvfb xauth x11-utils xdotool imagemagick libx11-dev procps dbus-daemon  # whole-program tests in a real X server and a D-Bus session bus
  desktop-file-utils                        # checks the menu entry
  time                                      # the cut benchmark's processor time
  clang-format clang-tidy                   # scripts/check.sh, the release's own versions
  dpkg-dev file librsvg2-bin appstream lintian man-db  # the Debian package: made, checked, its manual pages
)

check_system
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

jobs=$(nproc 2>/dev/null || echo 2)
# The benchmarks are configured too (built on demand by bench/run.sh), as the tests are.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVINTREL_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build -j"$jobs"
