#!/usr/bin/env bash
# The free-space fill on a loop-mounted ext4 image made here (and checked to be on a loop
# device), as root:
#   bench/vs_sfill.sh [--mib N] [--runs R]
# 1. freespace_bench.exe: the fill against a plain program in the same process writing the
#    same bytes with the same open flags and flushes (the fair baseline), Speed:
#      level=speed mb=... fill_mbps=... fair_mbps=... ratio=...
# 2. tmerase --free-space --level speed under Wine against sfill -l -l -z (one pass of zeros),
#    each timed as a whole process in turns, R rounds (default 5), the medians:
#      tmerase_s=... sfill_s=... ratio=<sfill_s / tmerase_s; 1 or more: tmerase no slower>
# The image is N MiB (default 1024). Needs build64/bin (or build/bin) freespace_bench.exe
# and tmerase.exe, and sfill (Debian secure-delete).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
mib=1024
runs=5
while [ $# -gt 0 ]; do
    case "$1" in
        --mib) mib=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        *) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
build="$top/build"
[ "${TM_EDITION:-32}" = 64 ] && build="$top/build64"
bin="$build/bin"
command -v sfill >/dev/null || { echo "vs_sfill: sfill is missing (apt-get install secure-delete)" >&2; exit 1; }

. "$top/tools/wine-session.sh"
start_wine_session
dir="$build/vs_sfill.image"
trap 'bash "$top/tests/realfs/loop_image.sh" drop "$dir"; rm -f "$dir.img"; stop_wine_session' EXIT
bash "$top/tests/realfs/loop_image.sh" make "$dir" ext4 "$mib"
windir="Z:$(echo "$dir" | tr / '\\')"

wine "$bin/freespace_bench.exe" "$windir" --rounds "$runs" 2>/dev/null | tr -d '\r' || true

seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
: >"$dir.t" ; : >"$dir.s"
for _ in $(seq 1 "$runs"); do
    seconds wine "$bin/tmerase.exe" --free-space --level speed "$windir" >>"$dir.t"
    seconds sfill -l -l -z "$dir" >>"$dir.s"
done
t=$(median <"$dir.t")
s=$(median <"$dir.s")
rm -f "$dir.t" "$dir.s"
awk -v t="$t" -v s="$s" 'BEGIN { printf "tmerase_s=%.2f sfill_s=%.2f ratio=%.2f\n", t, s, s / t }'
