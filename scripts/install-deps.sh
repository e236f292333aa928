#!/usr/bin/env bash
# Installs what Platovix needs to build, run and test on Debian 12, where it
# is missing. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(cmake g++ ninja-build qt6-base-dev libgl1-mesa-dev libgtest-dev googletest
          libbenchmark-dev xvfb xauth xclip
          clang libclang-rt-14-dev llvm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
