# Sourced by the screenshot scripts: pictures of single windows on the prefix's X display
# (scripts/lib/wine-env.sh: tw_wine_up). Needs xdotool, xwd and ImageMagick.

# Wine draws the captions itself, so that they show without a window manager.
tw_shots_decorate() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
}

# The id of a visible window whose name matches the extended regular expression NAME; waits
# up to 10 s, and prints nothing when none comes. The names are read as the window's UTF-8
# name (_NET_WM_NAME), which holds any language; WM_NAME may not.
tw_shot_wait_window() {
  local w name
  for _ in $(seq 100); do
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
      name=$(xdotool getwindowname "$w" 2>/dev/null) || continue
      if [[ $name =~ $1 ]]; then echo "$w"; return; fi
    done
    sleep 0.1
  done
}

# Saves window ID as the PNG file PATH and prints the path.
tw_shot_window() {
  xwd -id "$1" -silent | convert xwd:- "$2"
  echo "$2"
}
