#!/usr/bin/env bash
# The soak run (not part of the test command): Wickpost with every module on the simulated
# notebook, on the fastest clock (50 ms a tick, 20 times real time), for SOAK_MINUTES of wall
# time, while the support server's stand-in answers and fails (every request not found) by turns
# of SOAK_TURN minutes, and "Check now" is given at each turn. Once a minute it samples the
# host's private commit, handle count and GDI objects (tray_command usage), prints the table,
# and fails when any of them grows: the median of the last three samples against the median
# of the three after the warm-up (SOAK_WARMUP minutes), beyond 5 percent and a small floor.
#   SOAK_MINUTES=25 scripts/soak.sh [win64|win32]
# The host runs from a copy of the sim set, so that builds meanwhile leave it alone.
# SOAK_SAMPLE_SECONDS (default 60) shortens the minute, to try the script itself.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-win64}
minutes=${SOAK_MINUTES:-25}
turn=${SOAK_TURN:-3}
warmup=${SOAK_WARMUP:-5}
period=${SOAK_SAMPLE_SECONDS:-60}
[ "$minutes" -ge $((warmup + 2)) ] || { echo "SOAK_MINUTES must be at least SOAK_WARMUP + 2 ($((warmup + 2)))" >&2; exit 64; }
source scripts/lib/wine-env.sh
source scripts/lib/notebook.sh

built=build/$preset/out/sim
echo "building the $preset sim set"
{ cmake --preset "$preset" && cmake --build --preset "$preset" --target Wickpost_sim wkpthdd_sim wkptrss_sim wkptreg \
    wkptbat_sim wkpthdmi_sim wkptanm_sim wkptxwpk_sim Diskwarn_sim tray_command sysglance_sim igfxsim vidassist; } >/dev/null
tw_wine_up
if [ "$preset" = win32 ] && [ "$TW_WINE32" != 1 ]; then
  echo "win32: not run, this machine cannot run 32-bit programs"
  tw_wine_down
  exit 0
fi

# The server's files: "soak" points at the default scenario while it answers and at an empty
# folder while it fails.
work=$(mktemp -d /tmp/tellwick-soak.XXXXXX)
mkdir -p "$work/root" "$work/down"
out=$work/sim
cp -r "$built" "$out"
answering() { ln -sfn "$PWD/sim/support-server/scenarios/default" "$work/root/soak"; }
failing() { ln -sfn "$work/down" "$work/root/soak"; }
answering
tw_support_up "$work/root" soak
trap 'tw_support_down; tw_wine_down; rm -rf "$work"' EXIT
cp sim/scenarios/default.ini "$work/scenario.ini"
export TELLWICK_SCENARIO="Z:$(echo "$work/scenario.ini" | tr / '\\')"
tw_notebook_settings 50
tw_notebook_devices "$out" "$PWD/sim/scenarios/default.ini"

wine "$out/Wickpost.exe" >/dev/null 2>&1 &
host=$!
wine "$out/tray_command.exe" running >/dev/null || { echo "FAIL: the host did not start"; exit 1; }

samples=$work/samples
: > "$samples"
start=$(date +%s)
for minute in $(seq 0 "$minutes"); do
  if [ "$minute" -gt 0 ]; then
    # The next sample a minute after the start of this run's minute N, whatever the sampling took.
    wait_until=$((start + minute * period))
    while [ "$(date +%s)" -lt "$wait_until" ]; do sleep 1; done
  fi
  state=answering
  if [ $(((minute / turn) % 2)) -eq 1 ]; then state=failing; fi
  if [ $((minute % turn)) -eq 0 ]; then
    "$state"
    wine "$out/tray_command.exe" checknow >/dev/null 2>&1 || true
  fi
  if ! usage=$(wine "$out/tray_command.exe" usage 2>/dev/null | tr -d '\r'); then
    echo "FAIL: the host is gone at minute $minute"
    exit 1
  fi
  requests=$(cat "$TW_SUPPORT_STATE/requests.log" 2>/dev/null | wc -l)
  echo "$minute $state $usage requests=$requests" >> "$samples"
  echo "minute $minute ($state): $usage, $requests requests so far"
done
wine "$out/tray_command.exe" exit >/dev/null 2>&1 || true
wait "$host" 2>/dev/null || true

python3 - "$samples" "$warmup" <<'EOF'
import statistics
import sys

path, warmup = sys.argv[1], int(sys.argv[2])
rows = []
for line in open(path):
    fields = line.split()
    values = dict(f.split("=", 1) for f in fields[2:])
    rows.append((int(fields[0]), fields[1], values))
# What each column is allowed to move by, over the 5 percent: allocator and cache noise.
floors = {"private_kib": 512, "handles": 8, "gdi": 8}
print("\n%6s %-10s %12s %8s %6s %9s" % ("minute", "server", "private KiB", "handles", "gdi", "requests"))
for minute, state, v in rows:
    print("%6d %-10s %12s %8s %6s %9s" % (minute, state, v["private_kib"], v["handles"], v["gdi"], v["requests"]))
after = [r for r in rows if r[0] >= warmup][:3]
last = rows[-3:]
grew = []
for name, floor in floors.items():
    if any(r[2][name] == "n/a" for r in after + last):
        print("%s: not judged, the system does not report it" % name)
        continue
    base = statistics.median(int(r[2][name]) for r in after)
    end = statistics.median(int(r[2][name]) for r in last)
    limit = base * 1.05 + floor
    verdict = "GROWS" if end > limit else "steady"
    print("%s: %d after warm-up (minutes %d-%d), %d at the end, limit %d: %s"
          % (name, base, after[0][0], after[-1][0], end, limit, verdict))
    if end > limit:
        grew.append(name)
print("soak: FAILED, grows: %s" % ", ".join(grew) if grew else "soak: passed, nothing grows")
sys.exit(1 if grew else 0)
EOF
