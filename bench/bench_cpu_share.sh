#!/usr/bin/env bash
# How much of one core the program takes while it watches a meter, as a multiple of what decoding the same
# recording alone takes, measured in the same run: a 640x480 MJPEG recording at 25 frames a second of a
# turning disc with a mark, played in a loop as the remembered camera.
#   decoder   ffmpeg -threads 1 decoding the recording at its own rate
#   desktop   the program under xvfb-run with the camera screen open (the goal: at most 3 times the decoder)
#   headless  wattsight --headless (the goal: at most 1.5 times the decoder), and its resident memory at the end
# Each figure is user plus system time of the whole process (every thread) over a steady stretch after start-up,
# divided by the stretch's length. It reports; it never fails for a figure over its goal.
#
# usage: bench_cpu_share.sh [path/to/wattsight]
# WATTSIGHT_BENCH_SECONDS: the measured stretch (default 20); WATTSIGHT_BENCH_WARMUP: seconds before it (10).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="$(realpath "${1:-$root/build/src/wattsight}")"
seconds="${WATTSIGHT_BENCH_SECONDS:-20}"
warmup="${WATTSIGHT_BENCH_WARMUP:-10}"
for tool in ffmpeg xvfb-run awk; do
    command -v "$tool" >/dev/null || { echo "bench_cpu_share: $tool is needed (scripts/install-deps installs it)" >&2; exit 1; }
done
[ -x "$program" ] || { echo "bench_cpu_share: no program at $program" >&2; exit 1; }

work="$(mktemp -d)"
# Every process started, one id a line: the measurements run in subshells, which the exit trap does not see.
started="$work/started"
cleanup() {
    if [ -f "$started" ]; then
        while read -r pid; do kill "$pid" 2>/dev/null || true; done <"$started"
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The disc's edge seen through the meter's window: a light band on a grey plate, a dark mark crossing it every
# 4 s, sensor noise on every frame. Eight seconds, two turns, so the loop joins without a jump.
recording="$work/meter.avi"
disc="if(between(Y,H*0.4,H*0.6),if(between(mod(T/4,1)/0.4-X/W,0,0.4),15,120),100)"
ffmpeg -hide_banner -loglevel error -f lavfi \
    -i "color=c=gray:s=640x480:r=25:d=8,format=gray,geq=lum='$disc',noise=alls=6:allf=t,format=yuvj420p" \
    -c:v mjpeg -q:v 4 "$recording"

ticks_per_second="$(getconf CLK_TCK)"
# Percent of one core that process $1 uses over the measured stretch after the warm-up.
cpu_share() {
    local pid=$1 before after start end
    sleep "$warmup"
    [ -r "/proc/$pid/stat" ] || { echo "gone"; return; }
    before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    start=$(date +%s.%N)
    sleep "$seconds"
    [ -r "/proc/$pid/stat" ] || { echo "gone"; return; }
    after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    end=$(date +%s.%N)
    awk -v t=$((after - before)) -v hz="$ticks_per_second" -v a="$start" -v b="$end" \
        'BEGIN { printf "%.2f", 100 * t / hz / (b - a) }'
}

# A data folder whose remembered camera is the recording, started with the program.
data_folder() {
    local dir="$work/$1"
    mkdir -p "$dir"
    printf '[Camera]\r\nCAMERA_DEVICE=Video file...\r\nCAMERA_VIDEO_FILE=%s\r\n\r\n[Start-up]\r\nSTART_CAMERA_AT_STARTUP=true\r\n' \
        "$recording" >"$dir/UNATTENDEDSETTINGS.CFG"
    echo "$dir"
}

stop() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

measure_decoder() {
    ffmpeg -hide_banner -loglevel error -threads 1 -re -stream_loop -1 -i "$recording" -f null - &
    local pid=$!
    echo "$pid" >>"$started"
    cpu_share "$pid"
    stop "$pid"
}

measure_desktop() {
    local dir
    dir=$(data_folder desktop)
    # The shell records its own id and becomes the program, so the id is the program's, not xvfb-run's.
    (cd "$dir" && exec xvfb-run -a sh -c 'echo $$ >pid; exec "$0"' "$program") >"$dir/log" 2>&1 &
    local runner=$!
    echo "$runner" >>"$started"
    local tries=0
    while [ ! -s "$dir/pid" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
    [ -s "$dir/pid" ] || { echo "gone"; return; }
    local pid
    pid=$(cat "$dir/pid")
    echo "$pid" >>"$started"
    cpu_share "$pid"
    stop "$pid"
    wait "$runner" 2>/dev/null || true
}

measure_headless() {
    local dir
    dir=$(data_folder headless)
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --headless --data-dir "$dir" >"$dir/log" 2>&1 &
    local pid=$!
    echo "$pid" >>"$started"
    cpu_share "$pid"
    # Resident memory once it has counted for the warm-up and the stretch.
    awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$pid/status" >"$work/headless-rss" 2>/dev/null || true
    stop "$pid"
}

# Figure, ratio to the decoder and the goal on one line.
report() {
    local name=$1 share=$2 decoder=$3 goal=$4
    if [ "$share" = gone ]; then
        echo "$name: the program ended early; its output is below"
        return 1
    fi
    awk -v n="$name" -v s="$share" -v d="$decoder" -v g="$goal" 'BEGIN {
        r = s / d
        printf "%-26s %6.2f %% of a core  %5.2f x decoder  (goal at most %s x: %s)\n", n, s, r, g, r <= g ? "met" : "NOT met"
    }'
}

echo "Measuring ${seconds} s each after ${warmup} s of start-up (the decoder twice: before and after the program)"
decoder_before=$(measure_decoder)
desktop=$(measure_desktop)
headless=unavailable
if "$program" --help 2>/dev/null | grep -q -- --headless; then
    headless=$(measure_headless)
fi
decoder_after=$(measure_decoder)
decoder=$(awk -v a="$decoder_before" -v b="$decoder_after" 'BEGIN { printf "%.2f", (a + b) / 2 }')

printf "%-26s %6.2f %% of a core  (%s and %s)\n" "decoder (ffmpeg -threads 1)" "$decoder" "$decoder_before" \
    "$decoder_after"
report "desktop, camera screen" "$desktop" "$decoder" 3 || tail -5 "$work/desktop/log"
if [ "$headless" = unavailable ]; then
    echo "headless: this build has no --headless"
else
    report "headless" "$headless" "$decoder" 1.5 || tail -5 "$work/headless/log"
    [ -s "$work/headless-rss" ] && echo "headless resident memory     $(cat "$work/headless-rss") MB"
fi
