# Sourced by the benchmarks that time the window: window_seconds <program> <folder> prints the
# seconds from the start of `wine <program> <folder>` (window_bench.exe) to the moment its
# painted result panel showed (its result_at), the end of the job a user waits for; what the
# process does after that (Finish, its end) is not counted. Fails when the run did not complete.
window_seconds() {
    local start out at
    start=$(date +%s.%N)
    out=$(wine "$1" "$2" 2>/dev/null) || { echo "window_seconds: $1 $2 failed" >&2; return 1; }
    at=$(printf '%s\n' "$out" | sed -n 's/.*result_at=\([0-9.]*\).*/\1/p')
    [ -n "$at" ] || { echo "window_seconds: $1 printed no result_at" >&2; return 1; }
    awk -v a="$start" -v b="$at" 'BEGIN { printf "%.4f\n", b - a }'
}
