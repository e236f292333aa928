#!/bin/sh
# Captures the example traces of this folder from the simulated readers:
#   tests/traces/capture.sh [BUILD_DIR]
# Each case runs platovix-sim with the default reading model and platovix-cli
# --trace against it; the trace and what the command printed are kept.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
sim=$build/sim/platovix-sim
cli=$build/cli/platovix-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work  # no settings file: nothing of this machine gets in

# capture NAME "SIM OPTIONS" CLI ARGUMENTS...
capture() {
  name=$1 simOptions=$2
  shift 2
  rm -f "$work/sim.out"
  "$sim" $simOptions >"$work/sim.out" 2>/dev/null &
  simPid=$!
  while [ ! -s "$work/sim.out" ]; do sleep 0.1; done
  port=$(head -n 1 "$work/sim.out")
  rm -f "$here/$name.trace"
  status=0
  "$cli" --port "$port" --trace "$here/$name.trace" "$@" >"$here/$name.expected" 2>/dev/null ||
    status=$?
  kill "$simPid"
  wait "$simPid" || true
  # The pseudo-terminal's name means nothing on another machine.
  sed -i "s|device=$port|device=/dev/ttyUSB0|" "$here/$name.trace"
  [ -s "$here/$name.expected" ] || rm -f "$here/$name.expected"
  echo "$name: exit $status"
}

capture measure-digiscan "--family digiscan" --family digiscan measure --primary 450 --reference 620 --no-header
capture measure-jupiter "--family jupiter" --family jupiter --yes measure --primary 405 --no-header
capture measure-expert "--family expert" --family jupiter measure --primary 492 --reference 690 --no-header
capture filters-jupiter "--family jupiter" --family jupiter filters
capture calibrate-expert "--family expert" --family jupiter calibrate 2=495 6=0
capture plate-out-jupiter "--family jupiter" --family jupiter plate out
capture timeout-digiscan "--family digiscan --fault silent-mid-reply" --family digiscan filters
