#!/usr/bin/env bash
# Installs the Debian 12 or 13 packages the build and the program need, if any is missing.
# Packages named as arguments are installed as well: ./test.sh adds the tests' tools, the
# packaging scripts theirs.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev libgl-dev libxcb1-dev fonts-dejavu-core fonts-dejavu-extra qt6-translations-l10n ola libola-dev libgpiod-dev gpiod pkg-config qt6-httpserver-dev qt6-websockets-dev libqrencode-dev
  "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
