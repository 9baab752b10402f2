#!/usr/bin/env bash
# Real faults injected into whole runs of qelvaconv: each failed picture must give its one line
# "<path>: <message>" on standard error and exit status 1, the pictures that could be written
# must be, every output file that was there must stay byte for byte as it was, and no temporary
# file may be left beside the outputs.
#
# usage: converter_faults.sh [--wine] CASE PROGRAM WORK_DIR
#   CASE     disk_full | file_size_limit | read_only_output | unreadable_input |
#            output_is_folder | too_many_open_files | out_of_memory
#   PROGRAM  qelvaconv, or with --wine qelvaconv.exe (run by 64-bit Wine in the Wine prefix of
#            its build folder, as scripts/wine-run.sh runs it)
# Exit status: 0 passed, 1 failed, 77 skipped (the fault cannot be injected here: not root, the
# kernel refuses the mount, no unprivileged user, a sanitizer build (QELVA_FAULTS_SANITIZED=1)
# for the descriptor and memory limits; the reason is printed).
#
# How each fault is made (all of them for real, none below the file layer):
#   disk_full            a 64 KiB tmpfs as the output folder (a loop-mounted ext4 image when
#                        tmpfs is refused); needs root
#   file_size_limit      ulimit -f: writes past 8 KiB fail (EFBIG once SIGXFSZ is ignored)
#   read_only_output     an output folder the unprivileged user 65534 may not write to
#   unreadable_input     an input file and a folder that user may not read; needs root
#   output_is_folder     a folder where an output file would be written
#   too_many_open_files  ulimit -n 4: one descriptor left beside standard input, output and
#                        error, shared by 8 jobs
#   out_of_memory        ulimit -v a little above what a small conversion needs, and a large
#                        background whose tile pool is 4 MiB
set -uo pipefail

wine=
if [ "${1:-}" = --wine ]; then
  wine=1
  shift
fi
if [ $# -ne 3 ]; then
  echo "usage: $0 [--wine] CASE PROGRAM WORK_DIR" >&2
  exit 2
fi
case_name=$1
program=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$3
here=$(cd "$(dirname "$0")" && pwd)
scripts=$(cd "$here/../../scripts" && pwd)

SKIP=77
failures=0
fail() {
  echo "FAIL $case_name: $*" >&2
  failures=$((failures + 1))
}
skip() {
  echo "SKIP $case_name: $*"
  exit $SKIP
}

# ---- cleaning up on every way out -----------------------------------------------------------

mounted=()
cleanup() {
  local m
  for m in "${mounted[@]}"; do
    umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null
  done
  mounted=()
  [ -n "$wine" ] && wine_leave
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ---- running the program --------------------------------------------------------------------

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# The Wine prefix of the program's build folder, the one scripts/wine-run.sh uses. While this
# script runs it holds the prefix's shared lock, as every run of wine-run.sh does, so that no
# other run ends the wineserver under it; the last one out ends it.
wine_enter() {
  [ -x "$WINE" ] || skip "$WINE is missing"
  local dir
  dir=$(dirname "$program")
  prefix=
  while [ "$dir" != / ]; do
    if [ -f "$dir/CMakeCache.txt" ]; then
      prefix=$dir/wineprefix
      break
    fi
    dir=$(dirname "$dir")
  done
  [ -n "$prefix" ] || prefix=$(dirname "$program")/wineprefix
  prefix=${QELVA_WINEPREFIX:-$prefix}
  "$scripts/wine-run.sh" --prepare "$prefix" || { fail "no Wine prefix $prefix"; exit 1; }
  export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all LANG=ja_JP.UTF-8
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
  unset LC_ALL LC_CTYPE LC_MESSAGES
  exec 9>"$prefix.lock"
  flock -s 9
  wine_locked=1
  # The server and Wine's own services start here, without the limits a case sets later: a
  # server started by a limited program would inherit its limits.
  "$WINESERVER" -p30 </dev/null >/dev/null 2>&1
  "$WINE" "$program" --version >/dev/null 2>&1
}
wine_locked=
wine_leave() {
  [ -n "$wine_locked" ] || return 0
  wine_locked=
  flock -u 9
  if flock -n -x 9; then
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
  fi
  exec 9>&-
}

# Runs the converter in the case folder: status in $status, standard error (line ends and
# separators made Unix ones) in $case_dir/err.
run_converter() {
  local runner=("$program")
  [ -n "$wine" ] && runner=("$WINE" "$program")
  # A run that hangs is a failure too: it is ended after 30 s (status 124). Descriptors the
  # test inherited (from CTest, the Wine lock) are closed first and the limits set last, in
  # the shell that then becomes the program.
  (
    cd "$case_dir" || exit 125
    exec timeout -k 2 30 bash -c '
      for fd in $(ls /proc/$$/fd); do [ "$fd" -gt 2 ] && eval "exec $fd>&-"; done
      eval "$1"
      shift
      exec "$@"' limits "${limits:-:}" $as_user "${runner[@]}" -q "$@"
  ) 2>"$case_dir/err.raw" >"$case_dir/stdout.txt"
  status=$?
  tr -d '\r' <"$case_dir/err.raw" | tr '\\' / >"$case_dir/err.all"
  # Wine's own complaints (perror of its client when it finds no descriptor for a new
  # thread's pipes) are not the program's lines.
  grep -Ev '^(wine client error:[0-9a-f]+: )*pipe: ' "$case_dir/err.all" >"$case_dir/err"
  if ! cmp -s "$case_dir/err.all" "$case_dir/err"; then
    echo "$case_name: Wine itself said:"
    grep -E '^(wine client error:[0-9a-f]+: )*pipe: ' "$case_dir/err.all" | sed 's/^/  /'
  fi
}

# ---- fixtures -------------------------------------------------------------------------------

# An item picture: 13056 bytes, a palette and 112 x 112 pixels, every byte `fill` (0-255).
write_item() {
  head -c 13056 /dev/zero | tr '\0' "\\$(printf %03o "$2")" >"$1"
}
# An item whose pixels have no runs (a 17-byte cycle): RLE8 cannot make it smaller.
write_busy_item() {
  head -c 512 /dev/zero >"$1"
  yes 0123456789abcdef | head -c 12544 >>"$1"
}

# Converts the inputs with no fault into $case_dir/ref: what a complete output looks like.
make_reference() {
  local saved_limits=$limits saved_user=$as_user
  limits= as_user=
  run_converter -o ref "$@"
  limits=$saved_limits as_user=$saved_user
  if [ "$status" -ne 0 ]; then
    fail "the reference conversion failed ($status): $(cat "$case_dir/err")"
    exit 1
  fi
}

# The output file of an input (relative to the case folder): its name with .bmp.
output_of() {
  local name
  name=$(basename "$1")
  echo "${name%.*}.bmp"
}

# Before the faulty run: a copy of the output folder as it is.
snapshot() {
  rm -rf "$case_dir/before"
  cp -a "$case_dir/$1" "$case_dir/before"
}

# After the faulty run with `-o OUT INPUT...`: checks the exit status, that every line names an
# input and carries a message matching $message (an extended regular expression), and that the
# output folder is exactly the folder before with the complete output of every input that was
# not reported put in. At least one input must have failed, and at least $min_written written.
verify() {
  local out=$1
  shift
  local expected=$case_dir/expected input line reported=0 written=0
  rm -rf "$expected"
  cp -a "$case_dir/before" "$expected"
  if [ "$status" -ne 1 ]; then
    fail "exit status $status, not 1 (128 + n is a death by signal n)"
  fi
  while IFS= read -r line; do
    local known=
    for input in "$@"; do
      if [ "${line#"$input: "}" != "$line" ]; then
        known=1
        if ! printf '%s\n' "${line#"$input: "}" | grep -Eq "^($message)\$"; then
          fail "unexpected message: $line"
        fi
      fi
    done
    [ -n "$known" ] || fail "a line that names no input: $line"
  done <"$case_dir/err"
  for input in "$@"; do
    if grep -Fq "$input: " "$case_dir/err"; then
      reported=$((reported + 1))
    elif [ -f "$case_dir/ref/$(output_of "$input")" ]; then
      cp "$case_dir/ref/$(output_of "$input")" "$expected/"
      written=$((written + 1))
    fi
  done
  [ "$reported" -gt 0 ] || fail "no input failed: the fault was not felt"
  [ "$written" -ge "${min_written:-0}" ] || fail "only $written written, $min_written expected"
  if ! LC_ALL=C diff -r "$expected" "$case_dir/$out" >"$case_dir/diff"; then
    fail "the output folder is not the one before plus the complete new files:"
    cat "$case_dir/diff" >&2
  fi
  echo "$case_name: exit status $status, $reported reported, $written written; stderr:"
  sed 's/^/  /' "$case_dir/err"
}

# An unprivileged user who can enter the case folder and run the program; root ignores
# permission bits, so the permission cases run as that user.
nobody_or_skip() {
  [ "$(id -u)" -eq 0 ] || skip "not root: cannot run the converter as another user"
  command -v setpriv >/dev/null || skip "setpriv (util-linux) is missing"
  as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
  chmod 755 "$case_dir"
  $as_user test -x "$program" -a -r "$case_dir" -a -x "$case_dir" ||
    skip "user 65534 cannot enter $case_dir or run $program"
}

# ---- the cases ------------------------------------------------------------------------------

case_disk_full() {
  [ "$(id -u)" -eq 0 ] || skip "not root: cannot mount a small file system"
  for n in 1 2 3 4 5 6 7 8; do write_item "$case_dir/in/item0$n.bin" $((n * 20)); done
  make_reference in
  mkdir "$case_dir/disk"
  # 64 KiB hold three 14 KB bitmaps beside an existing one; the fourth does not fit.
  if mount -t tmpfs -o size=64k,mode=755 tmpfs "$case_dir/disk" 2>"$case_dir/mount.err"; then
    mounted+=("$case_dir/disk")
    echo "$case_name: a 64 KiB tmpfs"
  else
    echo "$case_name: tmpfs refused ($(cat "$case_dir/mount.err")); trying a loop-mounted ext4"
    truncate -s 1M "$case_dir/disk.img"
    mkfs.ext4 -q -F -O ^has_journal -m 0 "$case_dir/disk.img" >/dev/null 2>&1 &&
      mount -o loop "$case_dir/disk.img" "$case_dir/disk" 2>>"$case_dir/mount.err" ||
      skip "the kernel refuses both a tmpfs and a loop mount: $(cat "$case_dir/mount.err")"
    mounted+=("$case_dir/disk")
    # Fill the image up to the last 64 KiB.
    local free
    free=$(df -k --output=avail "$case_dir/disk" | tail -1)
    [ "$free" -gt 64 ] && head -c $(((free - 64) * 1024)) /dev/zero >"$case_dir/disk/ballast"
  fi
  printf 'an earlier picture' >"$case_dir/disk/item08.bmp"
  snapshot disk
  message='ｽﾄﾘｰﾑへの書き込みｴﾗｰ' min_written=1
  run_converter -j 1 -o disk in
  verify disk in/item01.bin in/item02.bin in/item03.bin in/item04.bin in/item05.bin \
    in/item06.bin in/item07.bin in/item08.bin
  grep -Fq 'in/item08.bin: ' "$case_dir/err" || fail "item08 did not fail: the disk was not full"
}

case_file_size_limit() {
  write_item "$case_dir/in/item01.bin" 1
  write_busy_item "$case_dir/in/item02.bin"
  write_item "$case_dir/in/item03.bin" 3
  write_busy_item "$case_dir/in/item04.bin"
  make_reference -t rle in
  mkdir "$case_dir/out"
  printf 'an earlier picture' >"$case_dir/out/item02.bmp"
  snapshot out
  # bash counts ulimit -f in KiB: the even items' RLE bitmaps (about 14 KB) pass 8 KiB, the odd
  # ones (about 1.5 KB) do not. By default the signal SIGXFSZ would end the program at the
  # first write past the limit, with its temporary file left behind.
  limits='ulimit -f 8' message='ｽﾄﾘｰﾑへの書き込みｴﾗｰ' min_written=2
  # Wine does not handle SIGXFSZ and a Windows program cannot ignore a Unix signal: under Wine
  # the signal would end the process whatever the program does. There the shell that starts
  # Wine ignores it (an ignored signal stays ignored across exec), so that the write fails
  # and what Wine makes of EFBIG is seen.
  [ -n "$wine" ] && limits="trap '' XFSZ; $limits"
  run_converter -t rle -j 1 -o out in
  verify out in/item01.bin in/item02.bin in/item03.bin in/item04.bin
}

case_read_only_output() {
  nobody_or_skip
  write_item "$case_dir/in/item01.bin" 1
  write_item "$case_dir/in/item02.bin" 2
  make_reference in
  mkdir -p "$case_dir/out/sub"
  printf 'an earlier picture' >"$case_dir/out/item01.bmp"
  chmod 555 "$case_dir/out" "$case_dir/out/sub"
  chmod -R a+rX "$case_dir/in"
  snapshot out
  message='ﾌｧｲﾙ out/item0[12]\.bmp を作成できません'
  run_converter -o out in/item01.bin in/item02.bin
  verify out in/item01.bin in/item02.bin
  # A folder that cannot be made below a read-only one.
  snapshot out
  message='ﾌｫﾙﾀﾞ out/sub/new を作成できません'
  run_converter -o out/sub/new in/item01.bin
  verify out out/sub/new
  chmod 755 "$case_dir/out" "$case_dir/out/sub"
}

case_unreadable_input() {
  nobody_or_skip
  write_item "$case_dir/in/item01.bin" 1
  write_item "$case_dir/in/item02.bin" 2
  mkdir "$case_dir/in/locked"
  write_item "$case_dir/in/locked/item03.bin" 3
  make_reference in
  chmod -R a+rX "$case_dir/in"
  chmod 000 "$case_dir/in/item01.bin" "$case_dir/in/locked"
  mkdir "$case_dir/out"
  chmod 777 "$case_dir/out"
  printf 'an earlier picture' >"$case_dir/out/item01.bmp"
  snapshot out
  message='ﾌｧｲﾙへのｱｸｾｽが拒否されました' min_written=1
  run_converter -r -o out in
  verify out in/item01.bin in/item02.bin in/locked
  chmod 755 "$case_dir/in/locked"
  chmod 644 "$case_dir/in/item01.bin"
}

case_output_is_folder() {
  write_item "$case_dir/in/item01.bin" 1
  write_item "$case_dir/in/item02.bin" 2
  make_reference in
  mkdir -p "$case_dir/out/item01.bmp"
  printf 'kept' >"$case_dir/out/item01.bmp/inside.txt"
  snapshot out
  message='ﾌｧｲﾙ out/item01\.bmp を作成できません' min_written=1
  run_converter -o out in/item01.bin in/item02.bin
  verify out in/item01.bin in/item02.bin
}

case_too_many_open_files() {
  # Measured with Wine 8.0: the program needs 14 descriptors to start; with few more, Wine
  # itself fails where the program cannot help it. It ends a new thread that finds no
  # descriptor for its pipes (printing "wine client error: pipe"), so the run can hang or end
  # with status 0 having done nothing, and it lists a folder it cannot open as an empty one.
  [ -z "$wine" ] || skip "Wine itself fails under a small descriptor limit (threads ended, folders listed empty)"
  [ -z "${QELVA_FAULTS_SANITIZED:-}" ] ||
    skip "a sanitizer build: the sanitizers' runtime itself needs descriptors (UBSan's type check then reports a false invalid vptr)"
  local inputs=() n
  for n in $(seq -w 1 64); do
    write_item "$case_dir/in/item$n.bin" $((10#$n))
    inputs+=("in/item$n.bin")
  done
  make_reference in
  mkdir "$case_dir/out"
  for n in 10 40 64; do printf 'an earlier picture %s' $n >"$case_dir/out/item$n.bmp"; done
  # Each picture needs one descriptor at a time (its input is closed before its output is
  # made): eight jobs share the one that is left. Which pictures get it is up to the threads.
  limits="ulimit -n 4"
  message='ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます|ﾌｧｲﾙ out/item[0-9]+\.bmp を作成できません' min_written=1
  local attempt
  for attempt in 1 2 3; do
    snapshot out
    run_converter -j 8 -o out in
    # Threads may happen to take turns: try again until the fault is felt.
    [ -s "$case_dir/err" ] && break
    rm -rf "$case_dir/out" && cp -a "$case_dir/before" "$case_dir/out"
  done
  verify out "${inputs[@]}"
}

# A large background (more than 200 KB) is 80 x 56 cells with a tile pool as large as the file
# says: 4 MiB here. No decoder allocates from a size the file declares beyond what the file
# holds: a small background whose header declares 65535 x 65535 cells is refused by its cell
# count, and one whose map names tile 32767 is refused before its 2 MiB pool is allocated.
case_out_of_memory() {
  [ -z "$wine" ] || skip "Wine reserves its address space up front: ulimit -v stops Wine itself"
  [ -z "${QELVA_FAULTS_SANITIZED:-}" ] ||
    skip "a sanitizer build: AddressSanitizer reserves its shadow memory up front"
  write_item "$case_dir/in/item01.bin" 1
  head -c $((18432 + 65535 * 64)) /dev/zero >"$case_dir/in/bg01.bin"
  { printf '\0\0\0\0\377\377\377\377'; head -c 1008 /dev/zero; } >"$case_dir/in/bg02.bin"
  {
    printf '\0\0\0\0\0\120\0\070'
    head -c 520 /dev/zero
    for ((n = 0; n < 80 * 56; n++)); do printf '\0\0\377\376'; done
  } >"$case_dir/in/bg03.bin"
  limits= as_user=
  run_converter -j 1 -o ref in/item01.bin in/bg01.bin
  [ "$status" -eq 0 ] || { fail "bg01.bin does not convert without a limit: $(cat "$case_dir/err")"; return; }
  # The least address space (in KiB, 256 KiB steps) in which the small item converts; the
  # limit is 1 MiB above it: less than the 2 MiB pool bg03.bin names, less than bg01.bin's.
  local least=
  for ((v = 1024; v <= 131072; v += 256)); do
    rm -rf "$case_dir/probe"
    limits="ulimit -v $v"
    run_converter -j 1 -o probe in/item01.bin
    if [ "$status" -eq 0 ]; then
      least=$v
      break
    fi
  done
  [ -n "$least" ] || skip "the item does not convert in 128 MiB of address space"
  mkdir "$case_dir/out"
  printf 'an earlier picture' >"$case_dir/out/bg01.bmp"
  limits="ulimit -v $((least + 1024))" min_written=1
  message='ﾒﾓﾘが足りません|ﾀｲﾙﾏｯﾌﾟのｾﾙ数が上限の 4480 を超えています \(65535 x 65535\)|ﾌｧｲﾙの末尾以降を読み込みました'
  local jobs
  for jobs in 1 4; do
    snapshot out
    run_converter -j $jobs -o out in/item01.bin in/bg01.bin in/bg02.bin in/bg03.bin
    echo "$case_name: -j $jobs in $((least + 1024)) KiB of address space"
    verify out in/item01.bin in/bg01.bin in/bg02.bin in/bg03.bin
    grep -Fxq 'in/bg01.bin: ﾒﾓﾘが足りません' "$case_dir/err" || fail "bg01.bin did not run out of memory"
    grep -Fxq 'in/bg03.bin: ﾌｧｲﾙの末尾以降を読み込みました' "$case_dir/err" ||
      fail "bg03.bin was not refused as a short file"
  done
}

# ---- main -----------------------------------------------------------------------------------

case_dir=$work/$case_name${wine:+-wine}
limits= as_user= message= min_written=0 status=0
declare -F "case_$case_name" >/dev/null || { echo "$0: no case $case_name" >&2; exit 2; }
rm -rf "$case_dir"
mkdir -p "$case_dir/in" || exit 1
case_dir=$(cd "$case_dir" && pwd)
if [ -n "$wine" ]; then
  case $case_name in
    read_only_output | unreadable_input)
      skip "Wine runs as root here and root ignores permission bits; Wine will not run as another user in root's prefix" ;;
  esac
  wine_enter
fi
"case_$case_name"
if [ "$failures" -gt 0 ]; then
  echo "FAIL $case_name: $failures check(s) failed; the files are in $case_dir" >&2
  exit 1
fi
echo "PASS $case_name"
cleanup
rm -rf "$case_dir"
exit 0
