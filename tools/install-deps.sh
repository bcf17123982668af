#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need, but only those missing.
set -euo pipefail
packages=(
  cmake g++ make pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libsdl2-mixer-dev libgl-dev libgl1-mesa-dri
  libpng-dev libjpeg-dev zlib1g-dev libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core
  xvfb xauth xdotool imagemagick libxtst-dev
  binutils-mingw-w64-x86-64 libassimp-dev
  libgstreamer1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
