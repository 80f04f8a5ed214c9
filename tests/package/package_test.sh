#!/usr/bin/env bash
# The packages of one edition (TM_EDITION: 64 for the x64 ones, 32 for the x86 ones) as a new
# user meets them, in a throw-away Wine prefix (removed afterwards): builds the packages
# (tools/package.sh), checks the zip's contents and the programs' width, installs silently, checks the
# files, shortcuts and uninstall entry, starts the installed program, starts it again with two
# files (they must reach the running window's list), refuses to install over a running program,
# installs again over the profiles (and, where the host runs it, the other edition over this one:
# one entry, the profiles kept), and uninstalls silently: only User\ may be left. Last, the
# unzipped portable program starts and keeps its profile beside itself.
# Needs a display (ctest runs it inside the Wine session of ./dev.sh test).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tools/wine-env.sh"
if [ "$TM_EDITION" = 64 ]; then
    edition=x64 other=x86 machine=8664 bin="$top/build64/bin"
else
    edition=x86 other=x64 machine=14c bin="$top/build/bin"
fi

fail() { echo "package_test: FAIL: $*" >&2; exit 1; }
note() { echo "package_test: $*"; }
[ -n "${DISPLAY:-}" ] || fail "no display"

bash "$top/tools/package.sh"
version=$(sed -n 's/^#define TM_PRODUCT_VERSION "\(.*\)"$/\1/p' "$top/resources/ProductInfo.h")
zip="$top/build/dist/TIDEMARROW32SE-$version-$edition.zip"
setup="$top/build/dist/TIDEMARROW32SE-$version-$edition-setup.exe"
other_setup="$top/build/dist/TIDEMARROW32SE-$version-$other-setup.exe"
[ -f "$zip" ] && [ -f "$setup" ] || fail "packages missing"
note "the $edition packages"

# The machine field of a program's file header, in hex: 14c (x86) or 8664 (x64).
machine_of() {
    python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
at = struct.unpack_from("<I", data, 0x3C)[0]
print("%x" % struct.unpack_from("<H", data, at + 4)[0])' "$1"
}
[ "$(machine_of "$setup")" = "$machine" ] || fail "the $edition installer is a program of the other width"

help_expected=""
[ -f "$bin/TIDEMARROW32 SE.chm" ] && help_expected=1

# The zip: the programs, the texts (code page 932, CR LF), the help file when built.
python3 - "$zip" "$help_expected" "$machine" <<'PY' || fail "zip contents"
import sys, zipfile
archive = zipfile.ZipFile(sys.argv[1])
names = set(archive.namelist())
want = {"TIDEMARROW32 SE/" + n for n in ("TIDEMARROW32SE.exe", "tmerase.exe", "Readme.txt", "LICENSE.txt")}
if sys.argv[2]:
    want.add("TIDEMARROW32 SE/TIDEMARROW32 SE.chm")
missing = want - names
assert not missing, missing
readme = archive.read("TIDEMARROW32 SE/Readme.txt")
assert b"\r\n" in readme and b"\n" not in readme.replace(b"\r\n", b""), "CR LF"
assert "送る".encode("cp932") in readme, "code page 932"
assert b"MIT License" in archive.read("TIDEMARROW32 SE/LICENSE.txt")
import struct
for name in ("TIDEMARROW32SE.exe", "tmerase.exe"):
    data = archive.read("TIDEMARROW32 SE/" + name)
    at = struct.unpack_from("<I", data, 0x3C)[0]
    assert "%x" % struct.unpack_from("<H", data, at + 4)[0] == sys.argv[3], name + " is of the other edition"
PY

scratch=$(mktemp -d /tmp/tm-package-test.XXXXXX)
export WINEPREFIX_OVERRIDE="$scratch/prefix"
. "$top/tools/wine-env.sh"  # again, for the throw-away prefix
# Launchers the menu builder could write would land here, not in the real home folder.
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/.local/share" XDG_CONFIG_HOME="$scratch/home/.config"
mkdir -p "$HOME"
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    rm -rf "$scratch"
}

# Starts the program in FOLDER in the background (its process id in $program) and waits until
# its window shows and then until its profile folder exists: the profile is made once the main
# window exists, and from then on a later start finds it.
start_program() {
    local folder=$1 what=$2 shown=""
    wine "$folder/TIDEMARROW32SE.exe" </dev/null >/dev/null 2>&1 &
    program=$!
    for _ in $(seq 1 600); do
        if xwininfo -root -tree 2>/dev/null | grep -q '"TIDEMARROW32 SE"'; then shown=1; break; fi
        kill -0 "$program" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$shown" ] || fail "$what showed no window"
    for _ in $(seq 1 200); do
        [ -d "$folder/User/DefaultUser" ] && break
        sleep 0.1
    done
}

trap cleanup EXIT

note "making a fresh prefix"
wineboot -i >/dev/null 2>&1 </dev/null || true
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null || true
wineserver -w

winpath() { wine cmd /c echo "%$1%" 2>/dev/null </dev/null | tr -d '\r'; }
unixpath() { winepath -u "$1" 2>/dev/null; }
local_app=$(unixpath "$(winpath LOCALAPPDATA)")
roaming=$(unixpath "$(winpath APPDATA)")
desktop=$(unixpath "$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v Desktop 2>/dev/null </dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')")
inst="$local_app/Programs/TIDEMARROW32 SE"
inst_win='C:\users\'"$(basename "$(dirname "$(dirname "$local_app")")")"'\AppData\Local\Programs\TIDEMARROW32 SE'
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TIDEMARROW32 SE'

note "installing silently"
wine "$setup" /S </dev/null || fail "setup /S exit status $?"
wineserver -w

for f in TIDEMARROW32SE.exe tmerase.exe uninstall.exe Readme.txt LICENSE.txt; do
    [ -f "$inst/$f" ] || fail "$f not installed in $inst"
done
[ "$(machine_of "$inst/TIDEMARROW32SE.exe")" = "$machine" ] || fail "the installed program is not the $edition edition"
[ -z "$help_expected" ] || [ -f "$inst/TIDEMARROW32 SE.chm" ] || fail "help file not installed"
links=("$roaming/Microsoft/Windows/SendTo/TIDEMARROW32 SE.lnk"
       "$roaming/Microsoft/Windows/Start Menu/Programs/TIDEMARROW32 SE/TIDEMARROW32 SE.lnk"
       "$roaming/Microsoft/Windows/Start Menu/Programs/TIDEMARROW32 SE/TIDEMARROW32 SE のアンインストール.lnk")
[ -z "$help_expected" ] || links+=("$roaming/Microsoft/Windows/Start Menu/Programs/TIDEMARROW32 SE/TIDEMARROW32 SE ヘルプ.lnk")
for link in "${links[@]}"; do
    [ -f "$link" ] || fail "shortcut missing: $link"
done
# The shortcuts lead to the installed program (the path is stored in UTF-16 or the ANSI page).
python3 - "${links[0]}" "${links[1]}" <<'PY' || fail "shortcut target"
import sys
for link in sys.argv[1:]:
    data = open(link, "rb").read()
    name = "TIDEMARROW32SE.exe"
    assert name.encode("utf-16-le") in data or name.encode() in data, link
PY
[ ! -e "$desktop/TIDEMARROW32 SE.lnk" ] || fail "the desktop shortcut is optional and was not chosen"
[ ! -d "$XDG_DATA_HOME/applications" ] || ! find "$XDG_DATA_HOME/applications" -name '*.desktop' | grep -q . \
    || fail "launchers written into the home folder"

entry=$(wine reg query "$key" 2>/dev/null </dev/null | tr -d '\r') || fail "no uninstall entry"
expect_value() { grep -qE "^ +$1 +$2 +$3\$" <<<"$entry" || fail "uninstall entry $1: wanted '$3' in: $entry"; }
expect_value DisplayName REG_SZ 'TIDEMARROW32 SE'
expect_value DisplayVersion REG_SZ "$version"
expect_value Publisher REG_SZ 'TIDEMARROW Project'
grep -q '^TIDEMARROW_WEB_ADDRESS:STRING=.' "$bin/../CMakeCache.txt" || ! grep -q URLInfoAbout <<<"$entry" \
    || fail "a build without a web address names one: $entry"
expect_value InstallLocation REG_SZ "$(sed 's/[\\.]/\\&/g' <<<"$inst_win")"
expect_value UninstallString REG_SZ "\"$(sed 's/[\\.]/\\&/g' <<<"$inst_win")\\\\uninstall\\.exe\""
expect_value QuietUninstallString REG_SZ "\"$(sed 's/[\\.]/\\&/g' <<<"$inst_win")\\\\uninstall\\.exe\" /S"
expect_value DisplayIcon REG_SZ "$(sed 's/[\\.]/\\&/g' <<<"$inst_win")\\\\TIDEMARROW32SE\\.exe,0"
grep -qE '^ +EstimatedSize +REG_DWORD +0x[0-9a-f]*[1-9a-f][0-9a-f]*$' <<<"$entry" || fail "EstimatedSize: $entry"

note "starting the installed program"
start_program "$inst" "the installed program"

note "a later start with two files"
mkdir -p "$WINEPREFIX/drive_c/tm-data"
printf 'one' >"$WINEPREFIX/drive_c/tm-data/one.txt"
printf 'two' >"$WINEPREFIX/drive_c/tm-data/two file.txt"
wine "$inst/TIDEMARROW32SE.exe" 'C:\tm-data\one.txt' 'C:\tm-data\two file.txt' </dev/null || fail "the later start ended with $?"
TM_EXPECT_LISTED='C:\tm-data\one.txt|C:\tm-data\two file.txt' WINEDEBUG=-all \
    wine "$bin/app_tests.exe" --gtest_filter=Program.TheRunningWindowListsThePathsExpected </dev/null \
    | tr -d '\r' | grep -q '^\[  PASSED  \] 1 test' || fail "the two files are not in the running window's list"

note "installing over a running program is refused"
status=0
wine "$setup" /S </dev/null || status=$?
[ "$status" -eq 2 ] || fail "setup over a running program ended with $status"
kill -0 "$program" 2>/dev/null || fail "the running program went"
[ -f "$inst/TIDEMARROW32SE.exe" ] || fail "the program went"

note "installing again keeps the profiles"
wineserver -k >/dev/null 2>&1 || true
wait "$program" 2>/dev/null || true
wineserver -w
[ -d "$inst/User/DefaultUser" ] || fail "the program made no profile beside itself"
printf 'kept' >"$inst/User/DefaultUser/marker.txt"
wine "$setup" /S </dev/null || fail "second setup /S exit status $?"
wineserver -w
[ "$(cat "$inst/User/DefaultUser/marker.txt")" = kept ] || fail "installing again lost the profiles"

# The x86 edition over the x64 one, where this host runs 32-bit programs (a 64-bit prefix runs
# both): the same folder, one entry, the profiles kept; then the x64 edition back.
if [ "$edition" = x64 ] && [ -f "$other_setup" ] && host_runs_32bit; then
    note "installing the $other edition over the $edition one"
    wine "$other_setup" /S </dev/null || fail "$other setup /S exit status $?"
    wineserver -w
    [ "$(machine_of "$inst/TIDEMARROW32SE.exe")" != "$machine" ] || fail "the $other edition did not replace the program"
    [ "$(cat "$inst/User/DefaultUser/marker.txt")" = kept ] || fail "the other edition lost the profiles"
    entries=$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null </dev/null | tr -d '\r')
    [ "$(grep -c 'TIDEMARROW' <<<"$entries")" = 1 ] || fail "not one uninstall entry: $entries"
    wine "$setup" /S </dev/null || fail "setup /S over the $other edition exit status $?"
    wineserver -w
    [ "$(machine_of "$inst/TIDEMARROW32SE.exe")" = "$machine" ] || fail "the $edition edition did not come back"
fi

# --- Explorer's right-click menu (per user): both entries run the installed program; run as
# Explorer runs it for several selected items (one start each, all at once) it lists them all in
# one window; uninstall removes only an entry that runs the installed program.
verb_keys=('HKCU\Software\Classes\*\shell\TIDEMARROW32SE' 'HKCU\Software\Classes\Directory\shell\TIDEMARROW32SE')
# KEY [VALUE]: the text of a value (the key's own without VALUE).
reg_value() { wine reg query "$1" $([ -n "${2:-}" ] && echo "/v $2" || echo /ve) 2>/dev/null </dev/null \
    | iconv -f cp932 -t utf-8 | tr -d '\r' | sed -n 's/^ *[^ ]* *REG_SZ *//p'; }
for verb_key in "${verb_keys[@]}"; do
    [ "$(reg_value "$verb_key")" = 'TIDEMARROW32 SEで抹消' ] || fail "caption of $verb_key"
    [ "$(reg_value "$verb_key" Icon)" = "\"$inst_win\\TIDEMARROW32SE.exe\",0" ] || fail "icon of $verb_key"
    [ "$(reg_value "$verb_key\\command")" = "\"$inst_win\\TIDEMARROW32SE.exe\" /ExplorerVerb \"%1\"" ] \
        || fail "command of $verb_key"
done
bin_class='HKCU\Software\Classes\CLSID\{645FF040-5081-101B-9F08-00AA002F954E}'
bin_caption=$(reg_value "$bin_class\\shell\\TIDEMARROW32SE" || true)
[ "$bin_caption" = 'TIDEMARROW32 SEで抹消' ] || fail "caption of the Recycle Bin's entry: '$bin_caption', the key holds:
$(wine reg query "$bin_class" /s 2>&1 </dev/null | iconv -f cp932 -t utf-8 | tr -d '\r')"
[ "$(reg_value "$bin_class\\shell\\TIDEMARROW32SE\\command")" = "\"$inst_win\\TIDEMARROW32SE.exe\" /RecycleBin" ] \
    || fail "command of the Recycle Bin's entry"
# The user's own setting of the Recycle Bin, beside ours, stays after uninstall.
wine reg add "$bin_class\\DefaultIcon" /v Full /d 'C:\full.ico' /f </dev/null >/dev/null 2>&1
mkdir -p "$WINEPREFIX/drive_c/tm-data/folder"
printf 'four' >"$WINEPREFIX/drive_c/tm-data/folder/four.txt"
for item in 'C:\tm-data\one.txt' 'C:\tm-data\two file.txt' 'C:\tm-data\folder'; do
    wine "$inst/TIDEMARROW32SE.exe" /ExplorerVerb "$item" </dev/null >/dev/null 2>&1 &
done
TM_EXPECT_LISTED='C:\tm-data\one.txt|C:\tm-data\two file.txt|C:\tm-data\folder\four.txt' WINEDEBUG=-all \
    wine "$bin/app_tests.exe" --gtest_filter=Program.TheRunningWindowListsThePathsExpected </dev/null \
    | tr -d '\r' | grep -q '^\[  PASSED  \] 1 test' || fail "the selection is not listed in one window"
wineserver -k >/dev/null 2>&1 || true
wait 2>/dev/null || true
wineserver -w
wine reg add "${verb_keys[1]}\\command" /ve /d '"C:\other\TIDEMARROW32SE.exe" /ExplorerVerb "%1"' /f </dev/null >/dev/null 2>&1

# A program file in use, as when the program's window has closed and its process is still
# ending: held (in the background) until $scratch/held is removed.
hold() {
    rm -f "$scratch/held"
    TM_HOLD_FILE=$(winepath -w "$1" 2>/dev/null) TM_HOLD_MARKER=$(winepath -w "$scratch/held" 2>/dev/null) \
        WINEDEBUG=-all wine "$bin/app_tests.exe" --gtest_filter=Program.HoldsAFileForThePackageTest \
        </dev/null >/dev/null 2>&1 &
    holder=$!
    for _ in $(seq 1 600); do [ -f "$scratch/held" ] && return; sleep 0.1; done
    fail "could not hold $1"
}
# The program's start entry for files pending at the next logon goes with the program.
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
wine reg add "$run_key" /v TIDEMARROW32SE /d "\"$inst_win\\TIDEMARROW32SE.exe\" /Pending DefaultUser" /f </dev/null >/dev/null 2>&1 \
    || fail "could not write the start entry"
[ -n "$(reg_value "$run_key" TIDEMARROW32SE)" ] || fail "the start entry cannot be read back"
note "uninstalling silently while tmerase.exe stays in use"
hold "$inst/tmerase.exe"
# Run in place, as a tool that waits for it runs it (a plain start hands over to a copy of itself
# in the temporary folder and ends at once), so that its exit status is its own; "_?=" must
# stand unquoted at the end of the command line, as a batch file passes it.
printf '"%s\\uninstall.exe" /S _?=%s\r\nexit /b %%errorlevel%%\r\n' "$inst_win" "$inst_win" >"$scratch/uninstall.bat"
status=0
wine cmd /c "$(winepath -w "$scratch/uninstall.bat" 2>/dev/null)" </dev/null || status=$?
[ "$status" -eq 3 ] || fail "uninstall with a file in use ended with $status, left: $(ls "$inst" | tr '\n' ' ')"
[ -f "$inst/tmerase.exe" ] && [ ! -e "$inst/TIDEMARROW32SE.exe" ] || fail "not only the file in use stayed"
iconv -f utf-16 -t utf-8 "$inst/uninstall.log" | grep -qF "tmerase.exe" || fail "uninstall.log names no file"
wine reg query "$key" >/dev/null 2>&1 </dev/null || fail "the uninstall entry went with a file left"
rm -f "$scratch/held"
wait "$holder" || true

note "uninstalling silently while TIDEMARROW32SE.exe is let go within the 5 s"
cp "$inst/tmerase.exe" "$inst/TIDEMARROW32SE.exe"
hold "$inst/TIDEMARROW32SE.exe"
(sleep 3; rm -f "$scratch/held") &
wine "$inst/uninstall.exe" /S </dev/null || fail "uninstall /S exit status $?"
wait "$holder" || true
wineserver -w
left=$(cd "$inst" && find . -mindepth 1 -maxdepth 1 | sort | tr '\n' ' ')
[ "$left" = "./User " ] || fail "left after uninstall: $left"
[ -f "$inst/User/DefaultUser/marker.txt" ] || fail "the profiles went"
for link in "${links[@]}"; do
    [ ! -e "$link" ] || fail "shortcut left: $link"
done
[ ! -d "$roaming/Microsoft/Windows/Start Menu/Programs/TIDEMARROW32 SE" ] || fail "Start menu folder left"
! wine reg query "$key" >/dev/null 2>&1 </dev/null || fail "uninstall entry left"
[ -z "$(reg_value "$run_key" TIDEMARROW32SE)" ] || fail "the start entry of pending files left"
# --- Explorer's right-click menu after uninstall: another copy's entry stays.
! wine reg query "${verb_keys[0]}" >/dev/null 2>&1 </dev/null || fail "the right-click menu's entry left"
[ -n "$(reg_value "${verb_keys[1]}\\command")" ] || fail "uninstall removed another copy's entry"
wine reg delete "${verb_keys[1]}" /f </dev/null >/dev/null 2>&1 || true
! wine reg query "$bin_class\\shell" >/dev/null 2>&1 </dev/null || fail "the Recycle Bin's entry or its empty shell key left"
[ "$(reg_value "$bin_class\\DefaultIcon" Full)" = 'C:\full.ico' ] || fail "uninstall removed the user's Recycle Bin setting"
wine reg delete "$bin_class" /f </dev/null >/dev/null 2>&1 || true

note "the portable program, unzipped"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$WINEPREFIX/drive_c/portable"
portable="$WINEPREFIX/drive_c/portable/TIDEMARROW32 SE"
start_program "$portable" "the unzipped program"
[ -d "$portable/User/DefaultUser" ] || fail "the unzipped program keeps no profile beside itself"
wineserver -k >/dev/null 2>&1 || true
wait "$program" 2>/dev/null || true
note "passed"
