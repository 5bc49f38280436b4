#!/usr/bin/env bash
# Runs every test: native (AddressSanitizer + UBSan), win32 and win64 under Wine,
# a short run of each libFuzzer target, and ends with the counts.
#   scripts/test.sh            everything
#   FUZZ_SECONDS=0 scripts/test.sh   skip the fuzz runs
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh || exit 1
source scripts/lib/wine-env.sh

# Compiler cache for the five builds: a second run, or a fresh clone on the same machine, compiles
# only what changed. Paths below the clone are taken relative, so clones share the cache.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
fi

fuzz_seconds=${FUZZ_SECONDS:-10}
logs=$root/build/logs
mkdir -p "$logs"
failed=0

build() {
  echo "== build $1"
  if ! { cmake --preset "$1" && cmake --build --preset "$1"; } >"$logs/build-$1.log" 2>&1; then
    tail -n 60 "$logs/build-$1.log"
    echo "build $1 failed (log: build/logs/build-$1.log)"
    exit 1
  fi
}

# Extra ctest options may follow the preset.
run_ctest() {
  local preset=$1
  shift
  echo "== test $preset"
  rm -f "build/$preset/test-results/"*.xml
  ctest --preset "$preset" --timeout 600 "$@" 2>&1 | tee "$logs/ctest-$preset.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
  return 0
}

# The README's table of operator settings is the one the installers' list gives.
echo "== documentation"
python3 scripts/settings_table.py --check README.md || failed=1

for preset in native-asan win32 win64; do build "$preset"; done
[ "$fuzz_seconds" -gt 0 ] && build fuzz

# Every delivered program must start on the oldest Windows of its architecture: no import
# that XP or XP x64 lacks, no library that loads at first use only.
echo "== imports"
python3 scripts/import_check.py --xml build/import-check/test-results/import_check.xml \
  build/win32/out/release build/win64/out/release || failed=1

run_ctest native-asan

tw_wine_up
trap tw_wine_down EXIT
if [ "$TW_WINE32" = 1 ]; then
  run_ctest win32
  summary_builds="build/native-asan build/win32 build/win64"
else
  echo "== test win32: not run, this machine cannot run 32-bit programs (built only)" | tee "$logs/ctest-win32.log"
  summary_builds="build/native-asan build/win64"
fi
run_ctest win64

# The installers, signed, and each installed and removed in a prefix of its own.
echo "== package"
if bash scripts/package.sh >"$logs/package.log" 2>&1; then
  bash tests/package/install_test.sh x64 || failed=1
  if [ "$TW_WINE32" = 1 ]; then bash tests/package/install_test.sh x86 || failed=1
  else echo "package x86: built and signed; install not run (no 32-bit programs on this machine)"; fi
else
  tail -n 30 "$logs/package.log"
  echo "package: building the installers failed (log: build/logs/package.log)"
  failed=1
fi

# Every benchmark once, briefly, so that none stops working unnoticed; figures are not judged.
echo "== benchmark smoke runs"
bash scripts/lib/bench_smoke.sh build/native-asan ${summary_builds#build/native-asan } || failed=1

if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzz ($fuzz_seconds s each)"
  for target in $(find build/fuzz/tests -type f -executable -name '*fuzz*' | sort); do
    corpus=$(mktemp -d)
    if "$target" -max_total_time="$fuzz_seconds" -max_len=4096 -timeout=10 "$corpus" >"$logs/$(basename "$target").log" 2>&1; then
      echo "$(basename "$target"): $(grep -o 'Done [0-9]* runs' "$logs/$(basename "$target").log")"
    else
      echo "$(basename "$target"): FAILED (log: build/logs/$(basename "$target").log)"
      failed=1
    fi
    rm -rf "$corpus"
  done
fi

[ "$TW_WINE32" = 1 ] || echo "win32:       not run (no 32-bit programs on this machine; built only)"
bash scripts/lib/summarize.sh $summary_builds build/import-check || failed=1
exit $failed
