#!/usr/bin/env bash
# Builds the two packages from what is in build/bin (./dev.sh package builds first):
#   build/dist/TIDEMARROW32SE-<version>.zip        the portable program
#   build/dist/TIDEMARROW32SE-<version>-setup.exe  the per-user NSIS installer
# Both hold TIDEMARROW32SE.exe and tmerase.exe (debug information stripped), the help file when
# it has been built, the read-me (code page 932, CR LF) and the licence.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/bin"
dist="$top/build/dist"
stage="$dist/stage"

# The product's title, version and organisation: resources/ProductInfo.h holds them. The web
# address and contact are the build's (its CMake cache); either may be empty.
product() { sed -n "s/^#define TM_PRODUCT_$1 \"\\(.*\\)\"\$/\\1/p" "$top/resources/ProductInfo.h"; }
build_setting() { sed -n "s/^TIDEMARROW_$1:STRING=//p" "$top/build/CMakeCache.txt" 2>/dev/null; }
title=$(product TITLE)
version=$(product VERSION)
organisation=$(product ORGANISATION)
address=$(build_setting WEB_ADDRESS)
contact=$(build_setting CONTACT)
numbers=$(sed -n 's/^#define TM_PRODUCT_VERSION_NUMBERS \(.*\)$/\1/p' "$top/resources/ProductInfo.h" | tr -d ' ' | tr ',' '.')
[ -n "$title" ] && [ -n "$version" ] && [ -n "$numbers" ] || { echo "package: cannot read resources/ProductInfo.h" >&2; exit 1; }

for program in TIDEMARROW32SE.exe tmerase.exe; do
    [ -f "$bin/$program" ] || { echo "package: $bin/$program is missing; run ./dev.sh package" >&2; exit 1; }
done
command -v makensis >/dev/null || { echo "package: makensis is missing; run tools/setup.sh" >&2; exit 1; }

rm -rf "$stage"
mkdir -p "$stage"
for program in TIDEMARROW32SE.exe tmerase.exe; do
    i686-w64-mingw32-strip -o "$stage/$program" "$bin/$program"
done
help="$title.chm"
have_help=()
if [ -f "$bin/$help" ]; then
    cp "$bin/$help" "$stage/$help"
    have_help=(-DHAVE_HELP)
fi
# Texts for Windows users: code page 932 and CR LF, like every file the program reads. The
# read-me ends with the build's web address and contact, when it has them.
python3 - "$address" "$contact" "$top/tools/installer/Readme.txt" "$stage/Readme.txt" "$top/LICENSE" "$stage/LICENSE.txt" <<'PY'
import sys
addresses = "".join(line + "\n" for line in sys.argv[1:3] if line)
pairs = zip(sys.argv[3::2], sys.argv[4::2])
for source, target in pairs:
    text = open(source, encoding="utf-8").read()
    if source.endswith("Readme.txt"):
        text += addresses
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    open(target, "wb").write(text.encode("cp932"))
PY

# The portable archive: one folder named for the product, to unzip anywhere writable.
zip="$dist/TIDEMARROW32SE-$version.zip"
rm -f "$zip"
python3 - "$stage" "$zip" "$title" <<'PY'
import os, sys, zipfile
stage, target, folder = sys.argv[1:4]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for name in sorted(os.listdir(stage)):
        archive.write(os.path.join(stage, name), folder + "/" + name)
PY

setup="$dist/TIDEMARROW32SE-$version-setup.exe"
rm -f "$setup"
makensis -V2 -INPUTCHARSET UTF8 \
    "-DPRODUCT_TITLE=$title" "-DPRODUCT_VERSION=$version" "-DPRODUCT_VERSION_NUMBERS=$numbers" \
    "-DPRODUCT_ORGANISATION=$organisation" "-DPRODUCT_WEB_ADDRESS=$address" "-DPRODUCT_CONTACT=$contact" \
    "-DSTAGE=$stage" "-DOUTFILE=$setup" "-DPROJECT_TOP=$top" "${have_help[@]}" \
    "$top/tools/installer/TIDEMARROW32SE.nsi"
rm -rf "$stage"
echo "package: $zip"
echo "package: $setup"
