#!/usr/bin/env bash
# Installs what is missing, builds and starts Platovix against a simulated
# reader, so that it works on a machine without an instrument.
#
#   ./run.sh [platovix-sim options]     e.g. ./run.sh --family jupiter
#   ./run.sh --sila [platovix-sim options]   the SiLA 2 server instead of the
#                                            desktop program
#
# The simulator runs on a pseudo-terminal linked from .demo/reader and holds
# an ELISA plate unless --scenario says otherwise; the program keeps its demo
# settings in .demo/platovix.ini (never the user's own). Each start gives
# them the simulated reader's filters, the filters its assay is read with,
# the family's line speed and the example assay of an ELISA or Bradford
# plate, so the first Measure gives a plate and its verdict. A user with an
# instrument runs the installed program instead.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)

build=${BUILD_DIR:-build}

usage() {
  cat << 'EOF'
Usage: ./run.sh [--sila] [platovix-sim options]

Builds Platovix and starts it against a simulated reader. With --sila the
SiLA 2 server (platovix-sila, port 50052, TLS with the certificate in
.demo/platovix-sila.crt) is started instead of the desktop program. Every
other option goes to the simulator (platovix-sim); the ones most often wanted:

  --family NAME      digiscan (default), jupiter or expert
  --scenario NAME    the plate in the reader: elisa (default), bradford,
                     kinetic, growth or random
  --seed N           another plate of the same scenario
  --overflow         a few wells read above the reader's range
  --no-value         a few wells carry the reader's "no value" code
  --filters LIST     six wavelengths in nm, comma-separated
  --measure-ms N     how long a measurement takes (500)
  --time-scale F     the plate's clock F times as fast (growth in minutes)
  --fault NAME       inject a line or reader fault
  -v, --verbose      log the conversation to stderr
EOF
  if [ -x "$build/sim/platovix-sim" ]; then
    printf '\nAll options, from platovix-sim --help:\n\n'
    "$build/sim/platovix-sim" --help
  else
    printf '\nThe full list: platovix-sim --help, once built.\n'
  fi
}

family=digiscan
scenario=
front=ui
args=()
for arg in "$@"; do
  if [ "$arg" = --sila ]; then front=sila; else args+=("$arg"); fi
done
for ((i = 0; i < ${#args[@]}; i++)); do
  case "${args[i]}" in
    -h | --help) usage; exit 0 ;;
    --family) family=${args[i + 1]:-} ;;
    --scenario) scenario=${args[i + 1]:-} ;;
  esac
done
# The demo's plate is an assay; the simulator's own default is random.
[ -n "$scenario" ] || args+=(--scenario elisa)
case "$family" in
  digiscan | jupiter | expert) ;;
  *) echo "run.sh: unknown family \"$family\" (digiscan, jupiter or expert)" >&2; exit 2 ;;
esac

./scripts/install-deps.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
program=platovix
[ "$front" = sila ] && program=platovix-sila
cmake --build "$build" -j "$(nproc)" --target "$program" platovix-sim

demo=$root/.demo
link=$demo/reader
settings=$demo/platovix.ini
mkdir -p "$demo"

./scripts/demo-settings.sh --with-assay "$build/sim/platovix-sim" "$settings" "$link" "${args[@]}"

[ -L "$link" ] && rm -f "$link"  # left over from a run that was killed
"$build/sim/platovix-sim" --link "$link" "${args[@]}" > "$demo/sim.path" &
sim=$!
stop_sim() { kill "$sim" 2> /dev/null || true; wait "$sim" 2> /dev/null || true; }
trap stop_sim EXIT
for _ in $(seq 50); do
  [ -L "$link" ] && break
  kill -0 "$sim" 2> /dev/null || { echo "run.sh: the simulator did not start" >&2; exit 1; }
  sleep 0.1
done

echo "Simulated $family reader on $link"
if [ "$front" = sila ]; then
  XDG_CONFIG_HOME=$demo "$build/sila/platovix-sila"
else
  XDG_CONFIG_HOME=$demo "$build/ui/platovix"
fi
