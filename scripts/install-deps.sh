#!/usr/bin/env bash
# Installs the Debian 12 packages given as arguments that are not installed
# yet. Needs root, or sudo.
set -euo pipefail
# "programs" stands for what building gyrelle and gyrelle-cli takes, so the
# scripts that build them cannot drift apart.
wanted=()
for p in "$@"; do
  if [[ $p == programs ]]; then
    wanted+=(cmake make g++ pkg-config libdevil-dev libdeflate-dev libisal-dev zlib1g-dev libstb-dev nlohmann-json3-dev qt6-base-dev)
  else
    wanted+=("$p")
  fi
done
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
((${#missing[@]})) || exit 0
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
"${as_root[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
