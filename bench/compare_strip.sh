#!/usr/bin/env bash
# Makes the same frame strip three ways in one run and prints the ratios:
# gyrelle-cli end to end (read, build, write); the literal quadratic method
# end to end; and ImageMagick's fastest form of the job. Best of three runs
# each; peak memory is the maximum resident size /usr/bin/time reports.
# Then times gyrelle-cli alone on a strip of 566 MB. Exits 1 when
# gyrelle-cli is not 2.5 x faster than ImageMagick or outgrows its memory
# ceiling of 2.5 x the strip's bytes + 64 MiB.
#
#     bench/compare_strip.sh
set -euo pipefail
cd "$(dirname "$0")/.."
# ImageMagick and time are for this comparison only, never the product's.
scripts/install-deps.sh programs imagemagick time
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j2 --target gyrelle-cli gyrelle-decode strip_tool >/dev/null
bin=$PWD/build/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure NAME COMMAND...: best wall time of three runs in ms, and the peak
# resident size in KiB over them, into ms[NAME] and kib[NAME].
declare -A ms kib
measure() {
  local name=$1 best=0 peak=0
  shift
  for _ in 1 2 3; do
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
    end=$(date +%s%N)
    local took=$(((end - start) / 1000000)) rss
    rss=$(tail -1 "$work/rss")
    ((best == 0 || took < best)) && best=$took
    ((rss > peak)) && peak=$rss
  done
  ms[$name]=$best
  kib[$name]=$peak
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

status=0
side=256 frames=60
fill=$("$bin/strip_tool" picture samples/escort1.png $side "$work/ship.png")
strip_bytes=$((side * side * 3 * frames))
measure cli "$bin/gyrelle-cli" -n $frames -f "$fill" "$work/ship.png" "$work/cli.bmp"
measure literal "$bin/strip_tool" literal $frames "$work/ship.png" "$work/literal.bmp"
measure magick /usr/bin/convert "$work/ship.png" -duplicate $((frames - 1)) \
  -virtual-pixel background -background "#$fill" -interpolate nearest-neighbor -filter point \
  -distort SRT '%[fx:t*360/n]' -append +repage -type TrueColor "$work/magick.bmp"
cmp -s "$work/cli.bmp" "$work/literal.bmp" || { echo "gyrelle-cli and the literal method differ" >&2; status=1; }

ceiling_kib=$(((strip_bytes * 5 / 2 + 64 * 1024 * 1024) / 1024))
echo "Frame strip of a $side x $side ship, N = $frames, BMP ($(mib $((strip_bytes / 1024))) MiB), best of 3"
printf '  %-22s %9s %10s %12s\n' method time "ratio" "peak memory"
for name in cli literal magick; do
  case $name in
    cli) label=gyrelle-cli ;; literal) label="literal (quadratic)" ;; magick) label="ImageMagick convert" ;;
  esac
  printf '  %-22s %6d ms %9sx %8s MiB\n' "$label" "${ms[$name]}" "$(ratio "${ms[$name]}" "${ms[cli]}")" "$(mib "${kib[$name]}")"
done
speedup=$(ratio "${ms[magick]}" "${ms[cli]}")
echo "  gyrelle-cli is ${speedup}x as fast as ImageMagick (must be >= 2.5)," \
  "$(ratio "${ms[literal]}" "${ms[cli]}")x as fast as the literal method"
echo "  gyrelle-cli peak $(mib "${kib[cli]}") MiB, ceiling $(mib $ceiling_kib) MiB"
awk -v s="$speedup" 'BEGIN { exit !(s >= 2.5) }' || status=1
((kib[cli] <= ceiling_kib)) || status=1

side=512 frames=720
fill=$("$bin/strip_tool" picture samples/escort1.png $side "$work/big.png")
strip_bytes=$((side * side * 3 * frames))
ceiling_kib=$(((strip_bytes * 5 / 2 + 64 * 1024 * 1024) / 1024))
start=$(date +%s%N)
/usr/bin/time -f %M -o "$work/rss" "$bin/gyrelle-cli" -n $frames -f "$fill" "$work/big.png" "$work/big-strip.png"
took=$((($(date +%s%N) - start) / 1000000))
rss=$(tail -1 "$work/rss")
echo "Frame strip of a $side x $side ship, N = $frames, PNG ($(mib $((strip_bytes / 1024))) MiB), one run"
echo "  gyrelle-cli $took ms, peak $(mib "$rss") MiB, ceiling $(mib $ceiling_kib) MiB"
((rss <= ceiling_kib)) || status=1
((status == 0)) && echo "All within bounds." || echo "OUT OF BOUNDS" >&2
exit $status
