#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test QelvaView.
# Run as root. Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # native build, unit tests, benchmarks
  build-essential cmake g++ clang libgtest-dev googletest libbenchmark-dev
  # Windows builds and running them
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 xvfb fonts-ipafont-gothic fonts-wine locales
  # driving the viewer as a user would: real X input, screenshots
  xdotool x11-apps x11-utils python3-xlib
  # independent decoders for the peer checks and the benchmark's peer
  python3 python3-pil imagemagick libgif-dev pngcheck libpng-dev libclang-rt-14-dev
  # zlib for the PNG writer: natively and for the mingw-w64 builds (both linked static)
  zlib1g-dev libz-mingw-w64-dev
  # benchmark timing
  time
  # release packages (scripts/release.sh) and their checks (tests/release/)
  zip unzip dpkg-dev lintian man-db groff-base git
  # the web page: Emscripten, and headless Chromium driven by Selenium for its tests
  emscripten chromium chromium-driver python3-selenium
  # test.sh ends a stopped background stage's processes by their ids
  procps
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Node and npm: Emscripten runs on node, the page's libraries come from npm. A machine that has
# them already (from another source) keeps its own.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends nodejs npm
fi

# The web build compiles zlib from Debian's source package: apt needs the source index for that.
if ! apt-get source --print-uris zlib >/dev/null 2>&1; then
  cat > /etc/apt/sources.list.d/qelva-deb-src.sources <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  apt-get update
fi

# The page's npm packages (fflate), as web/package-lock.json pins them.
(cd "$(dirname "${BASH_SOURCE[0]}")/../web" && npm ci --no-audit --no-fund)

# Wine shows the viewer's Japanese texts only under a Japanese locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi
echo "setup: everything QelvaView needs is installed"
