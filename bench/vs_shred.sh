#!/usr/bin/env bash
# tmerase under Wine against GNU shred with the same number of passes, on the same file on
# the same disk: Speed = shred -z -n 0, Normal = -z -n 1, High = -z -n 2, each with -u.
#   bench/vs_shred.sh [--mib N] [--runs R] [--levels "speed normal high"]
#   bench/vs_shred.sh --files "2000 8000" [--runs R]
# Each round writes a fresh file of N MiB (default 512), flushes it and drops nothing else,
# then times one whole process (Wine's start included for tmerase); the programs take turns
# within each round, each round starting one further on, R rounds (default 8). One line per level, the medians:
#   level=normal tmerase_s=1.08 shred_s=1.27 ratio=0.85
# and a second line with the bound: plain_erase.exe, the least a program under Wine does for
# the same passes, flushes, cut, rename and delete, timed the same way:
#   level=normal bound_s=1.02 bound_ratio=0.80
# With --files, each round fills a folder with that many files of 12 bytes instead and erases
# them at Speed: tmerase --recurse on the folder, shred -z -n 0 -u on its files, plain_erase on
# the folder. One line per count, with the time per file:
#   files=8000 tmerase_s=15.20 shred_s=15.90 ratio=0.96 tmerase_ms_per_file=1.90
#   files=8000 bound_s=14.80 bound_ratio=0.93 bound_ms_per_file=1.85
# and, when window_bench.exe is built, the window's run of the same folder (the folder named on
# the command line, Start, Yes, until the painted result panel shows), timed from its start as
# bench/window_vs_console.sh times it:
#   files=8000 window_s=15.90 window_ratio=1.00 window_ms_per_file=1.99
# Needs tmerase.exe and plain_erase.exe of the edition TM_EDITION picks (build64/bin or build/bin;
# ./dev.sh test builds them). Runs with the project's Wine prefix
# and one persistent wineserver, as a desktop session has one running, and, while the window is
# timed, Wine's desktop held up as Windows' always is (hold_desktop in bench/window_seconds.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
mib=512
runs=8
levels="speed normal high"
counts=""
while [ $# -gt 0 ]; do
    case "$1" in
        --mib) mib=$2; shift 2 ;;
        --files) counts=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --levels) levels=$2; shift 2 ;;
        *) sed -n '2,25p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
# The edition's build folder (TM_EDITION=32 or 64) comes with the Wine settings.
. "$top/tools/wine-session.sh"
. "$top/bench/window_seconds.sh"
tmerase="$TM_BUILD/bin/tmerase.exe"
plain="$TM_BUILD/bin/plain_erase.exe"
window="$TM_BUILD/bin/window_bench.exe"
for program in "$tmerase" "$plain"; do
    [ -f "$program" ] || { echo "vs_shred: $program is missing; run ./dev.sh test first" >&2; exit 1; }
done

start_wine_session
work=$(mktemp -d "$TM_BUILD/vs_shred.XXXXXX")
trap 'release_desktop; stop_wine_session; rm -rf "$work"' EXIT
file="$work/target.bin"
winfile="Z:$(echo "$file" | tr / '\\')"

make_file() {
    head -c "$((mib * 1024 * 1024))" /dev/urandom >"$file"
    sync -f "$file"  # the whole file system: nothing left of the program before to write back
}

# Seconds one command takes, from a fork to its exit.
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }' 
}

median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

shred_passes() {
    case "$1" in speed) echo 0 ;; normal) echo 1 ;; high) echo 2 ;; esac
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { print a / b }'
}

# Wine's first start in a session loads more than later ones do; it is not counted.
wine "$tmerase" --help >/dev/null 2>&1 || true
wine "$plain" >/dev/null 2>&1 || true
if [ -n "$counts" ] && [ -f "$window" ]; then hold_desktop "$window"; fi

if [ -n "$counts" ]; then
    folder="$work/folder"
    winfolder="Z:$(echo "$folder" | tr / '\\')"
    make_folder() {
        mkdir -p "$folder"
        (cd "$folder" && seq 1 "$1" | sed 's/.*/mail&.eml/' | xargs -n 1000 sh -c 'for f; do printf "hello world\n" >"$f"; done' sh)
        sync -f "$folder"  # the whole file system: nothing left of the program before to write back
    }
    for count in $counts; do
        : >"$work/tmerase" && : >"$work/shred" && : >"$work/bound" && : >"$work/window"
        tools="tmerase shred bound"
        [ -f "$window" ] && tools="$tools window"
        for round in $(seq 1 "$runs"); do
            for tool in $(rotate "$round" $tools); do
                make_folder "$count"
                case "$tool" in
                    tmerase) t=$(seconds wine "$tmerase" --level speed --recurse "$winfolder") ;;
                    shred) t=$(seconds sh -c 'cd "$1" && exec shred -z -n 0 -u -- *' sh "$folder") ;;
                    bound) t=$(seconds wine "$plain" 1 "$winfolder") ;;
                    window) t=$(window_seconds "$window" "$winfolder") ;;
                esac
                if [ -n "$(ls -A "$folder")" ]; then
                    echo "vs_shred: $tool left files behind in the folder of $count" >&2
                    exit 1
                fi
                echo "$t" >>"$work/$tool"
            done
        done
        tm=$(median <"$work/tmerase")
        sh=$(median <"$work/shred")
        bd=$(median <"$work/bound")
        printf 'files=%s tmerase_s=%.2f shred_s=%.2f ratio=%.2f tmerase_ms_per_file=%.3f\n' "$count" "$tm" "$sh" \
            "$(ratio "$tm" "$sh")" "$(awk -v t="$tm" -v n="$count" 'BEGIN { print t * 1000 / n }')"
        printf 'files=%s bound_s=%.2f bound_ratio=%.2f bound_ms_per_file=%.3f\n' "$count" "$bd" \
            "$(ratio "$bd" "$sh")" "$(awk -v t="$bd" -v n="$count" 'BEGIN { print t * 1000 / n }')"
        if [ -s "$work/window" ]; then
            wd=$(median <"$work/window")
            printf 'files=%s window_s=%.2f window_ratio=%.2f window_ms_per_file=%.3f\n' "$count" "$wd" \
                "$(ratio "$wd" "$sh")" "$(awk -v t="$wd" -v n="$count" 'BEGIN { print t * 1000 / n }')"
        fi
    done
    exit 0
fi

for level in $levels; do
    : >"$work/tmerase" && : >"$work/shred" && : >"$work/bound"
    for round in $(seq 1 "$runs"); do
        for tool in $(rotate "$round" tmerase shred bound); do
            make_file
            case "$tool" in
                tmerase) t=$(seconds wine "$tmerase" --level "$level" "$winfile") ;;
                shred) t=$(seconds shred -z -n "$(shred_passes "$level")" -u "$file") ;;
                bound) t=$(seconds wine "$plain" "$(($(shred_passes "$level") + 1))" "$winfile") ;;
            esac
            if [ -e "$file" ]; then
                echo "vs_shred: $tool left the file behind at level $level" >&2
                exit 1
            fi
            echo "$t" >>"$work/$tool"
        done
    done
    tm=$(median <"$work/tmerase")
    sh=$(median <"$work/shred")
    bd=$(median <"$work/bound")
    printf 'level=%s tmerase_s=%.2f shred_s=%.2f ratio=%.2f\n' "$level" "$tm" "$sh" "$(ratio "$tm" "$sh")"
    printf 'level=%s bound_s=%.2f bound_ratio=%.2f\n' "$level" "$bd" "$(ratio "$bd" "$sh")"
done
