#!/usr/bin/env bash
# Installs the Debian packages Kalmo needs to build, test and run headless.
# Does nothing when every package is already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang libclang-rt-14-dev
  qt6-base-dev qt6-serialport-dev qt6-5compat-dev qt6-l10n-tools qt6-tools-dev
  libgl-dev libbenchmark-dev
  fonts-wqy-microhei xvfb xauth socat
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
