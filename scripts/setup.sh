#!/usr/bin/env bash
# Installs the Debian packages the collector builds and tests with.
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6opengl6-dev
  xvfb xauth
  x11-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev
  libcli11-dev
  libnanoflann-dev
  libsqlite3-dev sqlite3 nettle-dev libxml2-utils desktop-file-utils dpkg-dev python3
  python3-scipy
  libexpat1-dev
  zlib1g-dev
  gdal-bin python3-gdal
  postgresql postgresql-15-postgis-3
  locales
  fonts-dejavu-core
  fonts-liberation2
  lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
