#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vintrel; `run.sh FILE` opens FILE in it.
set -euo pipefail
# A relative path names a file from where the script was started, not from the project's
# folder it moves to.
args=()
for arg in "$@"; do
  if [[ -n "$arg" && "$arg" != /* ]]; then arg="$PWD/$arg"; fi
  args+=("$arg")
done
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/vintrel "${args[@]}"
