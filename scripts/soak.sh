#!/usr/bin/env bash
# The soak run (not part of the test command): Wickpost with every module on the simulated
# notebook, on the fastest clock (50 ms a tick, 20 times real time), for SOAK_MINUTES of wall
# time, while the support server's stand-in answers and fails (every request not found) by turns
# of SOAK_TURN minutes. At each turn the user reads what is pending (tray_command read), gives
# "Check now", waits until the web module has asked the server again, and reads the new lines:
# a module with a line pending does not fetch again, so each turn runs the fetch path anew.
# Once a minute it samples the host's private commit, handle count and GDI objects
# (tray_command usage), prints the tables, and fails when any of them grows (the median of the
# last three samples against the median of the three after the warm-up, SOAK_WARMUP minutes,
# beyond 5 percent and a small floor), or when a turn saw no request from the web module.
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
# Direct connections: Wine's automatic proxy detection keeps about half a KiB of every
# WinHttpGetProxyForUrl call by itself (RepeatedChecksLeaveNothingBehind in
# tests/web/module/wkptrss_dll_test.cpp shows it), which would count against the host here.
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections' /v DefaultConnectionSettings \
  /t REG_BINARY /d "$(python3 sim/support-server/support_server.py proxy-setting)" /f >/dev/null 2>&1 ||
  { echo "FAIL: the proxy setting could not be written"; exit 1; }

wine "$out/Wickpost.exe" >/dev/null 2>&1 &
host=$!
wine "$out/tray_command.exe" running >/dev/null || { echo "FAIL: the host did not start"; exit 1; }

samples=$work/samples turns=$work/turns
: > "$samples"
: > "$turns"
requests_log=$TW_SUPPORT_STATE/requests.log
all_requests() { cat "$requests_log" 2>/dev/null | wc -l; }
web_requests() { cat "$requests_log" 2>/dev/null | grep -c '/wkpt\.xml ' || true; }
# Reads every pending line; fails the run when the host does not answer as a user expects.
read_all() {
  local lines
  lines=$(wine "$out/tray_command.exe" read 2>"$work/read.err" | tr -d '\r') || {
    echo "FAIL: reading the pending lines at minute $minute: $(tr -d '\r' < "$work/read.err")" >&2; exit 1; }
  echo "$lines"
}
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
    # Lines from the automatic checks since the last turn would hold their modules back.
    earlier=$(read_all)
    echo "$minute $state $(all_requests) $(web_requests)" >> "$turns"
    web_before=$(web_requests)
    wine "$out/tray_command.exe" checknow >/dev/null 2>&1 || true
    # The checks have run once the web module's request reached the server (answered or not).
    for _ in $(seq 120); do
      [ "$(web_requests)" -gt "$web_before" ] && break
      sleep 0.5
    done
    opened=$(read_all)
    echo "turn at minute $minute ($state): $((earlier + opened)) lines read, web module requests $web_before -> $(web_requests)"
  fi
  if ! usage=$(wine "$out/tray_command.exe" usage 2>/dev/null | tr -d '\r'); then
    echo "FAIL: the host is gone at minute $minute"
    exit 1
  fi
  requests=$(cat "$TW_SUPPORT_STATE/requests.log" 2>/dev/null | wc -l)
  echo "$minute $state $usage requests=$requests" >> "$samples"
  echo "minute $minute ($state): $usage, $requests requests so far"
done
echo "end $state $(all_requests) $(web_requests)" >> "$turns"
wine "$out/tray_command.exe" exit >/dev/null 2>&1 || true
wait "$host" 2>/dev/null || true

python3 - "$samples" "$warmup" "$turns" <<'EOF'
import statistics
import sys

path, warmup, turns_path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
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
# Each turn's requests, up to the next turn: the web module must have fetched in every one.
marks = [line.split() for line in open(turns_path)]
print("\n%6s %-10s %9s %12s" % ("turn", "server", "requests", "web module"))
idle = []
for (minute, state, total, web), (_, _, next_total, next_web) in zip(marks, marks[1:]):
    print("%6s %-10s %9d %12d" % (minute, state, int(next_total) - int(total), int(next_web) - int(web)))
    if int(next_web) <= int(web):
        idle.append(minute)
if idle:
    print("web module: no request in the turns at minute %s" % ", ".join(idle))
else:
    print("web module: requests in all %d turns" % (len(marks) - 1))
failed = [("grows: " + ", ".join(grew))] if grew else []
if idle:
    failed.append("the fetch path did not run in every turn")
print("soak: FAILED, %s" % "; ".join(failed) if failed else "soak: passed, nothing grows, every turn fetched")
sys.exit(1 if failed else 0)
EOF
