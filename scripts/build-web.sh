#!/usr/bin/env bash
# Builds the web page into build/web/site/ (index.html at its root): the core compiled to
# WebAssembly with Debian's Emscripten, the binding layer, the page's files and fflate.
#
#   bash scripts/build-web.sh
#
# Needs what scripts/setup.sh installs (emscripten, the deb-src entry for zlib's source, npm).
# zlib is compiled with emcc from Debian's source (fetched once into build/web/deps/), so the
# page's PNG files hold the same bytes as the native converter's. Debian's Emscripten carries its
# system libraries prebuilt in a frozen cache that it only reads, so nothing is built there on
# first use and nothing is written outside the repository. QELVA_JOBS sets the parallel jobs (default: the cores, at most 2).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${QELVA_JOBS:-$(nproc)}
[ "$jobs" -gt 2 ] && [ -z "${QELVA_JOBS:-}" ] && jobs=2

zlib_version=1:1.2.13.dfsg-1
out=build/web
deps=$out/deps
export NODE_PATH=/usr/share/nodejs        # Emscripten's acorn (node-acorn) lives there
mkdir -p "$deps"

# fflate, pinned by web/package-lock.json.
if [ ! -f web/node_modules/fflate/esm/browser.js ]; then
  (cd web && npm ci --no-audit --no-fund)
fi

# zlib, from Debian's source package, as a static library for wasm.
zlib_src=$deps/zlib
zlib_lib=$deps/zlib-wasm/libz.a
if [ ! -f "$zlib_src/deflate.c" ]; then
  (cd "$deps" && apt-get source --download-only "zlib=$zlib_version" >/dev/null \
    && rm -rf zlib && dpkg-source -x zlib_*.dsc zlib >/dev/null)
fi
if [ ! -f "$zlib_lib" ]; then
  mkdir -p "$deps/zlib-wasm"
  objects=()
  for c in adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil; do
    emcc -O2 -c "$zlib_src/$c.c" -o "$deps/zlib-wasm/$c.o"
    objects+=("$deps/zlib-wasm/$c.o")
  done
  emar rcs "$zlib_lib" "${objects[@]}"
fi

emcmake cmake -S . -B "$out/cmake" -DCMAKE_BUILD_TYPE=Release -DQELVA_TESTS=OFF -DQELVA_BENCH=OFF \
  -DZLIB_INCLUDE_DIR="$root/$zlib_src" -DZLIB_LIBRARY="$root/$zlib_lib" >/dev/null
cmake --build "$out/cmake" -j "$jobs" --target qelva_site
rm -rf "$out/site"
cp -r "$out/cmake/web/site" "$out/site"
echo "build-web: the page is in $out/site/"
