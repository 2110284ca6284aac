#!/usr/bin/env bash
# Installs what is missing, builds, makes the frame strip and mask of a
# bundled sample ship with gyrelle-cli, and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh programs

# The programs only: the tests, and what they need, are scripts/test.sh's.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j"$(nproc)" --target gyrelle-cli gyrelle
mkdir -p out
build/bin/gyrelle-cli --frames 32 --mask samples/escort1.png out/escort1-strip.png
echo "Frame strip: $PWD/out/escort1-strip.png"
echo "Mask:        $PWD/out/escort1-strip-mask.BMP"
exec build/bin/gyrelle
