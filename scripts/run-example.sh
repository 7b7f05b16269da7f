#!/usr/bin/env bash
# Values the example plan: installs what is missing (Debian packages), builds
# talvek (Release) and runs it on examples/basis.toml and examples/members.txt.
# The summary is printed; the CSV files land in results/ (or in the directory
# given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-results}
jobs=${JOBS:-$(nproc)}

packages=(cmake make g++ libtomlplusplus-dev libcli11-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DTALVEK_BUILD_TESTS=OFF -DTALVEK_BUILD_BENCH=OFF -DTALVEK_BUILD_HOST=ON >/dev/null
cmake --build "$build" --target talvek -j "$jobs" >/dev/null

# the summary ends with the directory of the CSV files
exec "$build/host/talvek" run --basis examples/basis.toml --members examples/members.txt --out "$out"
