#!/usr/bin/env bash
# Vigilumen developer commands. Usage: ./dev.sh deps|build|test|demo|dist
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)

PRESETS=(native win32 win64)
# Debian packages the build and the tests need (wine32 comes from the i386 architecture).
PACKAGES=(cmake ninja-build g++ libgtest-dev mingw-w64 wine wine64 wine32:i386
          xvfb x11-apps imagemagick xdotool libxfixes3 python3)

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
  local t log passed failed total line skipped
  t=$(now)
  log="build/$preset/ctest.log"
  printf '==> testing %s\n' "$preset"
  set +e
  ctest --preset "$preset" "$@" 2>&1 | tee "$log" | grep -E '(\*\*\*[A-Z]|FAILED:|tests passed)' |
    grep -v '\*\*\*Skipped' | sed 's/^/    /'
  set -e
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

cmd_test() {
  local t; t=$(now)
  cmd_deps
  cmd_build
  run_ctest native
  run_ctest win32
  run_ctest win64
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
  demo) cmd_demo ;;
  dist) cmd_deps; cmd_dist ;;
  *) echo "usage: $0 deps|build [preset...]|test|demo|dist" >&2; exit 2 ;;
esac
