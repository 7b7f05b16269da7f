#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
# 'apt-get update' runs only then; sudo is used when not root.
#   scripts/install-deps.sh            everything the tests and benchmarks need
#   scripts/install-deps.sh --run      only what building and running talvek needs
#   scripts/install-deps.sh PKG...     the former plus further packages
set -euo pipefail
packages=(cmake make g++ pkg-config libtomlplusplus-dev libcli11-dev)
if [ "${1:-}" = "--run" ]; then
  shift
else
  packages+=(binutils libgtest-dev libbenchmark-dev nlohmann-json3-dev)
  # the Python module's tests and its report checked in a browser
  packages+=(python3 python3-numpy python3-pandas python3-matplotlib python3-pytest chromium)
fi
packages+=("$@")
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
