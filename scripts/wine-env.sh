# Wine and a virtual X display for running the Windows programs with windows (source this file).
#
#   source scripts/wine-env.sh
#   qelva_wine_up build/win64/wineprefix     # prefix (created once), private Xvfb, DISPLAY, WINE
#   "$WINE" explorer /desktop=qelva,1024x768 build/win64/QelvaView.exe &
#   import -display "$DISPLAY" -window root shot.png
#   qelva_wine_down                          # ends this prefix's wineserver and the Xvfb
#
# Console programs need none of this: scripts/wine-run.sh runs them.

qelva_wine_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

qelva_wine_up() {  # [PREFIX]
  local prefix=${1:-${QELVA_WINEPREFIX:-$qelva_wine_scripts/../build/win64/wineprefix}}
  bash "$qelva_wine_scripts/wine-run.sh" --prepare "$prefix" || return 1
  export WINEPREFIX
  WINEPREFIX=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
  export WINEARCH=win64 WINEDEBUG=${QELVA_WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
  export LANG=${QELVA_WINE_LANG:-ja_JP.UTF-8}
  export WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver
  unset LC_ALL
  # Xvfb takes the first free display number itself and says which (-displayfd): runs started
  # at the same moment never share a display, as they could when each tried numbers in turn.
  local number_file
  number_file=$(mktemp) || return 1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  QELVA_XVFB_PID=$!
  local i n=
  for i in $(seq 100); do
    # The number is written as one line once the server listens.
    [ "$(wc -l <"$number_file")" -ge 1 ] && n=$(tr -dc 0-9 <"$number_file")
    [ -n "$n" ] && break
    kill -0 "$QELVA_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number_file"
  if [ -n "$n" ] && kill -0 "$QELVA_XVFB_PID" 2>/dev/null; then
    export DISPLAY=":$n" QELVA_XVFB_PID
    return 0
  fi
  kill "$QELVA_XVFB_PID" 2>/dev/null
  wait "$QELVA_XVFB_PID" 2>/dev/null
  QELVA_XVFB_PID=
  echo "wine-env: no X display could be started" >&2
  return 1
}

qelva_wine_down() {
  [ -n "${WINEPREFIX:-}" ] && "${WINESERVER:-/usr/lib/wine/wineserver}" -k 2>/dev/null
  if [ -n "${QELVA_XVFB_PID:-}" ]; then
    kill "$QELVA_XVFB_PID" 2>/dev/null
    wait "$QELVA_XVFB_PID" 2>/dev/null
    QELVA_XVFB_PID=
  fi
  unset DISPLAY
  return 0
}
