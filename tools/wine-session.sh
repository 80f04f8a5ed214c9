# Sourced by scripts that run several Windows programs: one Xvfb display and one persistent
# wineserver for the whole session, both stopped by stop_wine_session (also on failure), which
# fails (status 1) when a test left the program's Run value behind: trap 'stop_wine_session || exit 1' EXIT.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

_session_xvfb_pid=""

start_wine_session() {
    local display_number
    for display_number in $(seq 91 140); do
        [ -e "/tmp/.X11-unix/X$display_number" ] || [ -e "/tmp/.X$display_number-lock" ] && continue
        Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        _session_xvfb_pid=$!
        local tries
        for tries in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$display_number" ] && break
            kill -0 "$_session_xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        if [ -e "/tmp/.X11-unix/X$display_number" ]; then
            export DISPLAY=":$display_number"
            break
        fi
        _session_xvfb_pid=""
    done
    if [ -z "$_session_xvfb_pid" ]; then
        echo "wine-session: could not start Xvfb" >&2
        return 1
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 </dev/null || true
    fi
    # One persistent server for the whole session. A server that is still running (the one that
    # made the prefix, say) would refuse a second one, so it goes first.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1 || true
    # Start Wine's own services now, with no terminal or pipe of ours: a service started by a
    # test would hold the test's output pipe open after the test ends.
    wine wineboot >/dev/null 2>&1 </dev/null || true
    # No window manager runs on Xvfb: Wine draws frames and captions itself, and does not wait
    # for a manager's answer at every window it maps (which makes window tests slow).
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null || true
}

# The program's start entry for pending files ("TIDEMARROW32SE" under HKCU\...\Run) must never
# outlive a session: Wine starts every Run value at each start of the prefix. Read from the
# prefix's user.reg once the wineserver has written it; a value left is removed and fails the
# session loudly.
_session_run_value_left() {
    local reg="$WINEPREFIX/user.reg" run='^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run\]'
    [ -f "$reg" ] || return 1
    RUN_KEY="$run" awk '/^\[/ { inside = ($0 ~ ENVIRON["RUN_KEY"]) } inside && /^"TIDEMARROW32SE"=/ { found = 1 }
                       END { exit found ? 0 : 1 }' "$reg" || return 1
    RUN_KEY="$run" awk '/^\[/ { inside = ($0 ~ ENVIRON["RUN_KEY"]) } !(inside && /^"TIDEMARROW32SE"=/)' "$reg" >"$reg.tmp" &&
        mv "$reg.tmp" "$reg"
    return 0
}

stop_wine_session() {
    local status=0
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if _session_run_value_left; then
        echo "wine-session: FAILED: a test left the value TIDEMARROW32SE under" \
            "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run (removed now)" >&2
        status=1
    fi
    if [ -n "$_session_xvfb_pid" ]; then
        kill "$_session_xvfb_pid" 2>/dev/null || true
        wait "$_session_xvfb_pid" 2>/dev/null || true
        _session_xvfb_pid=""
    fi
    return $status
}
