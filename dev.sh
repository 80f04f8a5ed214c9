#!/usr/bin/env bash
# The three commands of the README:
#   ./dev.sh run [FILE...] build, then start TIDEMARROW32 SE under Wine on the current display
#   ./dev.sh test          build, then run every test under Wine (Xvfb, one wineserver)
#   ./dev.sh package       build, then make the portable zip and the installer in build/dist
# All three install what is missing first (tools/setup.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
build="$top/build"

usage() {
    sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
}

configure_and_build() {
    bash "$top/tools/setup.sh"
    cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
    cmake --build "$build" -j"$(nproc)"
}

cmd=${1:-}
[ -n "$cmd" ] || usage
shift

case "$cmd" in
    run)
        configure_and_build
        if [ -z "${DISPLAY:-}" ]; then
            echo "dev.sh run: no display. Start one (for example 'Xvfb :1 &' and 'export DISPLAY=:1'), or use tools/screenshot.sh." >&2
            exit 1
        fi
        exec "$top/tools/wine-run.sh" "$build/bin/TIDEMARROW32SE.exe" "$@"
        ;;
    test)
        configure_and_build
        . "$top/tools/wine-session.sh"
        start_wine_session
        trap stop_wine_session EXIT
        status=0
        (cd "$build" && ctest --output-on-failure "$@") || status=$?
        exit $status
        ;;
    package)
        configure_and_build
        exec bash "$top/tools/package.sh"
        ;;
    *)
        usage
        ;;
esac
