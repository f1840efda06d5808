#!/usr/bin/env bash
# Tablewright set-up, build, demo and tests on Debian 12.
#   ./build.sh demo   install what is missing, build, make the demo database, run the demo projects
#   ./build.sh test   install what is missing, build, run every test (normal build and sanitizer build)
#   ./build.sh build [debug|release|asan|fuzz]   just build
#   ./build.sh fuzz [SECONDS]   build the fuzz harnesses (clang, libFuzzer) and run each for SECONDS (default 60)
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=${JOBS:-2}

PACKAGES=(
  build-essential cmake ccache pkg-config git
  libtomlplusplus-dev libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3 libpq-dev postgresql postgresql-client libmariadb-dev mariadb-server mariadb-client
  unixodbc unixodbc-dev odbc-postgresql libsqliteodbc
  libcairo2-dev libpango1.0-dev fonts-dejavu-core fonts-droid-fallback fonts-noto-cjk fonts-noto-color-emoji fonts-symbola
  fp-utils libchm-bin chromium
  poppler-utils libreoffice-writer-nogui libreoffice-calc-nogui python3 python3-html5lib libxml2-utils time
  qt6-base-dev qt6-base-dev-tools libqscintilla2-qt6-dev qt6-webengine-dev xvfb xauth libgl-dev
  librsvg2-bin desktop-file-utils appstream shared-mime-info man-db dpkg-dev file
  libisal-dev python3-openpyxl
  clang-14 libfuzzer-14-dev libxml2-dev
)

install_deps() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

build() {
  local preset=${1:-debug}
  cmake --preset "$preset" >/dev/null
  local log
  log=$(mktemp)
  if ! cmake --build --preset "$preset" -j"$JOBS" >"$log" 2>&1; then
    grep -vE '^\[ *[0-9]+%\]' "$log" | tail -n 60
    rm -f "$log"
    echo "Build ($preset) failed." >&2
    return 1
  fi
  rm -f "$log"
}

build_dir() {
  case "$1" in debug) echo build ;; release) echo build-release ;; asan) echo build-asan ;; fuzz) echo build-fuzz ;; esac
}

demo() {
  install_deps
  build release
  local bin=$ROOT/build-release/tablewright
  rm -f examples/demo.sqlite
  sqlite3 examples/demo.sqlite < examples/demo.sql
  mkdir -p examples/out
  local status=0
  for project in examples/*.twp; do
    "$bin" -c "$project" || status=1
  done
  echo
  echo "Reports written:"
  ls -1 "$ROOT"/examples/out/* 2>/dev/null | sed 's/^/  /'
  echo "Run one project again with:  build-release/tablewright -c examples/demo_html.twp"
  return $status
}

run_tests() {
  local preset=$1 dir
  dir=$(build_dir "$preset")
  build "$preset"
  [ -f examples/demo.sqlite ] || sqlite3 examples/demo.sqlite < examples/demo.sql
  (cd "$dir" && ctest --output-on-failure -j"$JOBS" --timeout 600)
}

# Runs every fuzz harness of tests/fuzz for the given seconds, one after the other. Each keeps the corpus it
# grows in build-fuzz/corpus/<harness> between runs (seeded from tests/fuzz/corpus and the saved regression
# inputs); a finding is written to build-fuzz/findings/<harness>/ and fails the run. Move a finding's input
# into tests/fuzz/regressions/<harness>/ with the fix, so that the normal tests replay it.
run_fuzzers() {
  local seconds=$1 status=0 dir=build-fuzz
  build fuzz
  mkdir -p "$dir/logs"
  local bin harness
  for bin in "$dir"/tests/fuzz/fuzz_*; do
    harness=${bin##*/fuzz_}
    mkdir -p "$dir/corpus/$harness" "$dir/findings/$harness"
    local log=$dir/logs/$harness.log
    if "$bin" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 \
        -dict=tests/fuzz/tablewright.dict -print_final_stats=1 -artifact_prefix="$dir/findings/$harness/" \
        "$dir/corpus/$harness" "tests/fuzz/corpus/$harness" "tests/fuzz/regressions/$harness" >"$log" 2>&1; then
      printf '%-14s %s\n' "$harness" "$(grep -E '^#[0-9]+ +DONE' "$log" | tail -n 1)"
    else
      printf '%-14s FAILED, see %s\n' "$harness" "$log"
      grep -E 'check failed|ERROR|SUMMARY' -A 2 "$log" | head -n 12
      status=1
    fi
  done
  return $status
}

fuzz() {
  install_deps
  run_fuzzers "${1:-60}"
}

tests() {
  install_deps
  local services=0
  if [ -x tests/services.sh ]; then
    tests/services.sh start
    services=1
    # shellcheck disable=SC1091
    source build-services/env.sh
  fi
  local status=0
  run_tests debug || status=1
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests asan || status=1
  # Every fuzz harness for a short while (the saved inputs already ran in the suites above).
  run_fuzzers "${FUZZ_SECONDS:-10}" || status=1
  [ $services -eq 1 ] && tests/services.sh stop
  if [ $status -eq 0 ]; then echo "All tests passed."; else echo "Some tests failed."; fi
  return $status
}

case "${1:-}" in
  demo) demo ;;
  test) tests ;;
  build) install_deps; build "${2:-debug}" ;;
  fuzz) fuzz "${2:-60}" ;;
  deps) install_deps ;;
  *) echo "usage: $0 demo | test | build [debug|release|asan|fuzz] | fuzz [SECONDS]" >&2; exit 2 ;;
esac
