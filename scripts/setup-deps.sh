#!/usr/bin/env bash
# Installs every build, test and run dependency of Norvane with apt.
# Quick when everything is present: apt is only called for missing packages.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins libqt6test6 libgl-dev
  fonts-noto-cjk qt6-translations-l10n
  libtinyxml2-dev libboost-dev libusb-1.0-0-dev umockdev libumockdev-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev llvm clang-tidy clang-format
  xvfb xauth python3
  dpkg-dev fakeroot file lintian desktop-file-utils appstream shared-mime-info help2man fp-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup-deps: all dependencies present"
  exit 0
fi

echo "setup-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
else
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
