#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Exits non-zero when
# anything fails.
#
#   ./test.sh                the whole suite                        (build/)
#   ./test.sh asan           the whole suite under AddressSanitizer
#                            and UndefinedBehaviorSanitizer         (build-asan/)
#   ./test.sh tsan           every test without Qt under ThreadSanitizer:
#                            abort flag, worker start and wait, the
#                            operations and the fault matrix against
#                            the simulator                          (build-tsan/)
#   ./test.sh fuzz [SECONDS] every libFuzzer target for SECONDS
#                            each (default 60), with clang          (build-fuzz/)
#
# BUILD_DIR overrides the build directory of the chosen mode.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

mode=${1:-all}
jobs=$(nproc)

# Every report stops the run: a sanitizer finding is a failure, not a warning.
# (No strict_string_checks: the X keyboard library hands strndup unterminated
# names, which that check reports although nothing is read out of bounds.)
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
# Leaks inside the system's font and display libraries are theirs, not ours.
export LSAN_OPTIONS="suppressions=$PWD/.ci/lsan-third-party.supp:print_suppressions=0"
symbolizer=$(command -v llvm-symbolizer || command -v llvm-symbolizer-14 || true)
if [ -n "$symbolizer" ]; then
  export ASAN_SYMBOLIZER_PATH=$symbolizer TSAN_SYMBOLIZER_PATH=$symbolizer
fi

configure() {  # build dir, then extra cmake arguments
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}
# Sanitizer builds: line tables are all a report needs, and -O1 compiles
# much faster than -O2 while keeping the sanitizers' overhead low where the
# run is mostly our own code (the fuzzers, the threaded tests).
sanitizer_flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG")
# The whole suite under ASan waits on the simulator, servers and Qt far more
# than it computes: -O0 compiles in about half the CPU time of -O1.
asan_flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -g1 -DNDEBUG")

# Most tests wait (on the simulated reader, a server, a validator) rather
# than compute: at four per core the suite still keeps the cores only about
# two-thirds busy. The fault matrix cells mostly wait on the simulated
# reader's time-outs: they run eight at a time once the rest is done.
run_tests() {
  ctest --test-dir "$1" --output-on-failure -j $((4 * jobs)) -E '^Faults/'
  ctest --test-dir "$1" --output-on-failure -j 8 -R '^Faults/'
}

case "$mode" in
  all)
    build=${BUILD_DIR:-build}
    configure "$build"
    cmake --build "$build" -j "$jobs"
    run_tests "$build"
    ;;
  asan)
    build=${BUILD_DIR:-build-asan}
    configure "$build" "${asan_flags[@]}" -DPLATOVIX_SANITIZE=address,undefined
    cmake --build "$build" -j "$jobs"
    run_tests "$build"
    ;;
  tsan)
    # Qt's own threads give false reports under ThreadSanitizer: the
    # operator interface stays out of this build. So does the SiLA server:
    # gRPC's prebuilt libraries are not instrumented, and their threads'
    # synchronisation would be reported as races.
    build=${BUILD_DIR:-build-tsan}
    configure "$build" "${sanitizer_flags[@]}" -DPLATOVIX_SANITIZE=thread -DPLATOVIX_UI=OFF \
      -DPLATOVIX_SILA=OFF
    cmake --build "$build" -j "$jobs"
    run_tests "$build"
    ;;
  fuzz)
    seconds=${2:-60}
    build=${BUILD_DIR:-build-fuzz}
    clangxx=$(command -v clang++ || command -v clang++-14)
    configure "$build" "${sanitizer_flags[@]}" -DCMAKE_CXX_COMPILER="$clangxx" -DPLATOVIX_FUZZ=ON -DPLATOVIX_UI=OFF \
      -DPLATOVIX_TESTS=OFF -DPLATOVIX_SANITIZE=address,undefined \
      -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link
    cmake --build "$build" -j "$jobs" --target platovix_fuzzers
    ./fuzz/run.sh "$build/fuzz" "$seconds"
    ;;
  *)
    echo "usage: $0 [all|asan|tsan|fuzz [SECONDS]]" >&2
    exit 2
    ;;
esac
