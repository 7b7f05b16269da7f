#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
# 'apt-get update' runs only then; sudo is used when not root.
set -euo pipefail
packages=(cmake make g++ binutils pkg-config libgtest-dev libbenchmark-dev
          nlohmann-json3-dev libtomlplusplus-dev libcli11-dev "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
