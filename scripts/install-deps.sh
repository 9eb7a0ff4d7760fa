#!/usr/bin/env bash
# Installs the Debian 12 packages Merovik needs to build, test and run; with
# --package-check also the checkers `make package-check` runs.
# Idempotent: only packages that are missing are installed.
set -euo pipefail

PACKAGES=(
  build-essential
  dpkg-dev
  cmake
  pkg-config
  libjpeg-dev
  libpng-dev
  qt6-base-dev
  qt6-base-dev-tools
  qt6-svg-dev
  libqt6svg6
  qt6-image-formats-plugins
  qt6-qpa-plugins
  qt6-translations-l10n
  libgl-dev
  libbenchmark-dev
  libcsv-dev
  libqpdf-dev
  ghostscript
  glabels-data
  fonts-liberation2
  fonts-dejavu-core
  xvfb
  xauth
  imagemagick
  poppler-utils
  desktop-file-utils
  shared-mime-info
  libxml2-utils
  clang
  libclang-rt-14-dev
  help2man
)
if [[ ${1:-} == --package-check ]]; then
  PACKAGES+=(lintian appstream)
fi

missing=()
for pkg in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  if [[ "$status" != "install ok installed" ]]; then
    missing+=("$pkg")
  fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
