#!/usr/bin/env bash
# Vigilumen developer commands. Usage: ./dev.sh deps|build|test|fuzz|demo|dist
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)

PRESETS=(native win32 win64)
# Debian packages the build and the tests need (wine32 comes from the i386 architecture).
PACKAGES=(cmake ninja-build g++ libgtest-dev mingw-w64 wine wine64 wine32:i386
          xvfb x11-apps imagemagick xdotool libxfixes3 python3
          clang-14 libclang-rt-14-dev llvm-14 nsis dovecot-imapd openssl
          libgnutls30 libgnutls30:i386)  # Wine's Schannel is GnuTLS, for each architecture

elapsed() { python3 -c "import sys,time; print(f'{time.time()-float(sys.argv[1]):.1f}')" "$1" 2>/dev/null || echo "?"; }
now() { date +%s.%N; }

# A package counts when it is installed for the architecture asked for (the
# native one unless the name says otherwise, or "all"). dpkg-query prints one
# line per installed architecture, so multi-arch libraries show up twice.
installed() {
  local name=${1%%:*} arch=${1#*:}
  [ "$arch" != "$1" ] || arch=$(dpkg --print-architecture)
  dpkg-query -W -f='${Architecture} ${Status}\n' "$name" 2>/dev/null |
    grep -qE "^($arch|all) install ok installed\$"
}

missing_packages() {
  local p
  for p in "${PACKAGES[@]}"; do
    installed "$p" || printf '%s\n' "$p"
  done
}

cmd_deps() {
  local t; t=$(now)
  printf '==> checking Debian packages\n'
  local missing; missing=$(missing_packages)
  if [ -z "$missing" ]; then
    printf '    all present (%s s)\n' "$(elapsed "$t")"
    return 0
  fi
  local sudo=""
  if [ "$(id -u)" != 0 ]; then
    command -v sudo >/dev/null || { echo "deps: missing packages and not root: $missing" >&2; exit 1; }
    sudo=sudo
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    printf '    adding the i386 architecture (for wine32)\n'
    $sudo dpkg --add-architecture i386
  fi
  printf '    installing: %s\n' "$(echo "$missing" | tr '\n' ' ')"
  $sudo apt-get update -qq >/dev/null
  # Recommended packages too: Wine's X11 driver and fonts come with them.
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
  missing=$(missing_packages)
  [ -z "$missing" ] || { echo "deps: still missing: $missing" >&2; exit 1; }
  printf '    installed (%s s)\n' "$(elapsed "$t")"
}

cmd_build() {
  local preset t
  for preset in "${@:-${PRESETS[@]}}"; do
    t=$(now)
    printf '==> building %s\n' "$preset"
    mkdir -p build
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"build/$preset.build.log" 2>&1; then
      grep -v -E '^\[[0-9]+/[0-9]+\] ' "build/$preset.build.log" | tail -n 60 >&2
      echo "build of $preset failed (full log: build/$preset.build.log)" >&2
      exit 1
    fi
    printf '    %s built (%s s)\n' "$preset" "$(elapsed "$t")"
  done
}

# Runs one preset's ctest and adds its counts to the totals.
TOTAL_PASSED=0
TOTAL_FAILED=0
TOTAL_SKIPPED=0
run_ctest() {
  local preset=$1; shift
  local t; t=$(now)
  printf '==> testing %s\n' "$preset"
  set +e
  ctest --preset "$preset" "$@" 2>&1 | tee "build/$preset/ctest.log" | grep -E '(\*\*\*[A-Z]|FAILED:|tests passed)' |
    grep -v '\*\*\*Skipped' | sed 's/^/    /'
  set -e
  count_ctest "$preset" "$t"
}

# A preset's ctest in the background (its output only in its log), and its
# end: what it printed that matters, and its counts added to the totals.
declare -A CTEST_PID CTEST_START
start_ctest() {
  local preset=$1; shift
  printf '==> testing %s in the background (log: build/%s/ctest.log)\n' "$preset" "$preset"
  CTEST_START[$preset]=$(now)
  ctest --preset "$preset" "$@" >"build/$preset/ctest.log" 2>&1 &
  CTEST_PID[$preset]=$!
}
finish_ctest() {
  local preset=$1
  wait "${CTEST_PID[$preset]}" || true
  unset "CTEST_PID[$preset]"
  printf '==> %s has ended\n' "$preset"
  grep -E '(\*\*\*[A-Z]|FAILED:|tests passed)' "build/$preset/ctest.log" | grep -v '\*\*\*Skipped' | sed 's/^/    /' || true
  count_ctest "$preset" "${CTEST_START[$preset]}"
}

count_ctest() {
  local preset=$1 t=$2
  local log="build/$preset/ctest.log" passed failed total line skipped
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -z "$line" ]; then
    printf '    ctest for %s gave no result (see %s)\n' "$preset" "$log"
    TOTAL_FAILED=$((TOTAL_FAILED + 1))
    return
  fi
  failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
  total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
  # ctest counts a skipped test as passed: they are told apart here.
  skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .*\(Skipped\)$' "$log" || true)
  passed=$((total - failed - skipped))
  TOTAL_PASSED=$((TOTAL_PASSED + passed))
  TOTAL_FAILED=$((TOTAL_FAILED + failed))
  TOTAL_SKIPPED=$((TOTAL_SKIPPED + skipped))
  printf '    %s: %d passed, %d failed, %d skipped (%s s)\n' "$preset" "$passed" "$failed" "$skipped" "$(elapsed "$t")"
  if [ "$skipped" != 0 ]; then
    python3 -c 'import sys; sys.path.insert(0, "tests/e2e"); import harness
print("    skipped because", harness.cannot_run(sys.argv[1]) or "of what the ctest log says")' "$preset"
  fi
}

# On the way out before a background suite has ended (a build failed): the
# suite and its Wine sessions end too.
stop_background_tests() {
  local preset
  for preset in "${!CTEST_PID[@]}"; do
    kill "${CTEST_PID[$preset]}" 2>/dev/null || continue
    python3 tests/e2e/run_scenario.py --build-dir "build/$preset" cleanup >/dev/null 2>&1 || true
  done
}

# Whether this machine runs the preset's programs under Wine.
wine_runs() {
  python3 -c 'import sys; sys.path.insert(0, "tests/e2e"); import harness; sys.exit(harness.cannot_run(sys.argv[1]) is not None)' "$1"
}

# The sanitizers stop at the first error of any kind, undefined behaviour included.
SANITIZER_ENV=(ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
               UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
               ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14)
FUZZ_DIR=build/fuzz/tests/fuzz

# Runs one fuzz target for the given seconds on its seeds (tests/fuzz/corpus,
# only read) and on what earlier runs added (build/fuzz/corpus). Prints one
# line; fails on a crash, leak, hang or undefined behaviour, whose input is
# kept in build/fuzz/findings/<target>/.
run_fuzz_target() {
  local name=$1 seconds=$2
  local work=build/fuzz/corpus/$name findings=build/fuzz/findings/$name log=build/fuzz/logs/$name.log
  local rc execs took t
  mkdir -p "$work" "$findings" build/fuzz/logs
  t=$(now)
  # One process, no forks or jobs: the tests of the Wine suite share the cores.
  set +e
  env "${SANITIZER_ENV[@]}" "$FUZZ_DIR/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/" "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1
  rc=$?
  set -e
  took=$(elapsed "$t")
  execs=$(grep -aoE 'stat::number_of_executed_units: [0-9]+' "$log" | tail -n 1 | grep -oE '[0-9]+$' || echo "?")
  if [ "$rc" = 0 ]; then
    printf '    fuzz_%s: %s runs in %s s, no finding\n' "$name" "$execs" "$took"
    return 0
  fi
  printf '    fuzz_%s FAILED: exit %s after %s runs in %s s; input in %s, log %s\n' \
    "$name" "$rc" "$execs" "$took" "$findings/" "$log"
  grep -a -m 3 -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|.*expectation failed)' "$log" | sed 's/^/        /' || true
  return 1
}

# Every fuzz target, `at_once` of them side by side (1: in turn); each counts
# as one test. Each prints its line when it ends.
run_fuzz() {
  local seconds=$1 at_once=${2:-1} name pid
  printf '==> fuzzing (%s s per target, %s at a time)\n' "$seconds" "$at_once"
  local results running=()
  results=$(mktemp -d)
  for name in $(cat "$FUZZ_DIR/targets.txt"); do
    while [ "${#running[@]}" -ge "$at_once" ]; do
      wait "${running[0]}" || true
      running=("${running[@]:1}")
    done
    ( if run_fuzz_target "$name" "$seconds"; then touch "$results/$name.ok"; else touch "$results/$name.failed"; fi ) &
    running+=("$!")
  done
  for pid in "${running[@]}"; do wait "$pid" || true; done
  TOTAL_PASSED=$((TOTAL_PASSED + $(find "$results" -name '*.ok' | wc -l)))
  TOTAL_FAILED=$((TOTAL_FAILED + $(find "$results" -name '*.failed' | wc -l)))
  rm -rf "$results"
}

cmd_fuzz() {
  local t; t=$(now)
  cmd_deps
  cmd_build fuzz
  run_fuzz "${1:-60}"
  printf '==> fuzzing took %s s\n' "$(elapsed "$t")"
  printf '%d passed, %d failed\n' "$TOTAL_PASSED" "$TOTAL_FAILED"
  [ "$TOTAL_FAILED" = 0 ]
}

cmd_test() {
  local t; t=$(now)
  cmd_deps
  # The Wine suites first: they wait on windows and processes most of the
  # time. Each runs in lanes of its own (an X display and a prefix each, see
  # tests/e2e/CMakeLists.txt): two lanes for one suite, one each when both
  # run, so that two scenarios at most share the two cores.
  local suites=() preset
  for preset in win64 win32; do
    if wine_runs "$preset"; then suites+=("$preset"); fi
  done
  local jobs=$((${#suites[@]} > 1 ? 1 : 2))
  cmd_build "${suites[@]}"
  trap stop_background_tests EXIT
  for preset in "${suites[@]}"; do start_ctest "$preset" -j "$jobs"; done
  # Everything else beside them, at the lowest priority, so that a compiler
  # or a fuzzer never makes a scenario wait.
  renice -n 19 -p $$ >/dev/null
  cmd_build native win32 win64 asan fuzz
  run_ctest native
  # The unit tests once more under ASan and UBSan (the preset sets the same
  # options as SANITIZER_ENV), then a short run of every fuzz target.
  run_ctest asan
  run_fuzz 15 3
  for preset in win32 win64; do
    if [[ " ${suites[*]} " == *" $preset "* ]]; then finish_ctest "$preset"; else run_ctest "$preset"; fi
  done
  printf '==> all tests took %s s\n' "$(elapsed "$t")"
  printf '%d passed, %d failed, %d skipped\n' "$TOTAL_PASSED" "$TOTAL_FAILED" "$TOTAL_SKIPPED"
  [ "$TOTAL_FAILED" = 0 ]
}

cmd_demo() {
  cmd_deps
  # The 32-bit build is the target; a kernel without 32-bit support cannot
  # run it under Wine, and then the x64 build shows the same.
  local preset=win32
  if ! python3 -c 'import sys; sys.path.insert(0, "tests/e2e"); import harness; sys.exit(not harness.runs_32bit_programs())'; then
    printf '    this kernel cannot run 32-bit programs: the demo runs the x64 build\n'
    preset=win64
  fi
  cmd_build "$preset"
  python3 tools/demo.py --build-dir "build/$preset" --out build/demo
}

cmd_dist() {
  cmd_build win32 win64
  python3 tools/dist.py --out dist
}

case "${1:-}" in
  deps) cmd_deps ;;
  build) shift; cmd_deps; cmd_build "$@" ;;
  test) cmd_test ;;
  fuzz) shift; cmd_fuzz "$@" ;;
  demo) cmd_demo ;;
  dist) cmd_deps; cmd_dist ;;
  *) echo "usage: $0 deps|build [preset...]|test|fuzz [seconds]|demo|dist" >&2; exit 2 ;;
esac
