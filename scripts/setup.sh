#!/usr/bin/env bash
# Installs from Debian's archive whatever the build, the tests and the app need
# and is not yet on this machine. Packages already present are left alone.
set -euo pipefail

packages=(
  cmake g++ make pkg-config googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  libfltk1.3-dev libxtst-dev libx11-dev fonts-wqy-microhei
  xvfb xdotool xclip x11-utils imagemagick
  clang-14 libclang-rt-14-dev unzip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
