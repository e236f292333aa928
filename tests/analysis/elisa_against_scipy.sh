#!/usr/bin/env bash
# The ELISA demo plate measured by platovix-cli against the simulator, its
# analysis (4PL, and a weighted 5PL through analyse) checked against SciPy.
#   elisa_against_scipy.sh PLATOVIX_SIM PLATOVIX_CLI SOURCE_DIR
set -euo pipefail
sim=$1 cli=$2 source=$3
work=$(mktemp -d /tmp/platovix-elisa-scipy-XXXXXX)
"$sim" --scenario elisa --measure-ms 200 --link "$work/reader" >/dev/null &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; wait $sim_pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e "$work/reader" ] && break; sleep 0.1; done
export XDG_CONFIG_HOME=$work
layout=$source/examples/elisa-layout.csv
"$cli" --port "$work/reader" measure --primary 450 --reference 620 --layout "$layout" \
  --format json -o "$work/elisa.json"
/usr/bin/python3 "$source/tests/analysis/reference/check_analysis.py" "$work/elisa.json"
"$cli" analyse --layout "$layout" --fit 5pl --weight 1/y -o "$work/weighted.json" "$work/elisa.json"
/usr/bin/python3 "$source/tests/analysis/reference/check_analysis.py" "$work/weighted.json"
