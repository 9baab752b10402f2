#!/usr/bin/env bash
# Runs one Windows console program under 64-bit Wine and passes its exit status through.
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#   scripts/wine-run.sh --prepare [PREFIX]      only creates the prefix (used by wine-env.sh)
#
# CMake uses this as the emulator of the mingw-w64 x64 build, so ctest runs the Windows test
# program through it. The Wine prefix is private: $QELVA_WINEPREFIX when set, else "wineprefix"
# in the build folder that holds the program (the nearest folder above it with a CMakeCache.txt),
# else "wineprefix" beside the program. It is created on first use (wineboot -i, under a
# Japanese locale, about 10 s) and reused after that.
#
# Runs may follow each other or overlap: creating the prefix is done under a lock, every run
# holds a shared lock while its program runs, and the last one out ends the prefix's wineserver.
# No X display is needed; if creating the prefix should want one and none is set, a private
# Xvfb is started for it and ended afterwards. With QELVA_WINE_XVFB=1 the program itself runs on
# a private Xvfb too (for programs that make windows, such as the tests of the viewer's window
# layer), ended when it exits.
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
if [ ! -x "$WINE" ]; then
  echo "wine-run: $WINE is missing (run scripts/setup.sh)" >&2
  exit 127
fi
command -v flock >/dev/null || { echo "wine-run: flock is missing" >&2; exit 127; }

prepare_only=
if [ "$1" = --prepare ]; then
  prepare_only=1
  [ $# -ge 2 ] && export QELVA_WINEPREFIX=$2
  program_dir=$(pwd)
else
  program=$1
  shift
  if [ ! -f "$program" ]; then
    echo "wine-run: no such program: $program" >&2
    exit 127
  fi
  program_dir=$(cd "$(dirname "$program")" && pwd)
fi

# The build folder DIR lies in (the nearest folder above or at it with a CMakeCache.txt), or
# nothing outside a build folder.
build_folder_of() {  # DIR
  local dir=$1
  while [ "$dir" != / ]; do
    if [ -f "$dir/CMakeCache.txt" ]; then
      echo "$dir"
      return
    fi
    dir=$(dirname "$dir")
  done
}

find_prefix() {
  if [ -n "${QELVA_WINEPREFIX:-}" ]; then
    echo "$QELVA_WINEPREFIX"
    return
  fi
  local build
  build=$(build_folder_of "$program_dir")
  echo "${build:-$program_dir}/wineprefix"
}

prefix=$(find_prefix)
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
lock="$prefix.lock"
ready="$prefix/.qelva-ready"

export WINEPREFIX=$prefix
# Wine wants a home folder; a bare CI environment may not say which.
if [ -z "${HOME:-}" ] || [ ! -d "$HOME" ]; then
  HOME=$(getent passwd "$(id -u)" | cut -d: -f6)
  [ -d "$HOME" ] || HOME=$prefix.home
  mkdir -p "$HOME"
  export HOME
fi
export WINEARCH=win64
export WINEDEBUG=${QELVA_WINEDEBUG:--all}
# No Mono/Gecko download prompts, no desktop menu entries written into $HOME.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export LANG=${QELVA_WINE_LANG:-ja_JP.UTF-8}
unset LC_ALL LC_CTYPE LC_MESSAGES

xvfb_pid=
stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
  fi
}

# Starts a private Xvfb on the first free display number, which Xvfb chooses itself (so runs
# started at the same moment never share one); sets DISPLAY.
start_xvfb() {
  local number_file n=
  number_file=$(mktemp) || return 1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    # The number is written as one line once the server listens.
    [ "$(wc -l <"$number_file")" -ge 1 ] && n=$(tr -dc 0-9 <"$number_file")
    [ -n "$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number_file"
  if [ -n "$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
    export DISPLAY=":$n"
    return 0
  fi
  stop_xvfb
  return 1
}

# A crashing program prints its backtrace and ends; no crash dialog waits for a click.
no_crash_dialog() {
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
}

# The template prefix of the build folder holding PREFIX, or nothing outside a build folder.
template_of() {
  local build
  build=$(build_folder_of "$(dirname "$1")")
  [ -z "$build" ] || echo "$build/wineprefix-template"
}

copy_template() {
  local template
  template=$(template_of "$prefix")
  [ -n "$template" ] && [ "$template" != "$prefix" ] || return 1
  # The template is made (under its own lock) by this script, and no program ever runs in it.
  bash "${BASH_SOURCE[0]}" --prepare "$template" || return 1
  rm -rf "$prefix"
  if cp -a "$template" "$prefix"; then
    touch "$ready"
    return 0
  fi
  rm -rf "$prefix"
  return 1
}

create_prefix() {
  copy_template && return 0
  rm -rf "$prefix"
  mkdir -p "$prefix"
  echo "wine-run: creating Wine prefix $prefix (once)" >&2
  if "$WINE" wineboot -i >/dev/null 2>&1 && no_crash_dialog && "$WINESERVER" -w; then
    touch "$ready"
    return 0
  fi
  "$WINESERVER" -k 2>/dev/null
  # A second try with a virtual display, in case this Wine wanted one.
  if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null && start_xvfb; then
    rm -rf "$prefix"
    mkdir -p "$prefix"
    local ok=1
    "$WINE" wineboot -i >/dev/null 2>&1 && no_crash_dialog && "$WINESERVER" -w && ok=0
    "$WINESERVER" -k 2>/dev/null
    stop_xvfb
    unset DISPLAY
    if [ $ok -eq 0 ]; then
      touch "$ready"
      return 0
    fi
  fi
  rm -rf "$prefix"
  return 1
}

exec 9>"$lock"
if [ ! -f "$ready" ]; then
  flock -x 9
  if [ ! -f "$ready" ] && ! create_prefix; then
    echo "wine-run: could not create the Wine prefix $prefix" >&2
    exit 125
  fi
fi
[ -n "$prepare_only" ] && exit 0
flock -s 9

if [ "${QELVA_WINE_XVFB:-}" = 1 ]; then
  trap stop_xvfb EXIT
  start_xvfb || { echo "wine-run: no X display could be started" >&2; exit 125; }
fi
"$WINE" "$program" "$@"
status=$?

# The last run out of this prefix ends its wineserver (otherwise it lingers for a few seconds).
flock -u 9
if flock -n -x 9; then
  # Still holding the lock, so that the next run cannot start against a server on its way out.
  "$WINESERVER" -k 2>/dev/null
  "$WINESERVER" -w 2>/dev/null
fi
exit $status
