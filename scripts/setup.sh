#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks (only when missing), then configures and
# builds Quillmark. Idempotent: a second run only rebuilds what changed.
#
#   scripts/setup.sh [--build-dir DIR] [--sanitize address|thread] [--werror] [--coverage]
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$here/build"
sanitize=""
werror=OFF
coverage=OFF
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir=$2; shift 2 ;;
    --sanitize) sanitize=$2; shift 2 ;;
    --werror) werror=ON; shift ;;
    --coverage) coverage=ON; shift ;;
    *) echo "setup.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

packages=(g++ cmake ninja-build pkgconf qt6-base-dev libqt6opengl6-dev qt6-tools-dev
          qt6-tools-dev-tools qt6-l10n-tools libasound2-dev libgtest-dev libgmock-dev
          libbenchmark-dev xvfb xauth attr midicsv desktop-file-utils appstream dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# ccache, where the machine has it, makes rebuilds in fresh build folders cheap.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLMARK_SANITIZE="$sanitize" -DQUILLMARK_WERROR="$werror" \
    -DQUILLMARK_COVERAGE="$coverage" "${launcher[@]}"
fi
cmake --build "$build_dir"
