#!/usr/bin/env bash
# Installs what the builds and tests need from Debian's archive. Does nothing when all is there.
set -euo pipefail

pkgs=(
  build-essential cmake ninja-build ccache clang llvm libclang-rt-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64 libwine-dev
  wine wine64 wine32:i386
  xvfb x11-apps imagemagick fonts-noto-cjk fonts-ipafont-gothic fonts-wine xdotool
  libpugixml-dev googletest libgtest-dev libssl-dev zbar-tools libqrencode-dev pkg-config
  chromium openssl xxd python3 curl osslsigncode wixl msitools
)

sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_ dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${pkgs[@]}"; do
  name=${p%%:*}; arch=${p#*:}; [ "$arch" = "$p" ] && arch=
  if [ -n "$arch" ]; then q="$name:$arch"; else q="$name"; fi
  dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
sudo_ apt-get update -qq
sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}"
