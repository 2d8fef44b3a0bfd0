#!/usr/bin/env bash
# Coverage build (gcov, in build-coverage/): builds with --coverage, runs the suites that
# need no VM (the ALSA suites only add their own lines when the VM runs them), and prints
# line and branch coverage of the product code with gcovr (the per-file table goes to
# build-coverage/coverage.txt; gcovr 5 replaces a /dev/null given as its output).
#
#   scripts/coverage.sh [--with-vm]     --with-vm also runs the real-sequencer suites
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$here/build-coverage"
exclude=(-LE alsa)
[ "${1:-}" = --with-vm ] && exclude=()

"$here/scripts/setup.sh" --build-dir "$build_dir" --coverage
if ! command -v gcovr >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends gcovr
fi

find "$build_dir" -name '*.gcda' -delete
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --timeout 300 -j2 "${exclude[@]}" >/dev/null ||
  echo "coverage.sh: some tests failed; the figures still count what ran" >&2

filters=()
for d in app midi transfer file windows toolkit platform cli; do
  filters+=(--filter "$here/$d/")
done
# gcov writes its intermediate files into the working directory: keep them in the build.
cd "$build_dir"
gcovr --root "$here" "${filters[@]}" --exclude-unreachable-branches \
      --exclude-throw-branches --print-summary --txt "$build_dir/coverage.txt" "$build_dir"
