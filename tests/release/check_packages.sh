#!/usr/bin/env bash
# Checks what scripts/release.sh wrote: each package holds what a user needs and nothing of the
# build machine, the programs show the project's version, the Debian package installs and passes
# lintian, the manual page formats without a warning and the completion completes.
#
#   bash tests/release/check_packages.sh [PACKAGES-FOLDER]    (default build/packages)
#
# Checks the packages that are there (release.sh may have made only some); at least one must be.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
packages=$(realpath "${1:-$root/build/packages}")
# The tree the packages were built in (packages land in its build/packages): no path of it, nor of
# this one, may be inside a program.
built_in=$(realpath -m "$packages/../..")
version=$(sed -n 's/^project(QelvaView VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

# Every line of a file ends with CRLF (and the file is not empty).
all_crlf() { [ -s "$1" ] && ! LC_ALL=C grep -q $'[^\r]$\|^$' "$1"; }

# The files of a folder, relative to it, in name order.
listing() { (cd "$1" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort); }
# expect_listing WHAT DIR DESCRIPTION PATH...: DIR holds exactly the PATHs (in any order).
expect_listing() {
  local what=$1 dir=$2 description=$3
  shift 3
  local expected
  expected=$(printf '%s\n' "$@" | LC_ALL=C sort)
  if [ "$(listing "$dir")" = "$expected" ]; then
    pass "$what: $description"
  else
    fail "$what holds:"$'\n'"$(listing "$dir")"$'\n'"expected:"$'\n'"$expected"
  fi
}

check_sums() {
  [ -f "$packages/SHA256SUMS" ] || { fail "no SHA256SUMS"; return; }
  if (cd "$packages" && sha256sum --quiet -c SHA256SUMS); then
    pass "SHA256SUMS matches $(wc -l < "$packages/SHA256SUMS") packages"
  else
    fail "SHA256SUMS does not match the packages"
  fi
}

check_notices_current() {
  if python3 "$root/scripts/third_party_notices.py" --check "$root/THIRD_PARTY_NOTICES.txt"; then
    pass "THIRD_PARTY_NOTICES.txt is what this machine's Debian copyright files give"
  else
    fail "THIRD_PARTY_NOTICES.txt is stale: python3 scripts/third_party_notices.py > THIRD_PARTY_NOTICES.txt"
  fi
}

check_windows_zip() {  # ARCH(x64|x86) PE-FORMAT
  local zip=$packages/QelvaView-$version-windows-$1.zip
  [ -f "$zip" ] || return 0
  local name=${zip##*/}
  local dir=$scratch/zip-$1
  mkdir -p "$dir"
  unzip -q "$zip" -d "$dir"
  local top=QelvaView-$version
  expect_listing "$name" "$dir" "$top/ with the programs, the help, the read-me, the license and the notices" \
    "$top" "$top/LICENSE.txt" "$top/QelvaView-help.rtf" "$top/QelvaView.exe" "$top/README.txt" \
    "$top/THIRD_PARTY_NOTICES.txt" "$top/qelvaconv.exe"
  local exe
  for exe in QelvaView.exe qelvaconv.exe; do
    local file=$dir/$top/$exe
    [ -f "$file" ] || continue
    local format stamp
    format=$(objdump -f "$file" | sed -n 's/.*file format //p')
    [ "$format" = "$2" ] || fail "$name: $exe is $format, not $2"
    stamp=$(objdump -p "$file" | sed -n 's/^Time\/Date[[:space:]]*//p')
    [ "$stamp" = "Thu Jan  1 00:00:00 1970" ] || fail "$name: $exe has the link time $stamp"
    # The version resource: FileVersion and ProductVersion are the project's version.
    local versions
    versions=$(strings -el "$file" | grep -A1 -x -E 'FileVersion|ProductVersion' | grep -c -x "$version" || true)
    [ "$versions" = 2 ] || fail "$name: $exe's version resource does not say $version"
    if LC_ALL=C grep -q -a -e "$root/" -e "$built_in/" -e "/build/release-win" "$file"; then
      fail "$name: $exe holds a build path"
    fi
  done
  pass "$name: $2 programs with version $version, no link time, no build path"
  local readme=$dir/$top/README.txt
  if [ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] && all_crlf "$readme" &&
    grep -q 'ﾍﾙﾌﾟ → 目次' "$readme" && grep -q 'QelvaView-help.rtf' "$readme" &&
    grep -q 'qelvaconv \[options\] PATH' "$readme" && grep -q "QelvaView $version" "$readme"; then
    pass "$name: README.txt is UTF-8 with a BOM and CRLF, names the help and the converter's usage"
  else
    fail "$name: README.txt lacks the BOM, CRLF line ends, the help's name or the usage line"
  fi
  local text
  for text in LICENSE THIRD_PARTY_NOTICES; do
    local shipped=$dir/$top/$text.txt original=$root/$text
    [ "$text" = THIRD_PARTY_NOTICES ] && original=$root/THIRD_PARTY_NOTICES.txt
    if all_crlf "$shipped" && cmp -s <(sed 's/\r$//' "$shipped") "$original"; then
      pass "$name: $text.txt is the repository's, with CRLF"
    else
      fail "$name: $text.txt is not the repository's $text with CRLF line ends"
    fi
  done
}

check_man_page() {  # LABEL PAGE
  local warnings
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$2" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    fail "$1: the manual page warns:"$'\n'"$warnings"
    return
  fi
  local text
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$2" 2>/dev/null | col -b)
  local missing=() word
  for word in --type --entry --out --recursive --jobs --quiet --list --help --version \
    bmp rle gif gif-i gif-t gif-ti png png-t "EXIT STATUS" EXAMPLES "QelvaView $version"; do
    grep -q -F -e "$word" <<< "$text" || missing+=("$word")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    pass "$1: the manual page formats without warnings and covers every option and type"
  else
    fail "$1: the manual page lacks: ${missing[*]}"
  fi
}

check_completion() {  # LABEL SCRIPT
  local result
  result=$(cd "$scratch" && mkdir -p comp/out-folder && touch comp/picture.bin && bash -c '
    source "$1"
    complete_line() { COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _qelvaconv; echo "${COMPREPLY[*]}"; }
    complete_line qelvaconv -t gif-
    complete_line qelvaconv --type = png
    complete_line qelvaconv --rec
    complete_line qelvaconv -o comp/o
    complete_line qelvaconv comp/p' _ "$2")
  local expected=$'gif-i gif-t gif-ti\npng png-t\n--recursive\ncomp/out-folder\ncomp/picture.bin'
  if [ "$result" = "$expected" ]; then
    pass "$1: the completion completes types, options, folders and files"
  else
    fail "$1: the completion gave"$'\n'"$result"$'\n'"expected"$'\n'"$expected"
  fi
}

check_linux_program() {  # LABEL PROGRAM
  local reported
  reported=$("$2" --version)
  [ "$reported" = "qelvaconv $version" ] || fail "$1: qelvaconv --version says '$reported'"
  # glibc alone: no libstdc++, libgcc_s or libz to find on the user's system.
  local libraries
  libraries=$(ldd "$2" | awk '{print $1}' | grep -v -E '^(linux-vdso\.so\.1|libc\.so\.6|/lib64/ld-linux-x86-64\.so\.2)$' || true)
  [ -z "$libraries" ] || fail "$1: qelvaconv needs more than glibc: $libraries"
  if LC_ALL=C grep -q -a -e "$root/" -e "$built_in/" -e "/build/release-linux" "$2"; then fail "$1: qelvaconv holds a build path"; fi
  [ -x "$2" ] || fail "$1: qelvaconv is not executable"
  # It converts: a folder without game pictures is fine and writes nothing.
  mkdir -p "$scratch/empty-$1"
  "$2" -q -o "$scratch/out-$1" "$scratch/empty-$1" || fail "$1: qelvaconv fails on an empty folder"
  pass "$1: qelvaconv $version runs and needs only glibc"
}

check_tarball() {
  local tarball=$packages/qelvaconv-$version-linux-x86_64.tar.gz
  [ -f "$tarball" ] || return 0
  local name=${tarball##*/} top=qelvaconv-$version-linux-x86_64
  local dir=$scratch/tar
  mkdir -p "$dir"
  tar -xzf "$tarball" -C "$dir"
  expect_listing "$name" "$dir" "$top/ with bin/qelvaconv, the manual page, the completion and the texts" \
    "$top" "$top/LICENSE" "$top/README" "$top/THIRD_PARTY_NOTICES.txt" "$top/bin" "$top/bin/qelvaconv" \
    "$top/share" "$top/share/bash-completion" "$top/share/bash-completion/completions" \
    "$top/share/bash-completion/completions/qelvaconv" "$top/share/man" "$top/share/man/man1" \
    "$top/share/man/man1/qelvaconv.1"
  local owners
  owners=$(tar -tvzf "$tarball" | awk '{print $2}' | sort -u)
  [ "$owners" = 0/0 ] || fail "$name: entries owned by $owners, not 0/0"
  cmp -s "$dir/$top/LICENSE" "$root/LICENSE" || fail "$name: LICENSE is not the repository's"
  cmp -s "$dir/$top/THIRD_PARTY_NOTICES.txt" "$root/THIRD_PARTY_NOTICES.txt" ||
    fail "$name: THIRD_PARTY_NOTICES.txt is not the repository's"
  check_linux_program tarball "$dir/$top/bin/qelvaconv"
  check_man_page tarball "$dir/$top/share/man/man1/qelvaconv.1"
  check_completion tarball "$dir/$top/share/bash-completion/completions/qelvaconv"
}

check_deb() {
  local deb=$packages/qelvaconv_${version}_amd64.deb
  [ -f "$deb" ] || return 0
  local name=${deb##*/}
  local dir=$scratch/deb-root
  dpkg -x "$deb" "$dir"
  expect_listing "$name" "$dir" "installs the program, its manual page, completion, copyright and changelog" \
    usr usr/bin usr/bin/qelvaconv usr/share usr/share/bash-completion \
    usr/share/bash-completion/completions usr/share/bash-completion/completions/qelvaconv \
    usr/share/doc usr/share/doc/qelvaconv usr/share/doc/qelvaconv/THIRD_PARTY_NOTICES.txt \
    usr/share/doc/qelvaconv/changelog.Debian.gz usr/share/doc/qelvaconv/copyright \
    usr/share/lintian usr/share/lintian/overrides usr/share/lintian/overrides/qelvaconv \
    usr/share/man usr/share/man/man1 usr/share/man/man1/qelvaconv.1.gz
  local owners
  owners=$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)
  [ "$owners" = root/root ] || fail "$name: entries owned by $owners, not root/root"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || fail "$name: Version is not $version-1"
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  [[ $depends =~ ^libc6\ \(\>=\ 2\.[0-9]+\)$ ]] || fail "$name: Depends is '$depends', not glibc alone"
  # The copyright file: machine-readable, the project under MIT, zlib's notice.
  local copyright=$dir/usr/share/doc/qelvaconv/copyright
  if head -1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' &&
    grep -q '^License: Expat$' "$copyright" && grep -q 'The QelvaView developers' "$copyright" &&
    grep -q 'Jean-loup Gailly' "$copyright"; then
    pass "$name: copyright is DEP-5 with the project's MIT license and zlib's notice"
  else
    fail "$name: copyright lacks the DEP-5 header, the MIT license or zlib's notice"
  fi
  gzip -t "$dir/usr/share/doc/qelvaconv/changelog.Debian.gz" || fail "$name: changelog.Debian.gz is no gzip file"
  check_linux_program deb "$dir/usr/bin/qelvaconv"
  check_man_page deb "$dir/usr/share/man/man1/qelvaconv.1.gz"
  check_completion deb "$dir/usr/share/bash-completion/completions/qelvaconv"
  # lintian: no errors. Its one warning, initial-upload-closes-no-bugs, asks for the bug that
  # announces a package to Debian; these packages are not for the Debian archive.
  local report
  if report=$(lintian --fail-on error "$deb" 2>/dev/null); then
    pass "$name: lintian reports no errors${report:+ (}${report//$'\n'/; }${report:+)}"
  else
    fail "$name: lintian:"$'\n'"$report"
  fi
}

found=0
for f in QelvaView-$version-windows-x64.zip QelvaView-$version-windows-x86.zip \
  qelvaconv_${version}_amd64.deb qelvaconv-$version-linux-x86_64.tar.gz; do
  [ -f "$packages/$f" ] && found=$((found + 1))
done
[ $found -gt 0 ] || { echo "check_packages.sh: no packages of $version in $packages" >&2; exit 1; }

check_sums
check_notices_current
check_windows_zip x64 pei-x86-64
check_windows_zip x86 pei-i386
check_tarball
check_deb

if [ $failures -gt 0 ]; then
  echo "check_packages.sh: $failures failed" >&2
  exit 1
fi
echo "check_packages.sh: $found packages of $version checked"
