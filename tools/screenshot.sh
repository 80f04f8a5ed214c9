#!/usr/bin/env bash
# Starts a program of ours under Wine on a private Xvfb display, waits for a window with the
# given title, and saves a PNG of the screen.
#   tools/screenshot.sh OUT.png TITLE PROGRAM.exe [ARGS...]
# Example: tools/screenshot.sh docs/screenshots/main.png "TIDEMARROW32 SE" build/bin/TIDEMARROW32SE.exe
# SHOT_DELAY (seconds, default 1) is how long to wait after the window shows.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 3 ] || { sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
out=$1 title=$2 program=$3
shift 3

if ! command -v xwd >/dev/null || ! command -v convert >/dev/null || ! command -v xwininfo >/dev/null; then
    if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
    DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -q --no-install-recommends x11-apps imagemagick x11-utils >/dev/null
fi

. "$top/tools/wine-session.sh"
start_wine_session
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    stop_wine_session
}
trap cleanup EXIT

wine "$program" "$@" >/dev/null 2>&1 </dev/null &
pid=$!
for _ in $(seq 1 150); do
    if xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\""; then break; fi
    sleep 0.2
done
xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\"" || { echo "screenshot: no window titled '$title' appeared" >&2; exit 1; }
sleep "${SHOT_DELAY:-1}"  # let the window finish painting (or the program get somewhere)
mkdir -p "$(dirname "$out")"
xwd -root -silent | convert xwd:- -trim +repage "png:$out"
echo "screenshot: $out"
