#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's prefix. Used by CTest as the
# cross-compiling emulator and by the scripts. Makes the prefix on first use.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true
fi
exec wine "$@"
