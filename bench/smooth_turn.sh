#!/usr/bin/env bash
# Builds and runs smooth_turn_bench with what it compares against at hand:
# ImageMagick's distort for the round trips, and pixman's own Lanczos filter
# (which the product does not use; see the bench's output for why).
#
#     bench/smooth_turn.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
# For this comparison only, never the product's.
scripts/install-deps.sh programs imagemagick libpixman-1-dev
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target smooth_turn_bench >/dev/null
build/bin/smooth_turn_bench "${1:-10}"
