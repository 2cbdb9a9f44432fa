#!/usr/bin/env bash
# Installs the Debian packages that are missing:
#   scripts/bootstrap.sh run    what building and running the simulator needs
#                               (./run.sh)
#   scripts/bootstrap.sh [test] that, and what the tests need besides: the
#                               test libraries, the cross compilers, Wine and
#                               a headless X server (./test.sh)
# Safe to run again: it installs nothing twice.
set -euo pipefail

# The compiler and build tools, the libraries the simulator links, its fonts
# (/usr/share/wine/fonts) and the resource compiler for the program's .rc.
packages=(
  g++ cmake ninja-build pkg-config ccache lld
  libfreetype-dev libpng-dev nlohmann-json3-dev libsdl2-dev
  fonts-wine binutils-mingw-w64-x86-64
)
if [ "${1:-test}" != "run" ]; then
  packages+=(
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    binutils-mingw-w64-i686 g++-mingw-w64-i686 g++-mingw-w64-x86-64
    xvfb xauth wine64
    python3 libxml2-dev chromium
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
