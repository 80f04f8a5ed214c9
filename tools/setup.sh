#!/usr/bin/env bash
# Installs what building and testing need, idempotently.
#   - Debian packages: the i686 and x86_64 mingw-w64 toolchains, Wine (32- and 64-bit), Xvfb, fonts,
#     CMake, GoogleTest source, NSIS (the installer), the file system tools the realfs tests make
#     their images with, and sfill (secure-delete), which bench/vs_sfill.sh measures against
#   - libjpeg-turbo and SQLite, built static for each edition (i686, x86_64) from Debian's source
#     packages into build/deps
# Runs as root, or through sudo when not root.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/build/deps"
stamp="$deps/.setup-done-v3"
arches=(i686 x86_64)

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

have_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || return 1
    done
}

packages=(g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
          wine wine32:i386 wine64 xvfb xauth x11-utils tcl zip
          fonts-ipafont-gothic fonts-wine cmake googletest dpkg-dev nasm locales fp-utils libchm-bin nsis
          e2fsprogs ntfs-3g secure-delete)

suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")

ensure_packages() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${SUDO[@]}" dpkg --add-architecture i386
        need_update=1
    fi
    # deb-src of the same suite, for libjpeg-turbo's source package
    if ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        "${SUDO[@]}" tee /etc/apt/sources.list.d/tidemarrow-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
        need_update=1
    fi
    if [ -n "${need_update:-}" ] || ! have_packages "${packages[@]}"; then
        "${SUDO[@]}" apt-get update -q
        "${SUDO[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"
    fi
    # Japanese locale, so Wine runs with the ANSI code page 932
    if ! locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
        "${SUDO[@]}" sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | "${SUDO[@]}" tee -a /etc/locale.gen >/dev/null
        "${SUDO[@]}" locale-gen
    fi
}

# Fetches and unpacks one of Debian's source packages into $1 (the unpacked tree is $1/$2).
unpack_source() {
    local into=$1 name=$2
    rm -rf "$into" && mkdir -p "$into"
    (cd "$into" && apt-get source -q --download-only "$name" >/dev/null &&
        dpkg-source -x --no-check ./"$name"_*.dsc "$name" >/dev/null)
}

build_libjpeg() {
    local arch=$1 prefix="$deps/libjpeg-$1"
    [ -f "$prefix/lib/libjpeg.a" ] && return 0
    local src="$deps/src-jpeg-$arch"
    unpack_source "$src" libjpeg-turbo
    cmake -S "$src/libjpeg-turbo" -B "$src/build" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
        -DWITH_JAVA=OFF -DREQUIRE_SIMD=OFF >/dev/null
    cmake --build "$src/build" -j"$(nproc)" --target jpeg-static >/dev/null
    # install(...) rules may cover targets we did not build; copy what we need by hand
    mkdir -p "$prefix/lib" "$prefix/include"
    cp "$src/build/libjpeg.a" "$prefix/lib/libjpeg.a"
    cp "$src/libjpeg-turbo/jpeglib.h" "$src/libjpeg-turbo/jmorecfg.h" "$src/libjpeg-turbo/jerror.h" \
       "$src/build/jconfig.h" "$prefix/include/"
    rm -rf "$src"
}

# SQLite: the source package holds the full tree; its makefile joins it into the one-file
# amalgamation (with the host's compiler and tclsh), which is then compiled for each edition.
build_sqlite() {
    local done=1 arch
    for arch in "${arches[@]}"; do [ -f "$deps/sqlite3-$arch/lib/libsqlite3.a" ] || done=0; done
    [ "$done" -eq 1 ] && return 0
    local src="$deps/src-sqlite"
    unpack_source "$src" sqlite3
    mkdir -p "$src/build"
    (cd "$src/build" && ../sqlite3/configure --disable-tcl >/dev/null && make sqlite3.c >/dev/null)
    for arch in "${arches[@]}"; do
        local prefix="$deps/sqlite3-$arch"
        mkdir -p "$prefix/lib" "$prefix/include"
        "$arch-w64-mingw32-gcc-posix" -O2 -c "$src/build/sqlite3.c" -o "$src/build/sqlite3-$arch.o" \
            -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_DQS=0
        rm -f "$prefix/lib/libsqlite3.a"
        "$arch-w64-mingw32-ar" rcs "$prefix/lib/libsqlite3.a" "$src/build/sqlite3-$arch.o"
        cp "$src/build/sqlite3.h" "$src/build/sqlite3ext.h" "$prefix/include/" 2>/dev/null ||
            cp "$src/build/sqlite3.h" "$prefix/include/"
    done
    rm -rf "$src"
}

deps_built() {
    local arch
    for arch in "${arches[@]}"; do
        [ -f "$deps/libjpeg-$arch/lib/libjpeg.a" ] && [ -f "$deps/sqlite3-$arch/lib/libsqlite3.a" ] || return 1
    done
}

if [ -f "$stamp" ] && have_packages "${packages[@]}" && deps_built; then
    exit 0
fi
mkdir -p "$deps"
ensure_packages
for arch in "${arches[@]}"; do build_libjpeg "$arch"; done
build_sqlite
touch "$stamp"
echo "setup: done"
