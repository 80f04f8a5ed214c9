#!/usr/bin/env bash
# tmerase --recycle-bin on loop images made here (natively, as root), each mapped to a drive
# letter of this test's own in the prefix: the Windows layout of a user's Recycle Bin is made
# on them ($I records of both versions, $R files and a folder, a link item, orphans, another
# user's folder), and afterwards the contents and records are gone from the raw image, the
# link's target and the other folder are untouched. A bin owned by another user, or reached
# through a link, is passed over with a message.
#   recyclebin_test.sh BUILD_DIR
set -u
build=$(cd "${1:?build folder}" && pwd)
top=$(cd "$(dirname "$0")/../.." && pwd)
image="$top/tests/realfs/loop_image.sh"
root="$build/recyclebin_test"
status=0
fail() { echo "FAIL: $*"; status=1; }
[ "$(id -u)" = 0 ] && command -v mkfs.ext4 >/dev/null || { echo "SKIP: needs root and mkfs.ext4"; exit 0; }
tmerase() { "$top/tools/wine-run.sh" "$build/bin/tmerase.exe" "$@" 2>/dev/null | iconv -f cp932 -t utf-8; return "${PIPESTATUS[0]}"; }
tmerase --help >/dev/null  # makes the prefix when there is none
. "$top/tools/wine-env.sh"
sid=S-1-5-21-0-0-0-1000  # the user Wine's tokens name
letters=()
cleanup() {
    for l in "${letters[@]}"; do rm -f "$WINEPREFIX/dosdevices/$l:"; done
    for d in "$root"/*/; do [ -d "$d" ] && bash "$image" drop "${d%/}"; done
}
trap cleanup EXIT
mkdir -p "$root"

# Maps a free drive letter onto DIR and sets `letter` (in this shell, so that the cleanup sees it).
map_letter() {
    for l in r s t u v w x y; do
        [ -e "$WINEPREFIX/dosdevices/$l:" ] || [ -L "$WINEPREFIX/dosdevices/$l:" ] && continue
        ln -s "$1" "$WINEPREFIX/dosdevices/$l:" && letters+=("$l") && letter=${l^^} && return 0
    done
    return 1
}

# $I records: version 1 (260-character name) and 2 (counted name), as Windows writes them.
record() {
    python3 - "$@" <<'EOF'
import struct, sys
path, version, name = sys.argv[1], int(sys.argv[2]), sys.argv[3]
head = struct.pack('<QQQ', version, 4096, 133000000000000000)
text = name.encode('utf-16-le')
if version == 1: body = text + b'\0' * (520 - len(text))
elif version == 2: body = struct.pack('<I', len(name) + 1) + text + b'\0\0'
else: body = text
open(path, 'wb').write(head + body)
EOF
}

make_bin() {
    local dir=$1 kind=$2 bin="$1/\$Recycle.Bin/$sid"
    mkdir -p "$bin" "$dir/\$Recycle.Bin/S-1-5-21-9-9-9-1001" "$dir/outside"
    printf '[.ShellClassInfo]\r\n' >"$bin/desktop.ini"
    seq -f "RBMARK-$kind-doc-%05g" 1 400 >"$bin/\$RA1B2C3.txt"
    record "$bin/\$IA1B2C3.txt" 2 "C:\\Users\\me\\RBPATH-v2-doc.txt"
    mkdir -p "$bin/\$RD4E5F6/sub"
    seq -f "RBMARK-$kind-deep-%05g" 1 400 >"$bin/\$RD4E5F6/sub/deep.txt"
    printf "RBMARK-$kind-top" >"$bin/\$RD4E5F6/top.txt"
    printf 'keep me' >"$dir/outside/keep.txt"
    record "$bin/\$ID4E5F6" 1 "D:\\data\\RBPATH-v1-folder"
    printf "RBMARK-$kind-orphan" >"$bin/\$RORPHAN.bin"
    record "$bin/\$ILONELY.txt" 2 "C:\\RBPATH-lonely.txt"
    printf "RBMARK-$kind-bad" >"$bin/\$RBADREC.txt"
    record "$bin/\$IBADREC.txt" 7 "C:\\RBPATH-bad.txt"
    ln -s ../../outside/keep.txt "$bin/\$RLINK01.txt"
    record "$bin/\$ILINK01.txt" 2 "C:\\LINKPATH.txt"
    printf "OTHERMARK-$kind" >"$dir/\$Recycle.Bin/S-1-5-21-9-9-9-1001/\$RXYZ.txt"
    sync
}

count_utf16() { python3 -c "import sys; print(open(sys.argv[1],'rb').read().count(sys.argv[2].encode('utf-16-le')))" "$@"; }

kinds=ext4
command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null && kinds="ext4 ntfs"
for kind in $kinds; do
    dir="$root/$kind"
    bash "$image" make "$dir" "$kind" 16 || { fail "$kind image"; continue; }
    map_letter "$dir" || { fail "$kind: no free drive letter"; continue; }
    make_bin "$dir" "$kind"
    # No answer (no standard input) is No: the question, status 1, nothing touched.
    out=$(tmerase --recycle-bin "$letter:" </dev/null) && fail "$kind: erased without an answer"
    echo "$out" | grep -q "ごみ箱の 6 個の項目 (" || fail "$kind: question's count: $out"
    echo "$out" | grep -q "^ほか 1 個" || fail "$kind: question's rest: $out"
    echo "$out" | grep -qF "・C:\\Users\\me\\RBPATH-v2-doc.txt" || fail "$kind: question's names: $out"
    [ -f "$dir/\$Recycle.Bin/$sid/\$RA1B2C3.txt" ] || fail "$kind: erased after No"

    out=$(tmerase --recycle-bin --yes --level normal "$letter:")
    rc=$?
    # A link goes as a link, through a handle that is the link itself. Wine opens a Unix link as
    # what it leads to, so there it stays, with its record, and its line says so.
    if [ -L "$dir/\$Recycle.Bin/$sid/\$RLINK01.txt" ]; then
        [ "$rc" = 1 ] && echo "$out" | grep -qF 'ファイル名:C:\LINKPATH.txtを正しく処理出来ませんでした。' ||
            fail "$kind: a link left without saying so: $out"
        rm "$dir/\$Recycle.Bin/$sid/\$RLINK01.txt" "$dir/\$Recycle.Bin/$sid/\$ILINK01.txt"
    else
        [ "$rc" = 0 ] || fail "$kind: exit status $rc: $out"
    fi
    for name in 'C:\Users\me\RBPATH-v2-doc.txt' 'D:\data\RBPATH-v1-folder' '$RORPHAN.bin(元の名前不明)' \
                '$ILONELY.txt(元の名前不明)' '$RBADREC.txt(元の名前不明)'; do
        echo "$out" | grep -qF "ファイル名:${name}をディスクから抹消しました。" || fail "$kind: no line for $name: $out"
    done
    [ "$(ls -A "$dir/\$Recycle.Bin/$sid")" = desktop.ini ] || fail "$kind: left: $(ls -A "$dir/\$Recycle.Bin/$sid")"
    [ "$(cat "$dir/outside/keep.txt")" = "keep me" ] || fail "$kind: the link item's target changed"
    [ -f "$dir/\$Recycle.Bin/S-1-5-21-9-9-9-1001/\$RXYZ.txt" ] || fail "$kind: another user's item touched"
    bash "$image" drop "$dir"
    marks=$(grep -a -c "RBMARK-$kind" "$dir.img")
    paths=$(count_utf16 "$dir.img" RBPATH)
    others=$(grep -a -c "OTHERMARK-$kind" "$dir.img")
    [ "$marks" = 0 ] && [ "$paths" = 0 ] || fail "$kind: in the raw image: $marks contents, $paths record names"
    [ "$others" -ge 1 ] || fail "$kind: another user's item gone from the image"
    echo "$kind: contents $marks, records $paths left; another user's item kept"
done

# A bin another account may have made: owned by another user, or reached through a link.
dir="$root/foreign"
if bash "$image" make "$dir" ext4 8 && map_letter "$dir"; then
    make_bin "$dir" foreign
    chown 4321 "$dir/\$Recycle.Bin/$sid"
    out=$(tmerase --recycle-bin --yes "$letter:") && fail "foreign owner: exit status 0"
    echo "$out" | grep -qF "ドライブ $letter:\\ のごみ箱は他のユーザーが作った可能性があるため抹消しませんでした。" ||
        fail "foreign owner: no message: $out"
    chown 0 "$dir/\$Recycle.Bin/$sid"
    mv "$dir/\$Recycle.Bin" "$dir/planted" && ln -s planted "$dir/\$Recycle.Bin"
    out=$(tmerase --recycle-bin --yes "$letter:") && fail "linked bin: exit status 0"
    echo "$out" | grep -q "他のユーザーが作った可能性" || fail "linked bin: no message: $out"
    [ -f "$dir/planted/$sid/\$RA1B2C3.txt" ] && [ -d "$dir/planted/$sid/\$RD4E5F6" ] || fail "foreign: items touched"
else
    fail "foreign image"
fi
exit $status
