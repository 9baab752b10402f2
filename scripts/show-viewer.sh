#!/usr/bin/env bash
# Opens the viewer on one picture.
#
#   scripts/show-viewer.sh QelvaView.exe PICTURE [SHOTDIR]
#
# With a working X display ($DISPLAY) the window opens there and the command returns when it is
# closed. Without one, the viewer runs on a private virtual display: the window is shown at
# 100 % and, chosen through its View menu with real key presses, at 200 %; a screenshot of each
# is saved in SHOTDIR (default: the picture's folder) and the viewer is closed again.
set -euo pipefail

exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
picture=$2
shots=${3:-$(dirname "$picture")}
mkdir -p "$shots"
shots=$(cd "$shots" && pwd)
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# shellcheck source=wine-env.sh
source "$scripts/wine-env.sh"
cd "$(dirname "$picture")"
name=$(basename "$picture")

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  bash "$scripts/wine-run.sh" --prepare "$(dirname "$exe")/wineprefix"
  export WINEPREFIX=$(dirname "$exe")/wineprefix WINEDEBUG=-all LANG=ja_JP.UTF-8
  echo "viewer: showing $name on $DISPLAY; close the window to go on"
  /usr/lib/wine/wine64 "$exe" "$name"
  exit 0
fi

qelva_wine_up "$(dirname "$exe")/wineprefix"
trap qelva_wine_down EXIT
# A Wine desktop draws the window's frame and caption, which a bare X server would not.
"$WINE" explorer /desktop=qelva-demo,1024x768 "$exe" "$name" &
viewer=$!

# Waits until a window whose title starts with the text appears; prints its X id.
wait_window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --name "^$1" 2>/dev/null | head -1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.2
  done
  echo "viewer: no window titled '$1' appeared" >&2
  return 1
}

# The desktop with the window at its top-left corner, cut to the window.
shoot() {
  import -display "$DISPLAY" -window "$(xdotool search --name '^qelva-demo' | head -1)" "$1.full.png"
  convert "$1.full.png" -crop "$(xdotool getwindowgeometry --shell "$2" | awk -F= '
    /^X=/ {x=$2} /^Y=/ {y=$2} /^WIDTH=/ {w=$2} /^HEIGHT=/ {h=$2}
    END {printf "%dx%d+0+0", x + w + 4, y + h + 4}')" +repage "$1"
  rm -f "$1.full.png"
}

window=$(wait_window "QelvaView $name")
sleep 1
shoot "$shots/viewer-100.png" "$window"
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null || true
xdotool key alt+v
sleep 0.5
xdotool key Down Return
sleep 1.5
window=$(wait_window "QelvaView $name")
shoot "$shots/viewer-200.png" "$window"
xdotool key Escape
for _ in $(seq 50); do kill -0 "$viewer" 2>/dev/null || break; sleep 0.1; done
echo "viewer: screenshots of $name at 100 % and 200 %:"
echo "  $shots/viewer-100.png"
echo "  $shots/viewer-200.png"
