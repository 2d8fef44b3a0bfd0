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

"$tool" --workdir "$workdir" --timeout 300 "${env_args[@]}" -- "$@"
status=$?
if [ "$status" -eq 125 ]; then
  echo "SKIPPED: the ALSA VM could not start (alsa-vm exit status 125)"
  exit 77
fi
exit "$status"
