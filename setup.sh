#!/usr/bin/env bash
# Installs what is missing (Debian packages), builds, and then either starts the program
# ("run") or runs every test ("test"). Run as root on a fresh Debian machine.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake ninja-build pkg-config clang
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
  libsqlite3-dev sqlite3 libpcre2-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth fonts-dejavu-core python3-sqlparse ccache lua5.4 clang-format)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi

# Compiler cache keys relative to the checkout, so a clone in another folder (CI's) reuses what
# an earlier build compiled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
BUILD=${TESSALY_BUILD:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

case "${1:-run}" in
run)
  exec "$BUILD/bin/tessaly"
  ;;
test)
  export QT_QPA_PLATFORM=offscreen
  cd "$BUILD" && ctest --output-on-failure -j"$(nproc)"
  ;;
*)
  echo "usage: $0 [run|test]" >&2
  exit 2
  ;;
esac
