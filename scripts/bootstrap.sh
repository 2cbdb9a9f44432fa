#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# when they are missing.  Safe to run again: it installs nothing twice.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libfreetype-dev libpng-dev nlohmann-json3-dev libsdl2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  ccache lld python3
  fonts-wine binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 g++-mingw-w64-i686
  xvfb xauth
  libxml2-dev chromium
  wine64 g++-mingw-w64-x86-64 googletest
)

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
