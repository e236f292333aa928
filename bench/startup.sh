#!/usr/bin/env bash
# Start-up of the operator interface under Xvfb: the time from starting the
# process to the main dialog being shown (viewable on the X server), and the
# resident memory at that moment. Prints two table rows (median of RUNS).
#   bench/startup.sh PLATOVIX_BINARY [RUNS]
set -uo pipefail
binary=$1
runs=${2:-5}
row() { printf '%-50s %-38s %-14s %s\n' "$1" "$2" "$3" "$4"; }

if [ ! -x "$binary" ]; then
  row "start-up to main dialog shown (Xvfb)" "not built ($binary)" "< 300 ms" "MISSED"
  exit 0
fi

display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$config"' EXIT
for _ in $(seq 100); do
  xwininfo -display "$display" -root >/dev/null 2>&1 && break
  sleep 0.05
done

# A settings file with a port chosen, so that the program opens straight into
# its main dialog rather than the Options dialog.
config=$(mktemp -d /tmp/platovix-bench-XXXXXX)
printf '[Setup]\nnComPort=1\nreaderSubType=0\n' >"$config/platovix.ini"

times=()
sizes=()
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$config HOME=$config "$binary" >/dev/null 2>&1 &
  pid=$!
  shown=""
  for _ in $(seq 2000); do
    if xwininfo -display "$display" -name "Platovix - DigiScan" 2>/dev/null | grep -q IsViewable; then
      shown=$(date +%s%N)
      break
    fi
  done
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null)
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  [ -z "$shown" ] && continue
  times+=($(((shown - start) / 1000000)))
  sizes+=($((rss / 1024)))
done

if [ ${#times[@]} -eq 0 ]; then
  row "start-up to main dialog shown (Xvfb)" "the dialog never appeared" "< 300 ms" "MISSED"
  exit 0
fi
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ms=$(median "${times[@]}")
mb=$(median "${sizes[@]}")
row "start-up to main dialog shown (Xvfb)" "median ${ms} ms of ${#times[@]} (max $(printf '%s\n' "${times[@]}" | sort -n | tail -1))" "< 300 ms" "$([ "$ms" -lt 300 ] && echo met || echo MISSED)"
row "resident memory with the main dialog shown" "${mb} MB" "< 80 MB" "$([ "$mb" -lt 80 ] && echo met || echo MISSED)"
