#!/usr/bin/env bash
# The window's run of a folder of small files against tmerase on the same files.
#   bench/window_vs_console.sh [--files "2000 8000"] [--runs R]
# Each round fills a folder with N files of 12 bytes and times two processes from their start,
# Wine's start included: window_bench.exe (the program's main window with the folder named on
# the command line, Start, Yes, until the painted result panel shows, "作業が完了しました。"; the
# run is at Speed, the profile's default) and tmerase --level speed --recurse, to its exit. The two take turns
# within each round, each round starting with the other, R rounds (default 3). One line per count, the medians:
#   files=2000 window_s=4.70 console_s=4.30 ratio=1.09 window_ms_per_file=2.350 console_ms_per_file=2.150
# and, after all counts, how the time per file grows (the last count's against the first's):
#   growth window=1.03 console=1.01
# Needs window_bench.exe and tmerase.exe of the edition TM_EDITION picks (build64/bin or
# build/bin). Runs with the project's Wine prefix and one persistent wineserver, and holds Wine's
# desktop up as Windows' always is (hold_desktop in bench/window_seconds.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
counts="2000 8000"
runs=3
while [ $# -gt 0 ]; do
    case "$1" in
        --files) counts=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        *) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
. "$top/tools/wine-session.sh"
. "$top/bench/window_seconds.sh"
window="$TM_BUILD/bin/window_bench.exe"
tmerase="$TM_BUILD/bin/tmerase.exe"
for program in "$window" "$tmerase"; do
    [ -f "$program" ] || { echo "window_vs_console: $program is missing; build it first" >&2; exit 1; }
done

start_wine_session
work=$(mktemp -d "$TM_BUILD/window_vs_console.XXXXXX")
trap 'release_desktop; stop_wine_session; rm -rf "$work"' EXIT
folder="$work/folder"
winfolder="Z:$(echo "$folder" | tr / '\\')"

make_folder() {
    rm -rf "$folder"
    mkdir -p "$folder"
    (cd "$folder" && seq 1 "$1" | sed 's/.*/mail&.eml/' | xargs -n 1000 sh -c 'for f; do printf "hello world\n" >"$f"; done' sh)
    sync -f "$folder"  # the whole file system: nothing left of the program before to write back
}

seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "window_vs_console: $* failed" >&2; return 1; }
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}

median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Wine's first start in a session loads more than later ones do; it is not counted.
wine "$tmerase" --help >/dev/null 2>&1 || true
hold_desktop "$window"

first_window="" first_console=""
last_window="" last_console=""
for count in $counts; do
    : >"$work/window" && : >"$work/console"
    for round in $(seq 1 "$runs"); do
        for tool in $(rotate "$round" window console); do
            make_folder "$count"
            case "$tool" in
                window) t=$(window_seconds "$window" "$winfolder") ;;
                console) t=$(seconds wine "$tmerase" --level speed --recurse "$winfolder") ;;
            esac
            if [ -d "$folder" ] && [ -n "$(ls -A "$folder")" ]; then
                echo "window_vs_console: $tool left files behind in the folder of $count" >&2
                exit 1
            fi
            echo "$t" >>"$work/$tool"
        done
    done
    w=$(median <"$work/window")
    c=$(median <"$work/console")
    wp=$(awk -v t="$w" -v n="$count" 'BEGIN { print t * 1000 / n }')
    cp=$(awk -v t="$c" -v n="$count" 'BEGIN { print t * 1000 / n }')
    printf 'files=%s window_s=%.2f console_s=%.2f ratio=%.2f window_ms_per_file=%.3f console_ms_per_file=%.3f\n' \
        "$count" "$w" "$c" "$(awk -v a="$w" -v b="$c" 'BEGIN { print a / b }')" "$wp" "$cp"
    [ -n "$first_window" ] || { first_window=$wp; first_console=$cp; }
    last_window=$wp last_console=$cp
done
printf 'growth window=%.2f console=%.2f\n' "$(awk -v a="$last_window" -v b="$first_window" 'BEGIN { print a / b }')" \
    "$(awk -v a="$last_console" -v b="$first_console" 'BEGIN { print a / b }')"
