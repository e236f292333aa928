#!/usr/bin/env bash
# A kinetic series read by platovix-cli from the simulator's enzyme plate,
# stopped with Ctrl+C after eight reads: the completed reads stay in the
# file, the rates come out anyway, agree with numpy/SciPy on the same series
# and with the simulator's known initial rates; analyse gives the same from
# the file, as JSON and as CSV.
#   kinetics_against_numpy.sh PLATOVIX_SIM PLATOVIX_CLI SOURCE_DIR
set -euo pipefail
sim=$1 cli=$2 source=$3
work=$(mktemp -d /tmp/platovix-kinetics-XXXXXX)
"$sim" --scenario kinetic --write-layout "$work/truth.txt"
"$sim" --scenario kinetic --measure-ms 50 --link "$work/reader" >/dev/null &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; wait $sim_pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e "$work/reader" ] && break; sleep 0.1; done
export XDG_CONFIG_HOME=$work
assay=$source/examples/kinetic-assay.json
check=$source/tests/analysis/reference/check_kinetics.py

"$cli" --port "$work/reader" measure --assay "$assay" --repeat 40 --every 1 --no-archive \
  --format json -o "$work/series.json" >"$work/measured.json" 2>"$work/progress.txt" &
cli_pid=$!
reads() { cat "$work/series.json" 2>/dev/null | grep -c elapsedSeconds || true; }
until [ "$(reads)" -ge 8 ]; do
  kill -0 $cli_pid 2>/dev/null || { echo "the series ended early"; cat "$work/progress.txt"; exit 1; }
  sleep 0.2
done
kill -INT $cli_pid
status=0
wait $cli_pid || status=$?
[ $status -eq 3 ] || { echo "Ctrl+C gave exit $status, not 3"; cat "$work/progress.txt"; exit 1; }
grep -q "User aborted" "$work/progress.txt"
# measure timed the reads to the microsecond, the file keeps milliseconds
/usr/bin/python3 "$check" "$work/series.json" "$work/measured.json" "$work/truth.txt" 1e-3

"$cli" analyse --kinetic rate --assay "$assay" -o "$work/analysed.json" "$work/series.json"
/usr/bin/python3 "$check" "$work/series.json" "$work/analysed.json" "$work/truth.txt"

"$cli" analyse --kinetic rate --assay "$assay" --format csv "$work/series.json" >"$work/analysed.csv"
reads=$(reads)
# the series (a header and one row per read), a blank line, the table
[ "$(head -1 "$work/analysed.csv" | cut -d, -f1-3)" = "elapsed [s],A1,A2" ]
[ "$(sed -n "$((reads + 2))p" "$work/analysed.csv")" = "" ]
[ "$(sed -n "$((reads + 3))p" "$work/analysed.csv" | cut -d, -f1-4)" = "Well,Name,Role,Rate (mOD/min)" ]
[ "$(sed -n "$((reads + 4))p" "$work/analysed.csv" | cut -d, -f1-3)" = "A1,E1-1,sample" ]
[ "$(wc -l <"$work/analysed.csv")" -eq $((reads + 3 + 96)) ]
