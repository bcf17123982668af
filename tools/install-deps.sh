#!/usr/bin/env bash
# Installs the Debian packages that are missing for what is asked:
#   play  building the game and its resource library, and playing it (the default)
#   test  all of play, plus the tests, the benchmarks and the fuzzing tool chain
# Works as root or, for another user, through sudo.
set -euo pipefail

play=(
  cmake g++ make pkg-config libx11-dev
  libsdl2-dev libsdl2-mixer-dev libgl-dev libgl1-mesa-dri
  libpng-dev libjpeg-dev zlib1g-dev libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core
  libgstreamer1.0-dev gstreamer1.0-plugins-base
)
test=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick libxtst-dev
  binutils-mingw-w64-x86-64 libassimp-dev
  gstreamer1.0-plugins-good
)

packages=()
for need in "${@:-play}"; do
  case "$need" in
    play) packages+=("${play[@]}") ;;
    test) packages+=("${play[@]}" "${test[@]}") ;;
    *) echo "usage: $0 [play|test]..." >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Not root and no sudo: install as root: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
