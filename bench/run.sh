#!/usr/bin/env bash
# Builds and runs the benchmarks, then prints the machine and one table: every figure next
# to its limit or baseline, measured in the same run. Takes a few minutes.
#   bench/run.sh                   all of them (installs what is missing and builds ./build)
#   bench/run.sh open export       only some: startup memory open playselected export
#   BENCH_REPEATS=n bench/run.sh   n runs of each comparison (defaults 3 to 8, see docs/benchmarks.md)
#   BENCH_OPENS=n bench/run.sh     n opens for the memory curve (default 24)
#   BUILD_DIR=dir bench/run.sh     build in another folder, without the package set-up
# Save and the export figures need vintrel-cut in the build folder; the `benchmarks` target
# builds it when the tree has it, and the figures say "skipped" while it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build}
if [ -z "${BUILD_DIR:-}" ]; then
  scripts/setup.sh
elif [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVINTREL_BUILD_BENCHMARKS=ON >/dev/null
else
  cmake "$build" -DVINTREL_BUILD_BENCHMARKS=ON >/dev/null  # a build folder made without them
fi
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target benchmarks

# The player probes for a Wayland display and complains without a runtime folder.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

version() {  # the installed package's version, else what pkg-config says
  dpkg-query -W -f='${Version}' "$1" 2>/dev/null || pkg-config --modversion "$2" 2>/dev/null || echo "?"
}
echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')," \
  "$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo) memory"
echo "system:  $(. /etc/os-release && echo "$PRETTY_NAME"), Linux $(uname -r)"
echo "versions: Qt $(pkg-config --modversion Qt6Widgets 2>/dev/null || echo ?)," \
  "libmpv $(version libmpv2 mpv) (client API $(pkg-config --modversion mpv 2>/dev/null || echo ?))," \
  "$(ffmpeg -hide_banner -version 2>/dev/null | head -1 | cut -d' ' -f1-3), Mesa $(version libgl1-mesa-dri gl)"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
"$build/bench/vintrel_bench" "$@"
echo
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
