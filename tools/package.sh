#!/usr/bin/env bash
# Builds the packages of each edition built (./dev.sh package builds both first):
#   build/dist/TIDEMARROW32SE-<version>-x64.zip          the portable 64-bit program (from build64/bin)
#   build/dist/TIDEMARROW32SE-<version>-x64-setup.exe    its per-user NSIS installer (a 64-bit program)
#   build/dist/TIDEMARROW32SE-<version>-x86.zip          the portable 32-bit program (from build/bin)
#   build/dist/TIDEMARROW32SE-<version>-x86-setup.exe    its installer
# Each holds TIDEMARROW32SE.exe and tmerase.exe (debug information stripped), the help file when
# it has been built, the read-me (code page 932, CR LF) and the licence. Both installers use one
# folder, one uninstall entry and one profile folder, so either edition installs over the other.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dist="$top/build/dist"

# The product's title, version and organisation: resources/ProductInfo.h holds them. The web
# address and contact are each build's (its CMake cache); either may be empty.
product() { sed -n "s/^#define TM_PRODUCT_$1 \"\\(.*\\)\"\$/\\1/p" "$top/resources/ProductInfo.h"; }
build_setting() { sed -n "s/^TIDEMARROW_$1:STRING=//p" "$2/CMakeCache.txt" 2>/dev/null; }
title=$(product TITLE)
version=$(product VERSION)
organisation=$(product ORGANISATION)
numbers=$(sed -n 's/^#define TM_PRODUCT_VERSION_NUMBERS \(.*\)$/\1/p' "$top/resources/ProductInfo.h" | tr -d ' ' | tr ',' '.')
[ -n "$title" ] && [ -n "$version" ] && [ -n "$numbers" ] || { echo "package: cannot read resources/ProductInfo.h" >&2; exit 1; }
command -v makensis >/dev/null || { echo "package: makensis is missing; run tools/setup.sh" >&2; exit 1; }
mkdir -p "$dist"

# Texts for Windows users: code page 932 and CR LF, like every file the program reads. The
# read-me ends with the build's web address and contact, when it has them.
to_windows_text() {
    python3 -c '
import sys
text = open(sys.argv[1], encoding="utf-8").read() + "".join(line + "\n" for line in sys.argv[3:] if line)
text = text.replace("\r\n", "\n").replace("\n", "\r\n")
open(sys.argv[2], "wb").write(text.encode("cp932"))' "$@"
}

# The portable archive: one folder named for the product, to unzip anywhere writable.
make_zip() {
    python3 -c '
import os, sys, zipfile
stage, target, folder = sys.argv[1:4]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for name in sorted(os.listdir(stage)):
        archive.write(os.path.join(stage, name), folder + "/" + name)' "$1" "$2" "$3"
}

# package EDITION BIN TOOL_PREFIX NSIS_TARGET
package() {
    local edition=$1 bin=$2 tools=$3 target=$4
    local address contact
    address=$(build_setting WEB_ADDRESS "$bin/..")
    contact=$(build_setting CONTACT "$bin/..")
    local stage="$dist/stage-$edition" program help="$title.chm" have_help=()
    rm -rf "$stage"
    mkdir -p "$stage"
    for program in TIDEMARROW32SE.exe tmerase.exe; do
        "$tools-strip" -o "$stage/$program" "$bin/$program"
    done
    if [ -f "$bin/$help" ]; then
        cp "$bin/$help" "$stage/$help"
        have_help=(-DHAVE_HELP)
    fi
    to_windows_text "$top/tools/installer/Readme.txt" "$stage/Readme.txt" "$address" "$contact"
    to_windows_text "$top/LICENSE" "$stage/LICENSE.txt"

    local zip="$dist/TIDEMARROW32SE-$version-$edition.zip"
    rm -f "$zip"
    make_zip "$stage" "$zip" "$title"

    local setup="$dist/TIDEMARROW32SE-$version-$edition-setup.exe"
    rm -f "$setup"
    makensis -V2 -INPUTCHARSET UTF8 \
        "-DPRODUCT_TITLE=$title" "-DPRODUCT_VERSION=$version" "-DPRODUCT_VERSION_NUMBERS=$numbers" \
        "-DPRODUCT_ORGANISATION=$organisation" "-DPRODUCT_WEB_ADDRESS=$address" "-DPRODUCT_CONTACT=$contact" \
        "-DEDITION=$edition" "-DNSIS_TARGET=$target" \
        "-DSTAGE=$stage" "-DOUTFILE=$setup" "-DPROJECT_TOP=$top" "${have_help[@]}" \
        "$top/tools/installer/TIDEMARROW32SE.nsi"
    rm -rf "$stage"
    echo "package: $zip"
    echo "package: $setup"
}

made=0
for edition in x64 x86; do
    if [ "$edition" = x64 ]; then
        bin="$top/build64/bin" tools=x86_64-w64-mingw32 target=amd64-unicode
    else
        bin="$top/build/bin" tools=i686-w64-mingw32 target=x86-unicode
    fi
    if [ -f "$bin/TIDEMARROW32SE.exe" ] && [ -f "$bin/tmerase.exe" ]; then
        package "$edition" "$bin" "$tools" "$target"
        made=$((made + 1))
    else
        echo "package: the $edition edition is not built in $bin (./dev.sh package builds both)" >&2
    fi
done
[ "$made" -gt 0 ] || { echo "package: nothing to package; run ./dev.sh package" >&2; exit 1; }
