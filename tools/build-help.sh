#!/usr/bin/env bash
# Compiles the help file from the HTML sources in resources/help.
#   tools/build-help.sh SOURCE_FOLDER WORK_FOLDER OUTPUT_FILE [PICTURE...]
# The sources are UTF-8; the help viewer reads a Japanese help file (language 0x411) in code
# page 932, so every text file is converted to Shift_JIS with CR LF before chmcmd (Free
# Pascal's CHM compiler) builds the project TIDEMARROW.hhp. The pictures (the screenshots the
# pages show) are copied beside the pages as they are.
set -euo pipefail
src=$1 work=$2 out=$3
shift 3
command -v chmcmd >/dev/null || { echo "build-help: chmcmd is missing (Debian package fp-utils; run tools/setup.sh)" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
for file in "$src"/*; do
    name=$(basename "$file")
    case "$name" in
        *.htm|*.html|*.hhp|*.hhc|*.hhk|*.css)
            # A character without a Shift_JIS form stops the build here.
            sed 's/\r$//' "$file" | iconv -f UTF-8 -t CP932 | sed 's/$/\r/' >"$work/$name" ;;
        CMakeLists.txt) ;;
        *)
            cp "$file" "$work/$name" ;;
    esac
done
for picture in "$@"; do cp "$picture" "$work/"; done
compiled=$(sed -n 's/^Compiled file=\(.*\)\r$/\1/p' "$work/TIDEMARROW.hhp")
(cd "$work" && chmcmd TIDEMARROW.hhp >chmcmd.log 2>&1) || { cat "$work/chmcmd.log" >&2; exit 1; }
[ -s "$work/$compiled" ] || { cat "$work/chmcmd.log" >&2; echo "build-help: no $compiled" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
cp "$work/$compiled" "$out"
