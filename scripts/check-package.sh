#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get as a user would, and
# runs both programs from /usr/bin. It installs packages system-wide, so run
# it as root on a machine meant for it, such as a fresh root:
#
#     ../shared/tools/fresh-debian scripts/check-package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-dev and file: dpkg-shlibdeps works out the package's Depends.
scripts/install-deps.sh programs dpkg-dev file

cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build-package -j"$(nproc)" --target gyrelle gyrelle-cli gyrelle-decode
rm -f build-package/gyrelle_*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb=$(echo build-package/gyrelle_*_amd64.deb)
[[ -f $deb ]] || { echo "check-package: no package made" >&2; exit 1; }
echo "Package: $deb"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libdevil1c2 libqt6widgets6 libisal2; do
  [[ $depends == *"$library"* ]] || { echo "check-package: Depends lacks $library" >&2; exit 1; }
done

DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/gyrelle-cli --frames 16 --mask samples/escort1.png "$work/strip.png"
[[ -s $work/strip.png && -s $work/strip-mask.BMP ]] ||
  { echo "check-package: gyrelle-cli wrote no strip" >&2; exit 1; }
echo "gyrelle-cli: $(/usr/bin/gyrelle-cli --version), strip of $(stat -c %s "$work/strip.png") bytes"
# Without --version of its own the program would open its window: a timeout.
version=$(QT_QPA_PLATFORM=offscreen timeout 10 /usr/bin/gyrelle --version) ||
  { echo "check-package: gyrelle --version failed ($?)" >&2; exit 1; }
echo "gyrelle: $version"
echo "check-package: installed and ran fine"
