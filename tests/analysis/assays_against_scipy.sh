#!/usr/bin/env bash
# The example assays measured by platovix-cli against the simulator's
# plates (elisa, bradford); their recovery, LLOQ and ULOQ checked against
# SciPy, and each verdict a Pass.
#   assays_against_scipy.sh PLATOVIX_SIM PLATOVIX_CLI SOURCE_DIR
set -euo pipefail
sim=$1 cli=$2 source=$3
work=$(mktemp -d /tmp/platovix-assay-scipy-XXXXXX)
sim_pid=
trap '[ -n "$sim_pid" ] && kill $sim_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work
for scenario in elisa bradford; do
  assay=$source/examples/$scenario-assay.json
  "$sim" --scenario $scenario --measure-ms 100 --link "$work/reader" >/dev/null &
  sim_pid=$!
  for _ in $(seq 50); do [ -e "$work/reader" ] && break; sleep 0.1; done
  "$cli" --port "$work/reader" --yes measure --assay "$assay" --fail-on-qc --format json \
    -o "$work/$scenario.json" 2>/dev/null
  kill $sim_pid; wait $sim_pid 2>/dev/null || true
  sim_pid=
  /usr/bin/python3 "$source/tests/analysis/reference/check_assay.py" "$assay" "$work/$scenario.json"
done
