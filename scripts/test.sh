#!/usr/bin/env bash
# Installs what the build and the tests need, builds, and runs every test:
# once in a normal build (with the engine also under valgrind), once built
# with AddressSanitizer and UndefinedBehaviorSanitizer; then a minute of
# fuzzing for each fuzz target. ImageMagick reads the run-length files back
# as a second opinion.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh programs libgtest-dev zlib1g-dev valgrind \
  clang libclang-rt-14-dev desktop-file-utils appstream imagemagick

jobs=$(nproc)
# ON outright: scripts/run.sh may have left this build without its tests.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DGYRELLE_SANITIZE=ON -DBUILD_TESTING=ON
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

scripts/fuzz.sh 60
