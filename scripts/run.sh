#!/usr/bin/env bash
# Sets up (see setup.sh) and starts Quillmark. Without a display it runs on a virtual
# one (Xvfb).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a "$here/build/bin/quillmark" "$@"
fi
exec "$here/build/bin/quillmark" "$@"
