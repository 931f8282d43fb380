#!/usr/bin/env bash
# Installs every Debian package Morvex needs to build, test and run.
# Idempotent: packages already present are left alone; apt-get update runs once,
# and only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config
  zlib1g-dev libpng-dev
  # Labels of authored menus: fonts, shaping and drawing.
  libfreetype-dev libharfbuzz-dev libfontconfig-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6opengl6-dev
  libgl-dev
  xvfb xauth
  libbluray-bin libbluray-dev ffmpeg
  # The demo generator sets its menu labels in DejaVu Sans.
  fonts-dejavu-core
  librsvg2-bin
  # Installing and packaging: the checks of scripts/package-check.sh and CPack's
  # Debian generator (dpkg-shlibdeps computes the package's dependencies).
  desktop-file-utils appstream libxml2-utils shared-mime-info man-db
  dpkg-dev file
  python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
