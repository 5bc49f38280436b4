# What the main job (scripts/run.sh) expects of the default notebook, and how it tells. Source
# it after scripts/lib/notebook.sh, from the repository's root.

# Each module's notice, by the prefix of its page file in the user's temporary folder.
declare -A TW_NOTICE=([WBT]=battery [WHD]="hard disk" [WKP]=web [WRG]=registration [WXP]=warranty
  [WHM]=HDMI [WAM]=anomaly)
# The notices "Check now" raises, in their order in the mini popup's slots.
TW_CHECKED_NOTICES=(WHD WKP WRG WBT WXP)

# tw_alive PID: the process runs (a zombie has ended).
tw_alive() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

TW_CRASH_LINE='Unhandled (exception|page fault|stack overflow|illegal instruction)|has encountered a serious problem'

# tw_host_runs PID LOG: process PID runs and no program has told of a crash in its error output
# LOG (Wine's debugger keeps a crashed program alive).
tw_host_runs() {
  tw_alive "$1" && ! grep -q -a -E "$TW_CRASH_LINE" "$2" 2>/dev/null
}

# tw_page TEMP PREFIX: the module's page file, when it has written one (not empty).
tw_page() {
  local page
  page=$(ls "$1/$2"*.tmp 2>/dev/null | head -n 1 || true)
  [ -n "$page" ] && [ -s "$page" ] && echo "$page"
}

# tw_await_pages TEMP PID LOG SECONDS PREFIX...: waits until each module has written its page,
# at most SECONDS (0: looks once) and only while the host PID runs (tw_host_runs); prints the
# prefixes still without one (nothing: all came).
tw_await_pages() {
  local temp=$1 pid=$2 log=$3 rounds=$(( $4 * 10 + 1 )) prefix missing
  shift 4
  for _ in $(seq 1 "$rounds"); do
    missing=()
    for prefix in "$@"; do [ -n "$(tw_page "$temp" "$prefix")" ] || missing+=("$prefix"); done
    [ ${#missing[@]} -eq 0 ] && return 0
    tw_host_runs "$pid" "$log" || break
    sleep 0.1
  done
  echo "${missing[*]}"
}

# tw_notice_names PREFIX...: "web notice, HDMI notice".
tw_notice_names() {
  local prefix names=()
  for prefix in "$@"; do names+=("${TW_NOTICE[$prefix]:-$prefix} notice"); done
  local IFS=,
  echo "${names[*]}" | sed 's/,/, /g'
}

# tw_crash_report LOG: what tells of a Windows program's crash: Wine's message in the programs'
# error output LOG, or its crash dialog on the display. Prints nothing when there is none.
tw_crash_report() {
  grep -a -m 3 -E "$TW_CRASH_LINE" "$1" 2>/dev/null || true
  xdotool search --name '^Program Error$' >/dev/null 2>&1 && echo "Wine's crash dialog \"Program Error\" is on the screen"
  return 0
}

# tw_page_heading PAGE: the page's heading as a user reads it.
tw_page_heading() {
  local page=$1 text heading image
  # Pages declare their own encoding (the battery pages are Shift_JIS); headings are the
  # first <span> or <h3>.
  if grep -qi 'charset=Shift_JIS' "$page"; then text=$(iconv -f SHIFT_JIS -t UTF-8 "$page" 2>/dev/null || true)
  else text=$(cat "$page"); fi
  heading=$(printf '%s' "$text" | grep -o -E '<(span|h3)>[^<]*</(span|h3)>' | head -n 1 | sed 's/<[^>]*>//g' || true)
  # A web notice page: its notices' titles follow their links.
  [ -z "$heading" ] && heading=$(printf '%s' "$text" | grep -A1 -E '^<a href=.* target="_blank"' | grep -v -E '^(<a |--)' | paste -sd '|' || true)
  # Pages whose sections' headings span lines (the hard disk's): the page's own heading.
  [ -n "$heading" ] || heading=$(printf '%s' "$text" | grep -o -E '<h2>.*</h2>' | head -n 1 | sed 's/<[^>]*>//g' || true)
  # The warranty offer is an image: its title, and the image it shows.
  [ -n "$heading" ] || heading=$(printf '%s' "$text" | grep -o -E '<title>[^<]*</title>' | head -n 1 | sed 's/<[^>]*>//g' || true)
  image=$(printf '%s' "$text" | grep -o -E 'EWI[0-9A-F]{4}\.png' | head -n 1 || true)
  [ -n "$image" ] && heading="$heading (image $image, $(identify -format '%wx%h' "$(dirname "$page")/$image" 2>/dev/null || echo missing))"
  echo "${heading:-(no heading)}"
}

# tw_qr_check BITMAP MODEL SERIAL: the registration page's QR code must read the warranty form's
# address with the query the module enciphers from "MODEL&SERIAL" (modules/registration/
# reg_query.h) under the default password. Prints what it reads; fails when it is not so.
tw_qr_check() {
  local bitmap=$1 model=$2 serial=$3 text query plain password
  local form='https://support.velmorant.example/tgsi/m/new.do/?q='
  text=$(zbarimg --raw -q "$bitmap" 2>/dev/null | head -n 1 || true)
  echo "QR code: ${text:-(unreadable)}"
  query=${text#"$form"}
  [ "$query" != "$text" ] && [[ $query =~ ^[0-9A-Fa-f]{32,}$ ]] || { echo "  not the warranty form's address"; return 1; }
  password=$(mktemp)
  # The default password: the narrow string literals of the operator settings, joined.
  python3 -c 'import re, sys; src = re.sub(r"(?m)^#.*$", "", open(sys.argv[1]).read())
literals = re.finditer(r"(\w*)\x22((?:[^\x22\\]|\\.)*)\x22", src)
sys.stdout.write("".join(m.group(2) for m in literals if not m.group(1)).encode().decode("unicode_escape"))' \
    modules/registration/reg_settings.cpp > "$password"
  plain=$(bash tests/registration/decrypt_query.sh "$password" "$query" 2>/dev/null || true)
  rm -f "$password"
  echo "  query: $plain"
  [ "$plain" = "$model&$serial" ] || { echo "  the query is not \"$model&$serial\""; return 1; }
}
