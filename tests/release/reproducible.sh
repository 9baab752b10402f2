#!/usr/bin/env bash
# Proves that the packages are reproducible: the Windows x64 zip and the Debian package, built by
# scripts/release.sh from this commit in two clones at two different paths (of different lengths,
# at different times), must be byte for byte the same. On a difference it shows which entries
# differ. Then checks the first build's packages (tests/release/check_packages.sh).
#
#   bash tests/release/reproducible.sh [FIRST-PACKAGES-FOLDER]
#   bash tests/release/reproducible.sh --beside 'bash scripts/release.sh' build/packages
#
# With a folder that already holds this commit's x64 zip and .deb from release.sh (say
# build/packages after `bash scripts/release.sh`), only the second clone is built. With --beside,
# the command that writes that folder's packages runs at the same time as the second clone's
# build (the two fill each other's idle moments: configuring, linking, packing); its output is
# shown when it ends, and its failure is this script's.
# Builds without ccache (release.sh turns it off), so nothing built elsewhere is handed back.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
version=$(sed -n 's/^project(QelvaView VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
commit=$(git rev-parse HEAD)
packages=("QelvaView-$version-windows-x64.zip" "qelvaconv_${version}_amd64.deb")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qelva-reproducible.XXXXXX")
beside_pid=
# A run that ends early ends the command beside it too (it runs in a process group of its own).
end_beside() { [ -z "$beside_pid" ] || kill -TERM -- "-$beside_pid" 2>/dev/null || true; }
trap 'end_beside; rm -rf "$scratch"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
started=$SECONDS

# A clone of this commit at PATH, its packages built there.
build_in_clone() {  # PATH
  git clone -q --no-hardlinks "$root" "$1"
  git -C "$1" checkout -q --detach "$commit"
  echo "-- release.sh win64 deb in $1"
  (cd "$1" && bash scripts/release.sh win64 deb > release.log 2>&1) || {
    tail -30 "$1/release.log" >&2
    return 1
  }
}

beside=
if [ "${1:-}" = --beside ]; then
  [ $# -ge 3 ] || { echo "usage: $0 --beside COMMAND FIRST-PACKAGES-FOLDER" >&2; exit 2; }
  beside=$2
  shift 2
fi

if [ $# -ge 1 ]; then
  first=$(realpath -m "$1")
  if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "reproducible.sh: warning: the working tree has uncommitted changes; the clone has not" >&2
  fi
else
  build_in_clone "$scratch/a/qelva"
  first=$scratch/a/qelva/build/packages
fi
if [ -n "$beside" ]; then
  echo "-- $beside (at the same time as the clone's build; its output follows once both are done)"
  setsid bash -c "$beside" >"$scratch/beside.log" 2>&1 </dev/null &
  beside_pid=$!
fi
second_status=0
build_in_clone "$scratch/second-build-at-a-longer-path/QelvaView" || second_status=$?
if [ -n "$beside_pid" ]; then
  beside_status=0
  wait "$beside_pid" || beside_status=$?
  beside_pid=
  cat "$scratch/beside.log"
  if [ $beside_status -ne 0 ]; then
    echo "FAIL: '$beside' ended with status $beside_status" >&2
    exit $beside_status
  fi
fi
[ $second_status -eq 0 ] || exit $second_status
second=$scratch/second-build-at-a-longer-path/QelvaView/build/packages

# What differs between two packages, entry by entry.
explain() {  # FIRST SECOND
  local a=$scratch/explain-a b=$scratch/explain-b
  rm -rf "$a" "$b"
  mkdir -p "$a" "$b"
  case $1 in
    *.zip)
      diff <(unzip -Z -v "$1" | grep -v -E '^(Archive|  There is no zipfile comment)') \
           <(unzip -Z -v "$2" | grep -v -E '^(Archive|  There is no zipfile comment)') | head -40 || true
      unzip -q "$1" -d "$a"
      unzip -q "$2" -d "$b"
      ;;
    *.deb)
      diff <(dpkg-deb -c "$1") <(dpkg-deb -c "$2") || true
      diff <(dpkg-deb -I "$1") <(dpkg-deb -I "$2") || true
      dpkg-deb -R "$1" "$a"
      dpkg-deb -R "$2" "$b"
      ;;
  esac
  diff -r -q "$a" "$b" || true
}

differ=0
for p in "${packages[@]}"; do
  if [ ! -f "$first/$p" ] || [ ! -f "$second/$p" ]; then
    echo "FAIL: $p is missing from ${first} or ${second}" >&2
    differ=1
  elif cmp -s "$first/$p" "$second/$p"; then
    echo "same: $p  $(sha256sum < "$first/$p" | cut -d' ' -f1)"
  else
    echo "FAIL: $p differs between the two builds:" >&2
    explain "$first/$p" "$second/$p" >&2
    differ=1
  fi
done
[ $differ -eq 0 ] || exit 1

bash "$root/tests/release/check_packages.sh" "$first"
echo "reproducible.sh: the packages are the same from both paths ($((SECONDS - started)) s)"
