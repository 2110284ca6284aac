#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and the sanitizers, and runs each
# for SECONDS (default 60), one after the other. Fails on any crash,
# sanitizer report, or input that runs past the decoder's 10-second limit.
# Inputs that find something land in build-fuzz/findings/; keep them under
# fuzz/regressions/ once mended, where the normal suite reads them.
# Each run starts from the kept corpus alone with the same seed, so what one
# machine finds, any other finds again; FUZZ_SEED=N explores another path.
#
#     [FUZZ_SEED=N] scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
seed=${FUZZ_SEED:-1}
scripts/install-deps.sh clang libclang-rt-14-dev cmake make pkg-config libdevil-dev nlohmann-json3-dev

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DGYRELLE_SANITIZE=ON -DGYRELLE_FUZZ=ON -DGYRELLE_WITH_QT=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j2 --target decode_fuzzer config_fuzzer

findings=build-fuzz/findings
mkdir -p "$findings"
export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp
# A damaged header may ask for gigabytes: the allocation fails and the
# library says so, as it would in the helper.
export ASAN_OPTIONS=allocator_may_return_null=1
# run TARGET MAX_LEN DIR...: the kept corpus directories stay as they are;
# what the run learns goes to a scratch corpus, named first.
run() {
  local target=$1 max_len=$2
  shift 2
  local corpus=build-fuzz/corpus-$target
  rm -rf "$corpus"
  mkdir -p "$corpus"
  echo "== $target, $seconds s, seed $seed"
  build-fuzz/bin/"$target" -seed="$seed" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -malloc_limit_mb=4096 -max_len="$max_len" -print_final_stats=1 \
    -artifact_prefix="$findings/$target-" "$corpus" "$@" 2>&1 |
    grep -E '^(#[0-9]+.*DONE|==|stat::number_of_executed_units|SUMMARY)' || true
  if compgen -G "$findings/$target-*" >/dev/null; then
    echo "$target found something: $(ls "$findings/$target-"*)" >&2
    return 1
  fi
}
rm -f "$findings"/*
run decode_fuzzer 4096 fuzz/seeds/decode fuzz/regressions/decode
run config_fuzzer 65536 fuzz/seeds/config fuzz/regressions/config
