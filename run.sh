#!/usr/bin/env bash
# Installs what is missing, builds and starts Platovix against a simulated
# reader, so that it works on a machine without an instrument.
#
#   ./run.sh [platovix-sim options]     e.g. ./run.sh --family jupiter
#
# The simulator runs on a pseudo-terminal linked from .demo/reader; the
# program keeps its demo settings in .demo/platovix.ini (never the user's
# own). A user with an instrument runs the installed program instead.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

family=digiscan
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  case "${args[i]}" in
    -h | --help)
      echo "Usage: ./run.sh [platovix-sim options]  (see platovix-sim --help)"
      exit 0 ;;
    --family) family=${args[i + 1]:-} ;;
  esac
done
case "$family" in
  digiscan) subtype=0 ;;
  jupiter | expert) subtype=1 ;;
  *) echo "run.sh: unknown family \"$family\" (digiscan, jupiter or expert)" >&2; exit 2 ;;
esac

./scripts/install-deps.sh

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)" --target platovix platovix-sim

demo=$root/.demo
link=$demo/reader
settings=$demo/platovix.ini
mkdir -p "$demo"
touch "$settings"

# Sets key=value in [section] of an INI file and keeps everything else as it
# was: the operator's demo choices survive from run to run.
set_ini() {
  local file=$1 section=$2 key=$3 value=$4
  awk -v section="[$section]" -v key="$key" -v value="$value" '
    function add() { print key "=" value; done = 1 }
    /^\[/ { if (inside && !done) add(); inside = ($0 == section); seen = seen || inside }
    inside && index($0, key "=") == 1 { if (!done) add(); next }
    { print }
    END { if (!seen) print section; if (!done) add() }
  ' "$file" > "$file.new"
  mv "$file.new" "$file"
}
set_ini "$settings" Setup nComPort 1
set_ini "$settings" Setup readerSubType "$subtype"
set_ini "$settings" Ports COM1 "$link"

[ -L "$link" ] && rm -f "$link"  # left over from a run that was killed
"$build/sim/platovix-sim" --link "$link" "$@" > "$demo/sim.path" &
sim=$!
stop_sim() { kill "$sim" 2> /dev/null || true; wait "$sim" 2> /dev/null || true; }
trap stop_sim EXIT
for _ in $(seq 50); do
  [ -L "$link" ] && break
  kill -0 "$sim" 2> /dev/null || { echo "run.sh: the simulator did not start" >&2; exit 1; }
  sleep 0.1
done

echo "Simulated $family reader on $link"
XDG_CONFIG_HOME=$demo "$build/ui/platovix"
