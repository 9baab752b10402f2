#!/usr/bin/env bash
# Builds the release packages from the checked-out commit, byte for byte the same wherever and
# whenever they are built from it:
#
#   bash scripts/release.sh [PACKAGE...]      (from anywhere; default: every package)
#
#   win64   build/packages/QelvaView-<version>-windows-x64.zip
#   win32   build/packages/QelvaView-<version>-windows-x86.zip
#   deb     build/packages/qelvaconv_<version>_amd64.deb
#   tar     build/packages/qelvaconv-<version>-linux-x86_64.tar.gz
#           build/packages/SHA256SUMS over the packages written
#
# Each build is a clean Release build of the programs only (no tests, no benchmarks) in its own
# folder, build/release-linux, build/release-win64, build/release-win32, without ccache. The
# version is the one of the project() line in CMakeLists.txt; file times inside the packages are
# the commit's time. Needs what scripts/setup.sh installs. QELVA_JOBS sets the parallel jobs
# (default: the cores, at most 2).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

all=(win64 win32 deb tar)
wanted=("$@")
[ ${#wanted[@]} -eq 0 ] && wanted=("${all[@]}")
for p in "${wanted[@]}"; do
  case $p in
    win64 | win32 | deb | tar) ;;
    *) echo "release.sh: unknown package '$p' (win64, win32, deb or tar)" >&2; exit 2 ;;
  esac
done
wants() { local p; for p in "${wanted[@]}"; do [ "$p" = "$1" ] && return 0; done; return 1; }

jobs=${QELVA_JOBS:-$(nproc)}
[ "$jobs" -gt 2 ] && [ -z "${QELVA_JOBS:-}" ] && jobs=2

version=$(sed -n 's/^project(QelvaView VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release.sh: no version in CMakeLists.txt's project() line" >&2; exit 1; }
# The Debian revision of the package: the first packaging of this upstream version.
deb_version=$version-1

# Everything reproducible: the commit's time for every file time, UTC, one sort order, one umask,
# no compiler cache that could hand back objects built elsewhere.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export TZ=UTC LC_ALL=C.UTF-8
umask 022
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: warning: the working tree has uncommitted changes; the packages hold them" >&2
fi

out=build/packages
stage=build/release-stage
rm -rf "$stage"
mkdir -p "$out" "$stage"

build() {  # DIR CMAKE-ARGS... : a clean build of the programs, installed into DIR/install
  local dir=$1
  shift
  rm -rf "$dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQELVA_TESTS=OFF -DQELVA_BENCH=OFF \
    -DQELVA_RELEASE=ON -DCMAKE_C_COMPILER_LAUNCHER= -DCMAKE_CXX_COMPILER_LAUNCHER= "$@" >/dev/null
  local targets=(qelvaconv)
  grep -q '^CMAKE_TOOLCHAIN_FILE' "$dir/CMakeCache.txt" && targets+=(QelvaView)
  cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
  cmake --install "$dir" --prefix "$root/$dir/install" >/dev/null
}

# Fixed modes and the commit's time on everything below a folder.
normalize() {  # FOLDER
  find "$1" -type d -exec chmod 755 {} +
  find "$1" -type f -exec chmod 644 {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# A zip of FOLDER (relative to its parent) with its entries in name order and no extra fields
# (owners, access times).
zip_folder() {  # PARENT FOLDER ZIP
  local zip_path
  zip_path=$(realpath -m "$3")
  rm -f "$zip_path"
  (cd "$1" && find "$2" -print | sort | zip -q -X -9 -@ "$zip_path")
}

windows_zip() {  # x64 | x86
  local dir=build/release-win32
  [ "$1" = x64 ] && dir=build/release-win64
  build "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$1.cmake
  local top=QelvaView-$version
  rm -rf "$stage/$1"
  mkdir -p "$stage/$1"
  cp -R "$dir/install" "$stage/$1/$top"
  normalize "$stage/$1"
  zip_folder "$stage/$1" "$top" "$out/QelvaView-$version-windows-$1.zip"
}

linux_built=
linux_build() {  # once for the .deb and the tarball
  [ -n "$linux_built" ] && return 0
  build build/release-linux
  linux_built=1
  # What Debian's strip leaves out too: the compiler's version notes.
  strip --remove-section=.comment --remove-section=.note build/release-linux/install/bin/qelvaconv
  local reported
  reported=$(build/release-linux/install/bin/qelvaconv --version)
  if [ "$reported" != "qelvaconv $version" ]; then
    echo "release.sh: qelvaconv --version says '$reported', not 'qelvaconv $version'" >&2
    exit 1
  fi
}

tarball() {
  linux_build
  local top=qelvaconv-$version-linux-x86_64
  local install=build/release-linux/install
  rm -rf "$stage/tar"
  mkdir -p "$stage/tar/$top"
  cp -R "$install/bin" "$stage/tar/$top/"
  mkdir -p "$stage/tar/$top/share"
  cp -R "$install/share/man" "$install/share/bash-completion" "$stage/tar/$top/share/"
  cp LICENSE THIRD_PARTY_NOTICES.txt "$stage/tar/$top/"
  sed -e "s/@PROJECT_VERSION@/$version/g" -e "s/@GLIBC@/$(glibc_needed)/g" \
    packaging/linux/README.in > "$stage/tar/$top/README"
  normalize "$stage/tar"
  chmod 755 "$stage/tar/$top/bin/qelvaconv"
  tar -C "$stage/tar" --sort=name --format=gnu --owner=0 --group=0 --numeric-owner \
    --mtime="@$SOURCE_DATE_EPOCH" -cf - "$top" | gzip -9 -n > "$out/$top.tar.gz"
}

# The libraries qelvaconv needs as dpkg-shlibdeps finds them: "libc6 (>= 2.xx)" alone, since
# libstdc++, libgcc and zlib are linked static.
linux_depends() {
  local scratch=$stage/shlibdeps
  mkdir -p "$scratch/debian/qelvaconv/usr/bin" "$scratch/debian/qelvaconv/DEBIAN"
  printf 'Source: qelvaconv\n\nPackage: qelvaconv\nArchitecture: amd64\n' > "$scratch/debian/control"
  cp build/release-linux/install/bin/qelvaconv "$scratch/debian/qelvaconv/usr/bin/"
  local depends
  depends=$(cd "$scratch" && dpkg-shlibdeps -O debian/qelvaconv/usr/bin/qelvaconv |
    sed -n 's/^shlibs:Depends=//p')
  case $depends in
    "libc6 (>= "*")") echo "$depends" ;;
    *) echo "release.sh: qelvaconv needs more than glibc: '$depends'" >&2; return 1 ;;
  esac
}
glibc_needed() { linux_depends | sed 's/^libc6 (>= \(.*\))$/\1/'; }

debian_package() {
  linux_build
  local install=build/release-linux/install
  local root_dir=$stage/deb/root
  rm -rf "$stage/deb"
  mkdir -p "$root_dir/DEBIAN" "$root_dir/usr/bin" "$root_dir/usr/share/man/man1" \
    "$root_dir/usr/share/bash-completion/completions" "$root_dir/usr/share/doc/qelvaconv"
  cp "$install/bin/qelvaconv" "$root_dir/usr/bin/"
  gzip -9 -n -c "$install/share/man/man1/qelvaconv.1" > "$root_dir/usr/share/man/man1/qelvaconv.1.gz"
  cp "$install/share/bash-completion/completions/qelvaconv" \
    "$root_dir/usr/share/bash-completion/completions/"
  local doc=$root_dir/usr/share/doc/qelvaconv
  python3 scripts/third_party_notices.py --debian-copyright > "$doc/copyright"
  cp THIRD_PARTY_NOTICES.txt "$doc/"
  sed -e "s/@DEB_VERSION@/$deb_version/g" \
    -e "s/@DATE@/$(date -u -R -d "@$SOURCE_DATE_EPOCH")/g" packaging/debian/changelog.in |
    gzip -9 -n > "$doc/changelog.Debian.gz"

  # zlib is linked static on purpose (one program, nothing beside it): lintian is told so.
  mkdir -p "$root_dir/usr/share/lintian/overrides"
  cp packaging/debian/lintian-overrides "$root_dir/usr/share/lintian/overrides/qelvaconv"
  local shlibs
  shlibs=$(linux_depends)
  # The static libraries it carries, for Built-Using.
  local built_using
  built_using=$(dpkg-query -W -f='${source:Package} (= ${source:Version})' zlib1g-dev),
  built_using+=" "$(dpkg-query -W -f='${source:Package} (= ${source:Version})' libstdc++-12-dev)
  local size
  size=$(du -k -s --apparent-size --exclude=DEBIAN "$root_dir" | cut -f1)
  sed -e "s/@DEB_VERSION@/$deb_version/g" -e "s/@DEPENDS@/$shlibs/g" \
    -e "s/@BUILT_USING@/$built_using/g" -e "s/@INSTALLED_SIZE@/$size/g" \
    packaging/debian/control.in > "$root_dir/DEBIAN/control"
  normalize "$root_dir"
  chmod 755 "$root_dir/usr/bin/qelvaconv"
  (cd "$root_dir" && find usr -type f | sort | xargs md5sum) > "$root_dir/DEBIAN/md5sums"
  chmod 644 "$root_dir/DEBIAN/md5sums"
  touch -d "@$SOURCE_DATE_EPOCH" "$root_dir/DEBIAN/md5sums"
  dpkg-deb --root-owner-group -Zxz --build "$root_dir" "$out/qelvaconv_${version}_amd64.deb" >/dev/null
}

started=$SECONDS
written=()
if wants win64; then windows_zip x64; written+=("QelvaView-$version-windows-x64.zip"); fi
if wants win32; then windows_zip x86; written+=("QelvaView-$version-windows-x86.zip"); fi
if wants deb; then debian_package; written+=("qelvaconv_${version}_amd64.deb"); fi
if wants tar; then tarball; written+=("qelvaconv-$version-linux-x86_64.tar.gz"); fi
(cd "$out" && sha256sum "${written[@]}" > SHA256SUMS)
rm -rf "$stage"

echo
echo "release.sh: packages of QelvaView $version in $out/ ($((SECONDS - started)) s):"
sed 's/^/  /' "$out/SHA256SUMS"
