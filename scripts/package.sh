#!/usr/bin/env bash
# Builds the two installers from the release set: build/package/Tellwick-<version>-x86.msi and
# -x64.msi. Every program, library and installer is signed with the build's test certificate
# (build/signing, made on first use); the sim variant is never packaged.
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/lib/signing.sh

signing=build/signing
out=build/package
tw_signing_cert "$signing"
mkdir -p "$out"
version=$(sed -n 's/^version=//p' packaging/product.txt)

for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done

for arch in x86 x64; do
  preset=win32; [ "$arch" = x64 ] && preset=win64
  stage=$out/stage-$arch
  rm -rf "$stage" && mkdir -p "$stage"
  # The release set, without the developer's tools or the debug information kept beside each
  # program; the display helper is always the 64-bit one.
  find "build/$preset/out/release" -maxdepth 1 -type f ! -name 'wickinfo.exe' ! -name '*.debug' -exec cp {} "$stage/" \;
  cp build/win64/out/release/vidassist.exe "$stage/"
  for f in "$stage"/*.exe "$stage"/*.dll; do tw_sign "$f" "$signing"; done
  msi="$out/Tellwick-${version%% *}-$arch.msi"
  python3 scripts/lib/make_wxs.py --arch "$arch" --stage "$stage" --product packaging/product.txt \
    --settings packaging/machine-settings.tsv --thumbprint "$(cat "$signing/maker.thumbprint")" \
    --out "$out/tellwick-$arch.wxs"
  wixl -a "$arch" -o "$msi" "$out/tellwick-$arch.wxs" 2> >(grep -v -e '^$' -e 'GLib-GObject-WARNING' >&2)
  tw_sign "$msi" "$signing"
  echo "$msi"
done
