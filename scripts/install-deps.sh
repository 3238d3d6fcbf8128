#!/usr/bin/env bash
# Installs, with apt-get, the Debian 12 packages that building, running and testing KT57D need.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git python3 python3-junitparser
  libcpp-httplib-dev
  chromium chromium-driver python3-selenium
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev fonts-ipafont-gothic xvfb xauth x11-utils xdotool imagemagick
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64
  clang libclang-rt-14-dev
  strace nsis lintian desktop-file-utils man-db unzip sigrok-cli gtkwave
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
