#!/usr/bin/env bash
# The code checks CI runs after the tests: clang-format's style (.clang-format) over src/,
# tests/ and bench/, and clang-tidy (.clang-tidy) over src/, with each file compiled as the
# build compiles it (its compile_commands.json). Each runs in the release's own version
# (14 on Debian 12, 19 on Debian 13; CLANG_FORMAT=, CLANG_TIDY= choose another): .clang-format
# holds only options both read alike, and .clang-tidy only checks both know.
#   scripts/check.sh                 both; the build folder is ./build (scripts/setup.sh's),
#                                    or BUILD_DIR=dir
#   scripts/check.sh format          only the format check
#   scripts/check.sh tidy [FILE...]  only clang-tidy, over src/ or the files named
# Exits non-zero when a file differs from the style or clang-tidy reports an error (its
# warnings, such as a function's cognitive complexity, are printed and do not fail).
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
clang_tidy=${CLANG_TIDY:-clang-tidy}
build=${BUILD_DIR:-build}
what=${1:-all}
[ $# -gt 0 ] && shift

status=0

if [ "$what" = all ] || [ "$what" = format ]; then
  mapfile -t sources < <(find src tests bench -name '*.cpp' -o -name '*.h' | sort)
  if ! "$clang_format" --dry-run -Werror "${sources[@]}" 2>"$build/format-check.log"; then
    echo "format: $(grep -c 'error: code should be clang-formatted' "$build/format-check.log") places in" \
      "$(grep 'error: code should be' "$build/format-check.log" | cut -d: -f1 | sort -u | wc -l) of ${#sources[@]} files differ" \
      "from .clang-format (all of them: $build/format-check.log; fix with $clang_format -i FILE)"
    status=1
  else
    echo "format: all ${#sources[@]} files as .clang-format says"
  fi
fi

if [ "$what" = all ] || [ "$what" = tidy ]; then
  [ -f "$build/compile_commands.json" ] || { echo "tidy: no $build/compile_commands.json; build first" >&2; exit 2; }
  if [ $# -gt 0 ]; then
    files=("$@")
  else
    mapfile -t files < <(find src -name '*.cpp' | sort)
  fi
  # One file per clang-tidy, two at a time (the machines CI runs on have two cores).
  if printf '%s\n' "${files[@]}" |
    xargs -P "${JOBS:-2}" -n 1 "$clang_tidy" -p "$build" --quiet 2>/dev/null >"$build/tidy-check.log"; then
    :
  else
    status=1
  fi
  errors=$(grep -c ' error: .*\[' "$build/tidy-check.log" || true)
  warnings=$(grep -c ' warning: .*\[' "$build/tidy-check.log" || true)
  grep -E ' (error|warning): .*\[' "$build/tidy-check.log" | sort -u || true
  echo "tidy: ${#files[@]} files, $errors errors, $warnings warnings (details: $build/tidy-check.log)"
fi

exit "$status"
