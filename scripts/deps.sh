#!/usr/bin/env bash
# Installs the Debian packages the workstation and its tests need.
# Idempotent: does nothing (quickly) when everything is already installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-qpa-plugins libgl-dev
  unixodbc unixodbc-dev odbc-mariadb
  mariadb-server mariadb-client
  libgtest-dev googletest
  fonts-noto-cjk python3-fonttools clang-format poppler-utils qt6-translations-l10n
  qt6-httpserver-dev qt6-websockets-dev libqt6sql6-sqlite chromium nginx openssl
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
if ! $SUDO apt-get install -y --no-install-recommends "${missing[@]}"; then
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
