# Sourced by the benchmarks that time the window: window_seconds <program> <folder> prints the
# seconds from the start of `wine <program> <folder>` (window_bench.exe) to the moment its
# painted result panel showed (its result_at), the end of the job a user waits for; what the
# process does after that (Finish, its end) is not counted. Fails when the run did not complete.
# It also gives the order of the programs in each round (rotate, at the end).
window_seconds() {
    local start out at
    start=$(date +%s.%N)
    out=$(wine "$1" "$2" 2>/dev/null) || { echo "window_seconds: $1 $2 failed" >&2; return 1; }
    at=$(printf '%s\n' "$out" | sed -n 's/.*result_at=\([0-9.]*\).*/\1/p')
    [ -n "$at" ] || { echo "window_seconds: $1 printed no result_at" >&2; return 1; }
    awk -v a="$start" -v b="$at" 'BEGIN { printf "%.4f\n", b - a }'
}

# Windows' desktop is always up. Wine's desktop process ends with the last program that uses it,
# and the next window waits about 0.1 s for it to start again, which no user on Windows waits.
# hold_desktop <window_bench.exe> keeps it up with a program that holds the desktop until
# release_desktop (or the end of the session's wineserver).
_desktop_holder_fd=""
hold_desktop() {
    local fifo try
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/hold_desktop.XXXXXX")
    mkfifo "$fifo"
    wine "$1" --hold-desktop <"$fifo" >"$fifo.out" 2>/dev/null &
    exec {_desktop_holder_fd}>"$fifo"
    rm -f "$fifo"
    for try in $(seq 1 100); do
        grep -q holding "$fifo.out" 2>/dev/null && break
        sleep 0.1
    done
    grep -q holding "$fifo.out" 2>/dev/null || echo "hold_desktop: Wine's desktop is not held" >&2
    rm -f "$fifo.out"
}
release_desktop() {
    [ -n "$_desktop_holder_fd" ] || return 0
    exec {_desktop_holder_fd}>&-
    _desktop_holder_fd=""
}

# rotate <round> <program>...: the programs in turns, each round (from 1) starting one further
# on, so that none always follows the same one (the file system's work left from the one
# before falls on each in turn).
rotate() {
    local round=$1
    shift
    local n=$# i k
    for i in $(seq 0 $((n - 1))); do
        k=$(((round - 1 + i) % n + 1))
        echo "${!k}"
    done
}
