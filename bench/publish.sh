#!/usr/bin/env bash
# Writes docs/PERFORMANCE.md from the benchmarks, nothing typed by hand:
#   bench/publish.sh [--quick] [--out FILE]
# Runs, for the edition TM_EDITION picks (64 by default here; build its programs first:
# tmerase, plain_erase, erase_bench, window_bench, filelist_bench, freespace_bench):
#   erase_bench          MB/s per level against the fair baseline, and with the read-back
#                        (--verify); a folder of small files (--files) with and without the
#                        tips, and with the read-back
#   vs_shred.sh          MB/s per level against GNU shred; folders of small files: files per
#                        second of the console (tmerase) and the window against shred, and so
#                        the window against tmerase on the same files, taken in the same turns
#                        (what bench/window_vs_console.sh measures alone), and the growth
#   filelist_bench       rows per second as the list grows
#   vs_sfill.sh          the free-space fill against the fair writer and sfill (as root, with
#                        sfill, which tools/setup.sh installs; otherwise the section says why it
#                        is missing)
# Defaults keep the whole under about 15 minutes on a quiet two-core machine; --quick uses
# smaller files, fewer files and one round (a few minutes), for trying the script.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export TM_EDITION=${TM_EDITION:-64}
out="$top/docs/PERFORMANCE.md"
quick=0
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) quick=1; shift ;;
        --out) out=$2; shift 2 ;;
        *) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
if [ "$quick" = 1 ]; then
    mib=32 runs=1 counts="500 2000" list_files=2000 sfill_mib=256 sfill_runs=1 repeat=1 tip_files=500
else
    mib=128 runs=3 counts="2000 8000" list_files=8000 sfill_mib=512 sfill_runs=3 repeat=3 tip_files=2000
fi
. "$top/tools/wine-env.sh"
bin="$TM_BUILD/bin"
raw=$(mktemp -d)
trap 'rm -rf "$raw"' EXIT

# One benchmark's output lines into $raw/<name>; a failure is noted, not fatal.
run() {
    local name=$1
    shift
    echo "publish: $name" >&2
    if ! "$@" >"$raw/$name" 2>"$raw/$name.err"; then
        echo "publish: $name failed: $(tail -n 1 "$raw/$name.err")" >&2
        echo "failed" >"$raw/$name.failed"
    fi
}
# The value of key=value in the first line of $raw/<name> that matches <pattern>.
field() { { grep -E "$2" "$raw/$1" 2>/dev/null || true; } | head -n 1 | tr ' ' '\n' | sed -n "s|^$3=||p"; }
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date -u '+%Y-%m-%d %H:%M UTC')

# A Windows program in a Wine session of its own (the scripts below start theirs).
in_session() {
    bash -c '. "$1/tools/wine-session.sh" && start_wine_session && trap stop_wine_session EXIT && shift && wine "$@"' \
        _ "$top" "$@"
}

run erase_bench in_session "$bin/erase_bench.exe" --mib "$mib" --repeat "$repeat"
run erase_verify in_session "$bin/erase_bench.exe" --verify --mib "$mib" --repeat "$repeat"
run erase_files in_session "$bin/erase_bench.exe" --verify --files "$tip_files" --repeat "$repeat"
run shred_levels bash "$top/bench/vs_shred.sh" --mib "$mib" --runs "$runs"
run shred_files bash "$top/bench/vs_shred.sh" --files "$counts" --runs "$runs"
run filelist in_session "$bin/filelist_bench.exe" --files "$list_files"
if [ "$(id -u)" = 0 ] && command -v sfill >/dev/null; then
    run sfill bash "$top/bench/vs_sfill.sh" --mib "$sfill_mib" --runs "$sfill_runs"
else
    echo "needs root and sfill (Debian's secure-delete)" >"$raw/sfill.failed"
fi
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
finished=$(date -u '+%Y-%m-%d %H:%M UTC')

missing() { # the reason a section has no numbers
    if [ -f "$raw/$1.failed" ]; then echo "_Not measured in this run: $(cat "$raw/$1.failed")._"
    else echo "_Not measured in this run: the benchmark gave no lines._"; fi
}
have() { [ -s "$raw/$1" ] && [ ! -f "$raw/$1.failed" ]; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.0f", n / s; else print "-" }'; }

{
cat <<HEAD
# Performance

Made by \`bench/publish.sh\`$([ "$quick" = 1 ] && echo " --quick") from the benchmarks in \`bench/\`; do not edit by
hand, run the script again. Started $started, finished $finished.

## Machine and method

- Processor: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //') ($(nproc) cores);
  memory $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo); load average (1, 5, 15 min)
  $load_before before and $load_after after.
- System: $(uname -sr); $(wine --version 2>/dev/null || echo "Wine"), the ${TM_EDITION}-bit edition, one persistent
  wineserver and an Xvfb display per script; the files on $(df -T "$TM_BUILD" | awk 'NR == 2 { print $2 }') in the build folder.
- Every comparison is made in turns within each round (the scripts start each round with the
  next program, and write the whole file system back before each program starts), and the medians (or for erase_bench the
  best of the rounds) are shown: $runs round(s) per script, files of $mib MiB for the levels,
  folders of $(echo "$counts" | sed 's/ / and /') files of 12 bytes.
- Whole programs (tmerase, shred, sfill) are timed from their start to their exit, Wine's start
  included; the window from its start to the moment its painted result panel shows
  ("作業が完了しました。", the end of what a user waits for); erase_bench and filelist_bench time
  inside one process.
- The fair baseline is a plain program doing the same file-system work with the plain calls
  (the same passes in 64 KiB writes with a flush per pass, the cut, the rename and the delete).

HEAD

echo "## Erasing one large file: MB/s per level"
echo
if have erase_bench && have shred_levels; then
    echo "| level | fair baseline MB/s | engine MB/s | engine ÷ fair | window's display MB/s | display ÷ fair | tmerase s | GNU shred s | shred ÷ tmerase |"
    echo "|---|---|---|---|---|---|---|---|---|"
    for level in speed normal high; do
        tm=$(field shred_levels "^level=$level tmerase_s" tmerase_s)
        sh=$(field shred_levels "^level=$level tmerase_s" shred_s)
        echo "| $level | $(field erase_bench "^level=$level variant=fair" mbps) | $(field erase_bench "^level=$level variant=engine" mbps) | $(field erase_bench "^level=$level variant=engine" ratio) | $(field erase_bench "^level=$level variant=display" mbps) | $(field erase_bench "^level=$level variant=display" ratio) | $tm | $sh | $(awk -v a="$sh" -v b="$tm" 'BEGIN { if (b > 0) printf "%.2f", a / b }') |"
    done
    echo
    echo "GNU shred has the same passes (Speed: -z -n 0, Normal: -z -n 1, High: -z -n 2, with -u); above 1"
    echo "in the last column tmerase is the faster."
else
    missing erase_bench
fi
echo

echo "## Folders of small files: files per second"
echo
if have shred_files; then
    echo "| files | tmerase (console) files/s | the window files/s | GNU shred files/s | tmerase ÷ shred time | window ÷ shred time |"
    echo "|---|---|---|---|---|---|"
    for count in $counts; do
        tm=$(field shred_files "^files=$count tmerase_s" tmerase_s)
        sh=$(field shred_files "^files=$count tmerase_s" shred_s)
        wd=$(field shred_files "^files=$count window_s" window_s)
        echo "| $count | $(rate "$count" "$tm") | $(rate "$count" "${wd:-0}") | $(rate "$count" "$sh") | $(field shred_files "^files=$count tmerase_s" ratio) | $(field shred_files "^files=$count window_s" window_ratio) |"
    done
else
    missing shred_files
fi
echo
if have shred_files && grep -q '^files=.* window_s=' "$raw/shred_files"; then
    echo "The window against the console on the same files, from the same rounds (the window's time is"
    echo "the folder named on its command line, Start, Yes, until the painted result panel shows; both"
    echo "from their process's start; \`bench/window_vs_console.sh\` measures the same alone):"
    echo
    echo "| files | window s | tmerase s | window ÷ tmerase | window ms per file | tmerase ms per file |"
    echo "|---|---|---|---|---|---|"
    first_w="" first_c="" last_w="" last_c=""
    for count in $counts; do
        w=$(field shred_files "^files=$count window_s" window_s)
        c=$(field shred_files "^files=$count tmerase_s" tmerase_s)
        wp=$(awk -v t="$w" -v n="$count" 'BEGIN { printf "%.3f", t * 1000 / n }')
        cp=$(awk -v t="$c" -v n="$count" 'BEGIN { printf "%.3f", t * 1000 / n }')
        echo "| $count | $w | $c | $(awk -v a="$w" -v b="$c" 'BEGIN { if (b > 0) printf "%.2f", a / b }') | $wp | $cp |"
        [ -n "$first_w" ] || { first_w=$wp; first_c=$cp; }
        last_w=$wp last_c=$cp
    done
    echo
    echo "Time per file at the largest folder against the smallest: window $(awk -v a="$last_w" -v b="$first_w" 'BEGIN { if (b > 0) printf "%.2f", a / b }'), console $(awk -v a="$last_c" -v b="$first_c" 'BEGIN { if (b > 0) printf "%.2f", a / b }')."
else
    echo "_The window's line is missing: window_bench.exe was not built._"
fi
echo

echo "## Listing a folder in the window: rows per second"
echo
if have filelist; then
    echo "$(field filelist '^case=add ' files) files through the list's add gate (existence, disk, size, icon, row): $(awk -v u="$(field filelist '^case=add ' per_file_us)" 'BEGIN { if (u > 0) printf "%.0f", 1e6 / u }') rows per second."
    echo "The same files in four batches onto the rows already listed, the list sorted after each:"
    echo
    echo "| batch | rows listed | rows per second | sort µs per row |"
    echo "|---|---|---|---|"
    grep '^case=growth batch=' "$raw/filelist" | while read -r line; do
        get() { echo "$line" | tr ' ' '\n' | sed -n "s/^$1=//p"; }
        echo "| $(get batch) | $(get rows) | $(get rows_per_s) | $(get sort_us_per_row) |"
    done
    echo
    echo "Rows per second of the last batch against the first: $(field filelist '^case=growth ratio' ratio) (1.0: adding stays linear)."
else
    missing filelist
fi
echo

echo "## The free-space fill"
echo
if have sfill; then
    echo "| fill MB/s | fair writer MB/s | fill ÷ fair | tmerase --free-space s | sfill -l -l -z s | sfill ÷ tmerase |"
    echo "|---|---|---|---|---|---|"
    echo "| $(field sfill '^level=' fill_mbps) | $(field sfill '^level=' fair_mbps) | $(field sfill '^level=' ratio) | $(field sfill '^tmerase_s' tmerase_s) | $(field sfill '^tmerase_s' sfill_s) | $(field sfill '^tmerase_s' ratio) |"
    echo
    echo "On a loop-mounted ext4 image of $sfill_mib MiB, Speed (one pass of zeros)."
else
    missing sfill
fi
echo

echo "## The tips"
echo
if have erase_files; then
    plain=$(field erase_files "variant=plain " ms_per_file)
    with=$(field erase_files "variant=engine " ms_per_file)
    without=$(field erase_files "variant=notips " ms_per_file)
    echo "The tip is the rest of a file's last cluster past its end; every pass goes over it too. A"
    echo "folder of $tip_files files of 12 bytes at Speed, erased in one process (\`erase_bench --files\`, the"
    cluster=$(field erase_files "cluster_bytes=" cluster_bytes)
    echo "median of $repeat round(s) in turns; on this volume's clusters of ${cluster:-?} bytes each file's tip"
    echo "is $(awk -v c="${cluster:-0}" 'BEGIN { print (c > 12 ? c - 12 : "?") }') bytes):"
    echo
    echo "| files | without tips ms per file | with tips ms per file | with ÷ without | plain program with tips ms per file |"
    echo "|---|---|---|---|---|"
    echo "| $tip_files | $without | $with | $(field erase_files "engine/notips" engine/notips) | $plain |"
    echo
    echo "\"Without tips\" is the engine with the volume's cluster size answered as unknown, which plans no"
    echo "tip. For one large file the tip is less than one cluster per pass, too little to show in the"
    echo "MB/s above."
else
    missing erase_files
fi
echo

echo "## The read-back"
echo
if have erase_verify; then
    echo "The last pass read back and compared before the cut (the erasure report's proof). One large"
    echo "file, the best of $repeat round(s):"
    echo
    echo "| level | engine MB/s | with the read-back MB/s | with ÷ without (MB/s) |"
    echo "|---|---|---|---|"
    for level in speed normal high; do
        echo "| $level | $(field erase_verify "^level=$level variant=engine" mbps) | $(field erase_verify "^level=$level variant=verify" mbps) | $(field erase_verify "^level=$level verify/engine" verify/engine) |"
    done
    echo
    echo "MB/s counts the passes' bytes, so the read-back's own bytes come out of the same time."
    if have erase_files; then
        echo "For the folder of $tip_files small files above: $(field erase_files "variant=engine " ms_per_file) ms per file without the read-back,"
        echo "$(field erase_files "variant=verify " ms_per_file) ms with it ($(field erase_files "verify/engine" verify/engine) times the time; the read-back opens each file"
        echo "a second time, unbuffered)."
    fi
else
    missing erase_verify
fi
echo

echo "## Raw output"
echo
for name in erase_bench erase_verify erase_files shred_levels shred_files filelist sfill; do
    [ -s "$raw/$name" ] || continue
    echo "\`$name\`:"
    echo
    sed 's/^/    /' "$raw/$name"
    echo
done
} >"$out"
echo "publish: wrote $out" >&2
