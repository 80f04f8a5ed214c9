#!/usr/bin/env bash
# tmerase --free-space on loop images made here (natively, as root): markers of files deleted
# the ordinary way are gone from the raw image afterwards, the free space is as before,
# nothing is left and the report has the drive's row; a killed run is cleaned up by the next one; a full volume, a read-only
# volume and a folder that refuses writes give a clear message, exit status 1 and leave nothing.
#   freespace_test.sh BUILD_DIR
set -u
build=$(cd "${1:?build folder}" && pwd)
top=$(cd "$(dirname "$0")/../.." && pwd)
image="$top/tests/realfs/loop_image.sh"
root="$build/freespace_test"
status=0
fail() { echo "FAIL: $*"; status=1; }
[ "$(id -u)" = 0 ] && command -v mkfs.ext4 >/dev/null || { echo "SKIP: needs root and mkfs.ext4"; exit 0; }
win() { echo "Z:$(echo "$1" | tr / '\\')"; }
tmerase() { "$top/tools/wine-run.sh" "$build/bin/tmerase.exe" "$@" 2>/dev/null | iconv -f cp932 -t utf-8; return "${PIPESTATUS[0]}"; }
free_bytes() { sync; df -B1 --output=avail "$1" | tail -1; }
near() { local d=$(($1 - $2)); [ "${d#-}" -le 131072 ]; }
trap 'for d in "$root"/*/; do bash "$image" drop "${d%/}"; done' EXIT
mkdir -p "$root"

kinds=ext4
# ntfs4k: sectors of 4 KiB, so file records of 4 KiB, whose size Wine does not tell.
command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null && kinds="ext4 ntfs ntfs4k"
for kind in $kinds; do
    dir="$root/$kind"
    bash "$image" make "$dir" "$kind" 64 || { fail "$kind image"; continue; }
    # The large file outgrows the clusters ext4 keeps from every writer (2%, at most 4096).
    seq -f "FSMARK-$kind-large-%07g" 1 800000 >"$dir/large.txt"
    for i in $(seq 1 40); do printf 'FSMARK-%s-small-%02d\n' "$kind" "$i" >"$dir/small$i.txt"; done
    sync && rm "$dir"/large.txt "$dir"/small*.txt && sync
    before=$(free_bytes "$dir")
    [ "$(grep -a -o "FSMARK-$kind" "$dir.img" | wc -l)" -ge 800000 ] || fail "$kind: the markers did not reach the image"
    out=$(tmerase --free-space --level normal --report "$(win "$root/$kind.csv")" "$(win "$dir")") ||
        fail "$kind: exit status $?: $out"
    # The report has the drive as one row, erased at Normal.
    [ "$(grep -c '"空き領域の抹消 Normal: 2 回 (0xFFFE, 0x0000)","抹消済み"' "$root/$kind.csv")" = 1 ] ||
        fail "$kind: report: $(cat "$root/$kind.csv")"
    echo "$out" | grep -q "を上書きしました" || fail "$kind: no result line: $out"
    [ "$kind" != ext4 ] && { echo "$out" | grep -q "ファイルレコード [0-9]* 個を上書き" || fail "$kind: no record step: $out"; }
    # Records of 4 KiB keep more than the 720 bytes one of 1 KiB keeps.
    [ "$kind" = ntfs4k ] && { echo "$out" | grep -q "(\(3[0-9]\{3\}\|2[0-9]\{3\}\) バイトずつ)" || fail "ntfs4k: small data: $out"; }
    near "$(free_bytes "$dir")" "$before" || fail "$kind: free space $before before, $(free_bytes "$dir") after"
    [ -z "$(ls -A "$dir" | grep -v lost+found)" ] || fail "$kind: left behind: $(ls -A "$dir")"
    bash "$image" drop "$dir"
    left=$(grep -a -o "FSMARK-$kind" "$dir.img" | wc -l)
    # ext4 keeps 2% of its clusters (at most 4096) from every writer, root included: lines
    # there stay. NTFS keeps none, and the small files' records are taken too.
    limit=0; [ "$kind" = ext4 ] && limit=$((64 * 1024 * 1024 / 50 / 21 + 1024))
    [ "$left" -le "$limit" ] || fail "$kind: $left markers still in the image"
    echo "$kind: markers left $left of 800040 (at most $limit), free $before"
done

# A killed run leaves its folder; the next start removes it and runs.
dir="$root/killed"
bash "$image" make "$dir" ext4 512 || fail "killed image"
before=$(free_bytes "$dir")
"$top/tools/wine-run.sh" "$build/bin/tmerase.exe" --free-space --level high "$(win "$dir")" >/dev/null 2>&1 &
run=$!
for _ in $(seq 1 300); do [ -s "$dir/~TIDEMARROW.free/fill00000.tmf" ] && break; sleep 0.1; done
kill -9 "$run" $(pgrep -P "$run"); wait "$run" 2>/dev/null
# The system lets go of the killed process's files (they are no longer open anywhere).
for _ in $(seq 1 100); do fuser -s "$dir/~TIDEMARROW.free/fill00000.tmf" 2>/dev/null || break; sleep 0.1; done
[ -f "$dir/~TIDEMARROW.free/~TIDEMARROW.marker" ] || fail "killed: no leftover to clean up"
out=$(tmerase --free-space --level speed "$(win "$dir")") || fail "killed: next run failed: $out"
echo "$out" | grep -q "前回の空き領域の抹消の残りを削除しました" || fail "killed: leftover not reported: $out"
[ ! -e "$dir/~TIDEMARROW.free" ] && near "$(free_bytes "$dir")" "$before" || fail "killed: not cleaned up"

# A full volume, a read-only one, a folder that refuses writes: a message, status 1, nothing left.
bash "$image" make "$root/full" ext4 8 && dd if=/dev/zero of="$root/full/filler" bs=64k 2>/dev/null
dd if=/dev/zero of="$root/full/tail" bs=1k 2>/dev/null
bash "$image" make "$root/ro" ext4 8 ro
bash "$image" make "$root/locked" ext4 8 && mkdir "$root/locked/folder" && chattr +i "$root/locked/folder"
for case in full:"$root/full":"空きがない" ro:"$root/ro":"書き込めません" locked:"$root/locked/folder":"書き込めません"; do
    IFS=: read -r name dir text <<<"$case"
    out=$(tmerase --free-space "$(win "$dir")") && fail "$name: exit status 0"
    echo "$out" | grep -q "$text" || fail "$name: no clear message: $out"
    [ ! -e "$dir/~TIDEMARROW.free" ] || fail "$name: folder left"
done
chattr -i "$root/locked/folder" 2>/dev/null
exit $status
