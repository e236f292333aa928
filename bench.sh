#!/usr/bin/env bash
# Builds the benchmarks and the program (optimised, in build-bench/) and
# prints the link's, the plate analysis' and the start-up figures with their
# goals beside them.
#   ./bench.sh [--runs N] [--trials N]    (defaults: 3 measurements of each
#                                         kind, 200 abort trials of each wait)
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

build=${BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLATOVIX_BENCH=ON -DPLATOVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target platovix_bench platovix_bench_analysis platovix platovix_bench_sila \
  platovix_bench_archive platovix_bench_report platovix_bench_history platovix_bench_curves
echo "Measuring (about two minutes; keep the machine otherwise idle)..."
"$build/bench/platovix_bench" "$@"
"$build/bench/platovix_bench_analysis"
"$build/bench/platovix_bench_report"
"$build/bench/platovix_bench_curves"
bench/startup.sh "$build/ui/platovix" 5
echo "The SiLA server (about a minute)..."
"$build/bench/platovix_bench_sila"
echo "The plate archive (a few minutes: it fills two archives of 100 000 reads)..."
"$build/bench/platovix_bench_archive"
echo "The History window's list (it fills an archive of 100 000 reads)..."
"$build/bench/platovix_bench_history"
