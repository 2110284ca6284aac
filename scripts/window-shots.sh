#!/bin/bash
# Drives the desktop program under a virtual X server as a person would
# (menus clicked, keys typed, the window's corner dragged) and leaves
# screenshots in OUT, checking each step against what it must show:
#  - Frame Number: the dialog opens, 64 is typed, Enter: the count is 64;
#  - zoom 4x of a 32 x 32 ship: blocks of 4 x 4 identical pixels;
#  - Spin plays a 16-frame sheet, the frames in order; stopped, the sheet;
#  - the window dragged larger has a larger preview, and the next start
#    has that size.
# Not part of the tests: it needs Xvfb, xdotool and ImageMagick.
# Usage: scripts/window-shots.sh [BUILD_BIN [OUT]]
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=$(realpath "${1:-$ROOT/build/bin}")
OUT=$(realpath -m "${2:-$ROOT/window-shots}")
mkdir -p "$OUT"
WORK=$(mktemp -d)
# The program keeps config.txt beside itself: here, not in the build.
cp "$BIN/gyrelle" "$BIN/gyrelle-decode" "$WORK/"
export DISPLAY=:${SHOTS_DISPLAY:-57}
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
APP=
trap 'if [ -n "$APP" ]; then kill $APP 2>/dev/null; fi; kill $XVFB 2>/dev/null; rm -rf "$WORK"' EXIT
sleep 1

failures=0
check() {  # check WHAT COMMAND...: prints ok or FAILED
  local what=$1
  shift
  if "$@"; then echo "ok      $what"; else echo "FAILED  $what"; failures=$((failures + 1)); fi
}

# A 32 x 32 ship without transparency, and its 16-frame sheet made by the
# command-line tool, which writes what the window makes.
convert "$ROOT/samples/firefly.png" -background '#203040' -flatten -sample 32x32 \
  -alpha off "PNG24:$WORK/ship32.png"
"$BIN/gyrelle-cli" -n 16 "$WORK/ship32.png" "$WORK/sheet.png"

W=
start() {
  "$WORK/gyrelle" "$@" &
  APP=$!
  for _ in $(seq 50); do
    W=$(xdotool search --name '^Gyrelle v' 2>/dev/null | head -1) && [ -n "$W" ] && break
    sleep 0.1
  done
  sleep 0.5
}
click() { xdotool mousemove --window "$W" "$1" "$2" click 1; sleep 0.4; }
shot() { import -window "$W" "$OUT/$1.png"; }
# Window coordinates: the menu bar is 18 pixels tall; the preview control
# starts at (11, 11) of the client area.
MENU=18
menu_frames() { click 58 8; click 110 28; }
menu_exit() { click 17 8; click 45 96; }
# Whether crop AxB+X+Y of screenshot $1 equals picture $2 pixel for pixel.
same() {
  convert "$1" -crop "$3" +repage "$WORK/crop.png"
  [ "$(compare -metric AE "$WORK/crop.png" "$2" null: 2>&1)" = 0 ]
}
# Activates the window, as a person's click does, so its shortcuts answer.
activate() { click 200 150; }

start "$WORK/ship32.png"
shot 00-start

# Frame Number: typing replaces the count at once, Enter is OK.
menu_frames
D=$(xdotool search --name '^Frame Number$' | head -1)
import -window "$D" "$OUT/01-frame-number-opened.png"
xdotool type --delay 40 64
import -window "$D" "$OUT/02-frame-number-typed-64.png"
xdotool key Return
sleep 0.4
menu_frames
D=$(xdotool search --name '^Frame Number$' | head -1)
import -window "$D" "$OUT/03-frame-number-reopened.png"
xdotool key Escape
sleep 0.3
menu_exit
wait $APP || true
APP=
check "Frame Number: 64 typed after opening, Enter: the count is 64" \
  grep -q "FRAMES=64;" "$WORK/config.txt"

start "$WORK/ship32.png"
menu_frames
xdotool type --delay 40 16
xdotool key Return
sleep 0.4

# Zoom 4x of the 32 x 32 ship: 128 x 128 pixels at (11 + 92, 11 + 67).
activate
xdotool key ctrl+4
sleep 0.4
shot 04-zoom-4x
convert "$OUT/04-zoom-4x.png" -crop 128x128+103+$((78 + MENU)) +repage "$WORK/zoomed.png"
convert "$WORK/zoomed.png" -sample 32x32 "$WORK/down.png"
convert "$WORK/down.png" -sample 128x128 "$WORK/up.png"
check "zoom 4x: every 4 x 4 block one pixel" same "$WORK/zoomed.png" "$WORK/up.png" 128x128+0+0
check "zoom 4x: those pixels are the ship's" same "$WORK/down.png" "$WORK/ship32.png" 32x32+0+0
xdotool key ctrl+1
sleep 0.3

# Rotate, then Spin: each screenshot's frame, centred in the preview at
# (11 + 140, 11 + 115), is matched to a frame of the sheet.
click 300 $((313 + MENU))
sleep 1
shot 05-sheet
for k in $(seq 0 15); do
  convert "$WORK/sheet.png" -crop 32x32+0+$((32 * k)) +repage "$WORK/frame$k.png"
done
# 5 frames a second, so that screenshots keep up with every frame.
click 104 8
click 120 52
xdotool key ctrl+p
sleep 0.1
for i in $(seq -w 0 89); do shot "spin-$i"; done
seen=()
for i in $(seq -w 0 89); do
  for k in $(seq 0 15); do
    if same "$OUT/spin-$i.png" "$WORK/frame$k.png" 32x32+151+$((126 + MENU)); then
      seen+=("$k")
      break
    fi
  done
done
echo "frames seen in the screenshots, in order: ${seen[*]}"
# One screenshot of each frame in turn, the preview's middle and the status
# line side by side.
strip=()
last=-1
for i in $(seq -w 0 89); do
  k=${seen[$((10#$i))]:-}
  if [ -n "$k" ] && [ "$k" != "$last" ] && [ ${#strip[@]} -lt 17 ]; then
    convert "$OUT/spin-$i.png" \( -clone 0 -crop 96x96+119+$((94 + MENU)) +repage \) \
      \( -clone 0 -crop 108x16+99+$((304 + MENU)) +repage -gravity center -extent 108x96 \) -delete 0 \
      +append "$WORK/seq-$i.png"
    strip+=("$WORK/seq-$i.png")
    last=$k
  fi
done
convert "${strip[@]}" -append "$OUT/09-spin-sequence.png"
in_order() {
  [ ${#seen[@]} -ge 20 ] || return 1
  local distinct=0 previous=${seen[0]}
  for k in "${seen[@]:1}"; do
    local step=$(((k - previous + 16) % 16))
    [ $step -le 1 ] || return 1  # forward, none skipped
    [ $step -gt 0 ] && distinct=$((distinct + 1))
    previous=$k
  done
  [ $distinct -ge 16 ]
}
check "Spin: the frames go round in order" in_order
xdotool key ctrl+p
sleep 0.4
shot 06-spin-stopped
convert "$OUT/05-sheet.png" -crop 310x260+12+$((12 + MENU)) +repage "$WORK/sheet-view.png"
check "Spin off: the sheet again" same "$OUT/06-spin-stopped.png" "$WORK/sheet-view.png" \
  310x260+12+$((12 + MENU))

# The window dragged larger by its corner.
read -r before_w before_h < <(xdotool getwindowgeometry "$W" | awk '/Geometry/ {split($2, s, "x"); print s[1], s[2]}')
xdotool mousemove --window "$W" $((before_w - 3)) $((before_h - 3)) mousedown 1 sleep 0.2 \
  mousemove --window "$W" $((before_w + 197)) $((before_h + 147)) sleep 0.2 mouseup 1
sleep 0.6
shot 07-grown
read -r grown_w grown_h < <(xdotool getwindowgeometry "$W" | awk '/Geometry/ {split($2, s, "x"); print s[1], s[2]}')
echo "window ${before_w}x${before_h} dragged to ${grown_w}x${grown_h}"
# The preview's black frame: its right edge follows the window's.
frame_right() { convert "$1" -crop "x1+0+$((100 + MENU))" +repage txt:- | awk -F'[,: ]+' '/#000000/ {x = $1} END {print x}'; }
echo "preview's right edge at x = $(frame_right "$OUT/05-sheet.png"), then $(frame_right "$OUT/07-grown.png")"
check "the grown window's preview is larger" \
  test "$(frame_right "$OUT/07-grown.png")" -ge $(($(frame_right "$OUT/05-sheet.png") + 190))
menu_exit
wait $APP || true
APP=
echo "config.txt after the run:"
sed 's/^/    /' "$WORK/config.txt"

start
shot 08-next-start
read -r next_w next_h < <(xdotool getwindowgeometry "$W" | awk '/Geometry/ {split($2, s, "x"); print s[1], s[2]}')
check "the next start has the grown size (${next_w}x${next_h})" \
  test "${next_w}x${next_h}" = "${grown_w}x${grown_h}"
menu_exit
wait $APP || true
APP=

echo "screenshots in $OUT"
exit $((failures > 0))
