#!/usr/bin/env bash
# installed_files_test.sh CMAKE BUILD_DIR SAMPLE: installs the build into a
# scratch root and checks it as a desktop and a user meet it: every file in
# its place, the installed gyrelle-cli finding its decoder under libexec,
# and the menu entry and the AppStream data passing their validators without
# a remark.
set -euo pipefail
cmake=$1 build=$2 sample=$3
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root "$cmake" --install "$build" --prefix /usr >/dev/null
usr=$root/usr

expect=(bin/gyrelle-cli libexec/gyrelle/gyrelle-decode share/man/man1/gyrelle-cli.1
  share/bash-completion/completions/gyrelle-cli)
desktop=0
if [[ -e $usr/bin/gyrelle ]]; then
  desktop=1
  expect+=(bin/gyrelle share/man/man1/gyrelle.1 share/applications/gyrelle.desktop
    share/metainfo/io.github.gyrelle.Gyrelle.metainfo.xml
    share/icons/hicolor/scalable/apps/gyrelle.svg)
  for size in 16 24 32 48 64 128 256; do
    expect+=(share/icons/hicolor/${size}x$size/apps/gyrelle.png)
  done
fi
for file in "${expect[@]}"; do
  [[ -s $usr/$file ]] || { echo "not installed: $file" >&2; exit 1; }
done
# The decoder is no command of its own.
[[ ! -e $usr/bin/gyrelle-decode ]] || { echo "gyrelle-decode installed in bin" >&2; exit 1; }

"$usr/bin/gyrelle-cli" -n 4 --mask "$sample" "$root/strip.png"
[[ -s $root/strip.png && -s $root/strip-mask.BMP ]]

completion=$usr/share/bash-completion/completions/gyrelle-cli
bash -n "$completion"
# Every option the help lists is in the man page and the completion.
for option in $("$usr/bin/gyrelle-cli" --help | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u); do
  grep -qE -- "${option//-/\\\\-}([^a-z0-9]|\$)" "$usr/share/man/man1/gyrelle-cli.1" ||
    { echo "gyrelle-cli.1 lacks $option" >&2; exit 1; }
  grep -qE -- "(^|[ '])$option( |'|\))" "$completion" || { echo "the completion lacks $option" >&2; exit 1; }
done
if ((desktop)); then
  remarks=$(desktop-file-validate "$usr/share/applications/gyrelle.desktop" 2>&1) || true
  [[ -z $remarks ]] || { echo "$remarks" >&2; exit 1; }
  # Errors fail the validator; warnings and infos fail here.
  remarks=$(appstreamcli validate --no-net "$usr/share/metainfo/io.github.gyrelle.Gyrelle.metainfo.xml")
  ! grep -E '^[EWI]:' <<<"$remarks" || exit 1
fi
echo "installed files fine"
