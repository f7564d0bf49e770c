#!/usr/bin/env bash
# What CI runs after the normal suite, in about 20 minutes on 2 cores:
#   1. the whole test suite built with clang, AddressSanitizer and
#      UndefinedBehaviorSanitizer; it must be clean;
#   2. each libFuzzer target for a short bounded time on a copy of its seed
#      corpus (tests/fuzz/corpus/);
#   3. a short seeded fault soak (bench/bench_soak) in the sanitizer build;
#   4. the unit tests built without the hot-plug watch (TRV_HOTPLUG_WATCH=OFF),
#      as on systems without libudev, so that path stays tested.
# Ends with one line "robustness: N passed, N failed"; exits non-zero on any failure.
#
# Settings (environment): TRV_ROBUSTNESS_DIR (build folders, default
# build-robustness/), TRV_FUZZ_SECONDS (per target, default 60),
# TRV_SOAK_RUNS (default 30), TRV_SOAK_SEED (default 20261210), TRV_JOBS (default 2).
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="${TRV_ROBUSTNESS_DIR:-$here/build-robustness}"
fuzz_seconds="${TRV_FUZZ_SECONDS:-60}"
soak_runs="${TRV_SOAK_RUNS:-30}"
soak_seed="${TRV_SOAK_SEED:-20261210}"
jobs="${TRV_JOBS:-2}"
fuzzers=(fuzz_hexline fuzz_hexread fuzz_hexsort fuzz_trvinterface fuzz_trvupdater)

"$here/tools/install-packages.sh" clang libclang-rt-14-dev llvm || exit 1

mkdir -p "$work"
# Leaks that are not ours: the offscreen platform's screen, and what hidapi and
# umockdev's preload keep until the process ends.
suppressions="$work/lsan-suppressions.txt"
cat > "$suppressions" <<'SUPPRESSIONS'
leak:libqoffscreen.so
leak:QScreen::QScreen
leak:libhidapi-hidraw.so
leak:libumockdev
SUPPRESSIONS
export ASAN_OPTIONS="verify_asan_link_order=0:detect_stack_use_after_return=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
export CC=clang CXX=clang++

passed=0
failed=0
failures=()
result() { # name, exit code
    if [ "$2" -eq 0 ]; then
        passed=$((passed + 1))
        echo "== $1: passed"
    else
        failed=$((failed + 1))
        failures+=("$1")
        echo "== $1: FAILED"
    fi
}
started=$SECONDS

echo "== 1. the test suite with AddressSanitizer and UndefinedBehaviorSanitizer"
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
asan="$work/asan"
if cmake -S "$here" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    > "$work/asan-configure.log" 2>&1 &&
    cmake --build "$asan" -j "$jobs" > "$work/asan-build.log" 2>&1; then
    # The X platform that the AT-SPI test's window runs on loads the system's
    # libxkbcommon-x11, which hands strndup a string shorter than its bound:
    # that test runs without the strndup check (nothing of ours calls it).
    status=0
    ctest --test-dir "$asan" --output-on-failure --timeout 600 -E '^tst_atspi$' || status=1
    ASAN_OPTIONS="$ASAN_OPTIONS:intercept_strndup=0" \
        ctest --test-dir "$asan" --output-on-failure --timeout 600 -R '^tst_atspi$' || status=1
    result "sanitizer test suite" $status
else
    tail -n 40 "$work/asan-configure.log" "$work/asan-build.log"
    result "sanitizer build" 1
fi
echo "   ($((SECONDS - started)) s so far)"

echo "== 2. fuzz targets, $fuzz_seconds s each"
fuzz="$work/fuzz"
if cmake -S "$here" -B "$fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRV_BUILD_FUZZERS=ON \
    -DTRV_BUILD_TESTS=OFF -DTRV_BUILD_BENCH=OFF > "$work/fuzz-configure.log" 2>&1 &&
    cmake --build "$fuzz" -j "$jobs" --target "${fuzzers[@]}" > "$work/fuzz-build.log" 2>&1; then
    for target in "${fuzzers[@]}"; do
        corpus="$work/corpus/${target#fuzz_}"
        rm -rf "$corpus" && mkdir -p "$corpus"
        cp "$here/tests/fuzz/corpus/${target#fuzz_}/"* "$corpus/"
        (cd "$work" && "$fuzz/tests/fuzz/$target" -max_total_time="$fuzz_seconds" -timeout=10 \
            -rss_limit_mb=2048 -print_final_stats=1 "$corpus" > "$work/$target.log" 2>&1)
        code=$?
        grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec' "$work/$target.log"
        if [ $code -ne 0 ]; then
            grep -E -A30 'ERROR|check failed' "$work/$target.log" | head -n 60
        fi
        result "$target" $code
    done
else
    tail -n 40 "$work/fuzz-configure.log" "$work/fuzz-build.log"
    result "fuzz build" 1
fi
echo "   ($((SECONDS - started)) s so far)"

echo "== 3. fault soak, $soak_runs runs, seed $soak_seed"
if [ -x "$asan/bench/bench_soak" ]; then
    "$asan/bench/bench_soak" --runs "$soak_runs" --seed "$soak_seed"
    result "fault soak" $?
else
    result "fault soak (not built)" 1
fi

echo "== 4. the unit tests without the hot-plug watch"
# With the system's compiler, as a build on another system would be made.
nowatch="$work/nowatch"
# The unit test programs (by their label where the suite has labels), and the
# one that only this build has.
unit_fallback="tst_hexline tst_hexreader tst_instancelock tst_usbhid tst_trvinterface \
tst_instrument tst_trvupdater tst_trvupdatesequence"
if CC=cc CXX=c++ cmake -S "$here" -B "$nowatch" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTRV_HOTPLUG_WATCH=OFF -DTRV_BUILD_BENCH=OFF > "$work/nowatch-configure.log" 2>&1; then
    if ctest --test-dir "$nowatch" --print-labels | grep -qx ' *unit'; then
        unit=$(ctest --test-dir "$nowatch" -N -L unit | sed -n 's/^ *Test *#[0-9]*: *//p')
    else
        unit=$unit_fallback
    fi
    # Only the test programs are targets: not their folder fixtures
    # (NAME-folders) nor the metainfo checks.
    unit=$(printf '%s\n' $unit tst_nowatch | grep '^tst_' | grep -v -- '-folders$' | sort -u)
    # shellcheck disable=SC2086 # one target per word
    if cmake --build "$nowatch" -j "$jobs" --target $unit > "$work/nowatch-build.log" 2>&1; then
        ctest --test-dir "$nowatch" --output-on-failure --timeout 600 \
            -R "^($(printf '%s' "$unit" | paste -sd '|'))\$"
        result "unit tests without the hot-plug watch" $?
    else
        tail -n 40 "$work/nowatch-build.log"
        result "build without the hot-plug watch" 1
    fi
else
    tail -n 40 "$work/nowatch-configure.log"
    result "configure without the hot-plug watch" 1
fi

echo "   ($((SECONDS - started)) s in all)"
if ((failed)); then
    echo "failed: ${failures[*]}"
fi
echo "robustness: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
