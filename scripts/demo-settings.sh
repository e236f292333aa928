#!/usr/bin/env bash
# Writes the settings the demo program needs for a simulated reader into an
# INI file, as the program itself would keep them after an operator chose
# Options and Filters: the port, the family and its line speed, the reader's
# six filters, the filters the plate's assay is read with, and with
# --with-assay the example assay that fits the scenario's plate
# (examples/elisa-assay.json for elisa, examples/bradford-assay.json for
# bradford, none otherwise). Everything else
# in the file (window place, decimal comma, ...) stays as it was.
#
#   scripts/demo-settings.sh [--with-assay] SIMULATOR SETTINGS-FILE READER-LINK [platovix-sim options]
set -euo pipefail
with_assay=0
if [ "${1:-}" = --with-assay ]; then
  with_assay=1
  shift
fi
sim=$1 settings=$2 link=$3
shift 3

family=digiscan
scenario=random
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  [ "${args[i]}" = --family ] && family=${args[i + 1]:-}
  [ "${args[i]}" = --scenario ] && scenario=${args[i + 1]:-}
done
examples=$(cd "$(dirname "$0")/../examples" && pwd)
# Jupiter and Expert talk faster, as the Options dialog sets.
case "$family" in
  digiscan) subtype=0 baud=9600 ;;
  jupiter | expert) subtype=1 baud=19200 ;;
  *) echo "demo-settings: unknown family \"$family\" (digiscan, jupiter or expert)" >&2; exit 2 ;;
esac

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

# Drops [section] and everything in it.
drop_ini_section() {
  local file=$1 section=$2
  awk -v section="[$section]" '/^\[/ { inside = ($0 == section) } !inside { print }' \
    "$file" > "$file.new"
  mv "$file.new" "$file"
}

set_ini "$settings" Setup nComPort 1
set_ini "$settings" Setup readerSubType "$subtype"
set_ini "$settings" Setup nBaudRate "$baud"
set_ini "$settings" Ports COM1 "$link"

# The filters as the program keeps them: F01..F06 without the empty
# positions at the end, and the last measurement's primary and reference.
# The reference box itself is not kept: it starts unchecked.
read -r -a filters < <("$sim" "${args[@]}" --demo-filters)
[ ${#filters[@]} -eq 8 ] || { echo "demo-settings: the simulator named no filters" >&2; exit 1; }
count=6
while ((count > 0)) && [ "${filters[count - 1]}" = 0 ]; do count=$((count - 1)); done
drop_ini_section "$settings" Filters
for ((slot = 1; slot <= count; slot++)); do
  set_ini "$settings" Filters "$(printf 'F%02d' "$slot")" "${filters[slot - 1]}"
done
set_ini "$settings" LastMeasure nLastF1 "${filters[6]}"
set_ini "$settings" LastMeasure nLastF2 "${filters[7]}"

# The example assay of the scenario, so the first Enter ends in the analysis
# window with a verdict; none (an empty File=) for the other plates. Left
# alone while the example is missing.
[ "$with_assay" = 1 ] || exit 0
case "$scenario" in
  elisa) assay=$examples/elisa-assay.json ;;
  bradford) assay=$examples/bradford-assay.json ;;
  *) assay= ;;
esac
if [ -z "$assay" ]; then
  if grep -q '^\[Assay\]' "$settings"; then set_ini "$settings" Assay File ""; fi
elif [ -f "$assay" ]; then
  set_ini "$settings" Assay File "$assay"
fi
