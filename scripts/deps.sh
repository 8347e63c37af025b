#!/usr/bin/env bash
# Installs the Debian packages the project needs (builds, tests, demo, benchmark).
# Works as root, or as a user with sudo. Runs apt-get update only when a package is missing
# from the package lists.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libgl-dev
  mdbtools mdbtools-dev
  libsqlite3-dev sqlite3
  libseccomp-dev
  clang libclang-rt-dev clang-format
  xvfb xauth fonts-dejavu-core openbox x11-utils
  qt6-translations-l10n
  dpkg-dev lintian desktop-file-utils appstream librsvg2-bin
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "deps.sh: these packages are missing and there is no sudo: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
if ! $SUDO apt-get install -y --no-install-recommends "${missing[@]}"; then
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
