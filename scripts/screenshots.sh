#!/usr/bin/env bash
# Takes the README's screenshots (docs/*.png) of the real windows on a virtual display,
# against the virtual MIDI instrument, with the preferences in a throw-away folder.
#
#   scripts/screenshots.sh [build-dir]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}

cmake --build "$build" --target quillmark_screenshots >/dev/null
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME="$config" QUILLMARK_MIDI=virtual QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/bin/quillmark_screenshots" "$here/docs"
