#!/usr/bin/env bash
# The three commands of the README:
#   ./dev.sh run [FILE...] build, then start TIDEMARROW32 SE under Wine on the current display
#   ./dev.sh test          build, then run every test under Wine (Xvfb, one wineserver), per edition
#   ./dev.sh package       build both editions, then make the zips and the installers in build/dist
# All three install what is missing first (tools/setup.sh).
# Two editions come from the one tree: 32-bit (build/) and 64-bit (build64/). Without TM_EDITIONS,
# `test` builds both and runs the suite on the 64-bit one, and on the 32-bit one where this host can
# execute 32-bit programs (some hosts refuse any 32-bit program, and 32-bit Wine with them);
# TM_EDITIONS=32, 64 or both builds and tests just those. `run` starts one edition: the 32-bit one
# where the host runs it, otherwise the 64-bit one.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)

usage() {
    sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
}

host_runs_32bit() {
    [ -x /usr/lib/wine/wine ] && [ -e /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# The editions to test, in the order they run.
editions() {
    case "${TM_EDITIONS:-}" in
        32) echo 32 ;;
        64) echo 64 ;;
        both) echo 64 32 ;;
        "") if host_runs_32bit; then echo 64 32; else echo 64; fi ;;
        *) echo "dev.sh: TM_EDITIONS must be 32, 64 or both" >&2; exit 2 ;;
    esac
}

build_dir() { if [ "$1" = 64 ]; then echo "$top/build64"; else echo "$top/build"; fi; }

configure_and_build() {
    local edition=$1 build toolchain
    build=$(build_dir "$edition")
    if [ "$edition" = 64 ]; then toolchain=mingw-x86_64; else toolchain=mingw-i686; fi
    cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$toolchain.cmake" >/dev/null
    cmake --build "$build" -j"$(nproc)"
}

cmd=${1:-}
[ -n "$cmd" ] || usage
shift

case "$cmd" in
    run)
        bash "$top/tools/setup.sh"
        case "${TM_EDITIONS:-}" in
            32|64) edition=$TM_EDITIONS ;;
            *) if host_runs_32bit; then edition=32; else edition=64; fi ;;
        esac
        configure_and_build "$edition"
        if [ -z "${DISPLAY:-}" ]; then
            echo "dev.sh run: no display. Start one (for example 'Xvfb :1 &' and 'export DISPLAY=:1'), or use tools/screenshot.sh." >&2
            exit 1
        fi
        TM_EDITION=$edition exec "$top/tools/wine-run.sh" "$(build_dir "$edition")/bin/TIDEMARROW32SE.exe" "$@"
        ;;
    test)
        bash "$top/tools/setup.sh"
        list=$(editions)
        if [ -n "${TM_EDITIONS:-}" ]; then built=$list; else built="64 32"; fi
        for edition in $built; do configure_and_build "$edition"; done
        if [[ " $list " != *" 32 "* ]]; then
            if [ "${TM_EDITIONS:-}" = 64 ]; then
                echo "dev.sh test: the 32-bit suite was skipped: TM_EDITIONS=64 asked for the 64-bit edition alone"
            else
                echo "dev.sh test: the 32-bit suite was skipped: this host cannot execute 32-bit programs ($(/lib/ld-linux.so.2 --version 2>&1 | head -n 1 || true))"
            fi
        fi
        status=0 passed=0 failed=0
        for edition in $list; do
            echo "dev.sh test: the ${edition}-bit edition"
            log=$(mktemp)
            (
                export TM_EDITION=$edition
                . "$top/tools/wine-session.sh"
                start_wine_session
                trap 'stop_wine_session || exit 1' EXIT
                cd "$(build_dir "$edition")" && ctest --output-on-failure "$@"
            ) 2>&1 | tee "$log" || status=1
            summary=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$log" | tail -n 1)
            rm -f "$log"
            if [ -n "$summary" ]; then
                read -r f t <<<"$summary"
                failed=$((failed + f)) passed=$((passed + t - f))
            else
                status=1
            fi
        done
        echo "editions $(echo $list | tr ' ' ','): $passed passed, $failed failed"
        [ "$failed" -eq 0 ] || status=1
        exit $status
        ;;
    package)
        bash "$top/tools/setup.sh"
        for edition in 64 32; do configure_and_build "$edition"; done
        exec bash "$top/tools/package.sh"
        ;;
    *)
        usage
        ;;
esac
