#!/usr/bin/env bash
# Runs a test binary next to a real ALSA sequencer inside the alsa-vm tool's VM.
# Exits 77 (the test counts as skipped) when the VM is not available here.
#
#   run-in-vm.sh ALSA_VM WORKDIR TEST_BINARY [ARGS...]
set -u
tool=$1
workdir=$2
shift 2

if [ ! -x "$tool" ]; then
  echo "SKIPPED: the ALSA VM tool is not available ($tool not found)"
  exit 77
fi

env_args=(--env QUILLMARK_MIDI=alsa)
for name in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
  if [ -n "${!name:-}" ]; then
    env_args+=(--env "$name=${!name}")
  fi
done

# The first run on a machine installs alsa-vm's packages and builds its cache; the suites
# ctest starts beside it wait for that under one lock instead of failing to boot.
( flock 9 && "$tool" --prepare ) 9>"$workdir/alsa-vm-prepare.lock" >/dev/null 2>&1

"$tool" --workdir "$workdir" --timeout 300 "${env_args[@]}" -- "$@"
status=$?
if [ "$status" -eq 125 ]; then
  # Under CI a suite that could have run must not pass as skipped.
  if [ "${CI:-}" = true ] && "$tool" --selftest >/dev/null 2>&1; then
    echo "FAILED: the ALSA VM did not start for this suite, though alsa-vm --selftest passes"
    exit 1
  fi
  echo "SKIPPED: the ALSA VM could not start (alsa-vm exit status 125)"
  exit 77
fi
echo "RAN IN THE VM: $(basename "$1")"
exit "$status"
