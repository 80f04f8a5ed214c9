#!/usr/bin/env bash
# Renders the program's windows under Xvfb into docs/screenshots (after ./dev.sh test has
# built everything): the main window at start, the profile chooser, the main window locked,
# a real run in progress and its result with the log, the history tools before and during a
# run, the free-space panel, the file picker previewing a JPEG, the error report, the help viewer, the about box,
# the two profile windows and the seven pages of the settings window.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tools/wine-env.sh"  # the edition (TM_EDITION) whose programs are shown
bin="$TM_BUILD/bin"
out="$top/docs/screenshots"
shot="$top/tools/screenshot.sh"

"$shot" "$out/main-window.png" "TIDEMARROW32 SE" "$bin/main_window_demo.exe" start 20
"$shot" "$out/main-window-chooser.png" "TIDEMARROW32 SE" "$bin/main_window_demo.exe" chooser 20
"$shot" "$out/main-window-locked.png" "TIDEMARROW32 SE" "$bin/main_window_demo.exe" locked 20
SHOT_DELAY=6 "$shot" "$out/erase-running.png" "TIDEMARROW32 SE" "$bin/main_window_demo.exe" running 40
SHOT_DELAY=6 "$shot" "$out/erase-result.png" "TIDEMARROW32 SE" "$bin/main_window_demo.exe" result 40
SHOT_DELAY=2 "$shot" "$out/history-tools.png" "TIDEMARROW32 SE" "$bin/main_window_demo.exe" tools 20
SHOT_DELAY=5 "$shot" "$out/history-tools-running.png" "TIDEMARROW32 SE" "$bin/main_window_demo.exe" tools-running 40
# The demo run is stopped by the capture; its large file may still lie in the prefix.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Microsoft/Windows/INetCookies/tm-demo
SHOT_DELAY=2 "$shot" "$out/free-space.png" "TIDEMARROW32 SE" "$bin/main_window_demo.exe" freespace 20
SHOT_DELAY=2 "$shot" "$out/file-picker.png" "開く" "$bin/file_picker_demo.exe" 'C:\tidemarrow-picker-demo' demo.jpg 20
"$shot" "$out/error-report.png" "ErrorLog" "$bin/error_report_demo.exe" 20
SHOT_DELAY=3 "$shot" "$out/help-viewer.png" "TIDEMARROW32 SE ヘルプ" "$bin/main_window_demo.exe" help 20
"$shot" "$out/about-box.png" "TIDEMARROW32 SE のバージョン情報" "$bin/dialogs_demo.exe" about 20
"$shot" "$out/profile-chooser.png" "TIDEMARROW32 SE" "$bin/profile_windows_demo.exe" chooser 20
"$shot" "$out/profile-manager.png" "TIDEMARROW32 SE [DefaultUser]" "$bin/profile_windows_demo.exe" manager 20
for page in 0 1 2 3 4 5 6; do
    "$shot" "$out/settings-$page.png" "TIDEMARROW32 SEの設定" "$bin/config_window_demo.exe" "$page" 20
done
