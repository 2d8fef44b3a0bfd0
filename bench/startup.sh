#!/bin/sh
# Start to main window shown (goal <= 300 ms) and idle resident memory (goal <= 60 MB).
#
#   bench/startup.sh [build-dir] [--xvfb]
#
# Builds bench_startup in the build directory (default: build), launches it RUNS times
# (default 7) and prints the median and the worst of both figures. Headless on Qt's
# offscreen platform by default; --xvfb runs on X11 under Xvfb, as on a desktop. The
# MIDI back end is the virtual one unless QUILLMARK_MIDI says otherwise, and the
# preferences go to a throw-away folder, not the user's.
set -eu

BUILD=build
XVFB=0
for arg in "$@"; do
    case "$arg" in
        --xvfb) XVFB=1 ;;
        *) BUILD=$arg ;;
    esac
done
RUNS=${RUNS:-7}

cmake --build "$BUILD" --target bench_startup >/dev/null
BIN="$BUILD/bin/bench_startup"

CONFIG=$(mktemp -d)
trap 'rm -rf "$CONFIG"' EXIT
export XDG_CONFIG_HOME="$CONFIG"
export QUILLMARK_MIDI="${QUILLMARK_MIDI:-virtual}"

run_once() {
    if [ "$XVFB" = 1 ]; then
        QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
            sh -c 'QM_BENCH_LAUNCH_NS=$(date +%s%N) exec "$0"' "$BIN"
    else
        QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
            sh -c 'QM_BENCH_LAUNCH_NS=$(date +%s%N) exec "$0"' "$BIN"
    fi
}

RESULTS=$(mktemp)
trap 'rm -rf "$CONFIG" "$RESULTS"' EXIT
i=0
while [ "$i" -lt "$RUNS" ]; do
    run_once 2>/dev/null >>"$RESULTS"
    i=$((i + 1))
done

summary() {
    grep "^$1 " "$RESULTS" | awk '{print $2}' | sort -n | awk -v name="$1" -v goal="$2" -v unit="$3" '
        { v[NR] = $1 }
        END {
            if (NR == 0) { print name ": no result"; exit 1 }
            median = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%-22s median %7.1f %s  worst %7.1f %s  (goal <= %s %s, %d runs)\n",
                   name, median, unit, v[NR], unit, goal, unit, NR
        }'
}

summary startup_ms 300 ms
summary idle_rss_mb 60 MB
