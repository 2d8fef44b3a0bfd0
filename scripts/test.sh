#!/usr/bin/env bash
# Sets up (see setup.sh) and runs the whole test suite headless.
#
#   scripts/test.sh                      the normal build in build/
#   scripts/test.sh --sanitize address   AddressSanitizer + UBSan build in build-asan/
#   scripts/test.sh --sanitize thread    ThreadSanitizer build in build-tsan/, running
#                                        the concurrency tests
#   scripts/test.sh --werror             warnings as errors (CI)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
sanitize=""
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) sanitize=$2; args+=("$1" "$2"); shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
case "$sanitize" in
  "") build_dir="$here/build" ;;
  address) build_dir="$here/build-asan" ;;
  thread) build_dir="$here/build-tsan" ;;
  *) echo "test.sh: unknown sanitizer $sanitize" >&2; exit 2 ;;
esac

"$here/scripts/setup.sh" --build-dir "$build_dir" "${args[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/tests/lsan.supp}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$here/tests/tsan.supp}

filter=()
[ "$sanitize" = thread ] && filter=(-R Concurrency)
status=0
ctest --test-dir "$build_dir" --output-on-failure --timeout 300 -j2 "${filter[@]}" || status=$?
# Which real-sequencer suites ran in the VM (the others skipped and said why above).
ran=$(grep -ho "RAN IN THE VM: .*" "$build_dir/Testing/Temporary/LastTest.log" 2>/dev/null |
      sed 's/RAN IN THE VM: //' | sort -u | tr '\n' ' ' || true)
echo "Suites run in the ALSA VM: ${ran:-none}"
exit "$status"
