#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need, if any is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libjpeg62-turbo-dev libxml2-dev nlohmann-json3-dev
  googletest libgtest-dev
  iproute2 nftables jq xvfb xauth xdotool xclip x11-utils trayer imagemagick fonts-liberation
  xdg-utils dbus-daemon dbus-bin weston qt6-wayland
  dpkg-dev file lintian desktop-file-utils appstream man-db
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: missing packages (${missing[*]}) and no sudo to install them" >&2; exit 1; }
  sudo=sudo
fi
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
