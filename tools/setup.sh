#!/usr/bin/env bash
# Installs what building and testing need, idempotently.
#   - Debian packages: the i686 mingw-w64 toolchain, Wine (32-bit), Xvfb, fonts, CMake, GoogleTest source,
#     NSIS (the installer)
#     and the file system tools the realfs tests make their images with
#   - libjpeg-turbo, built static for i686 from Debian's source package into build/deps
# Runs as root, or through sudo when not root.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/build/deps"
stamp="$deps/.setup-done-v2"

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

have_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || return 1
    done
}

packages=(g++-mingw-w64-i686-posix mingw-w64-i686-dev wine wine32:i386 xvfb xauth x11-utils
          fonts-ipafont-gothic fonts-wine cmake googletest dpkg-dev nasm locales fp-utils libchm-bin nsis
          e2fsprogs ntfs-3g)

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

build_libjpeg() {
    local prefix="$deps/libjpeg-i686"
    [ -f "$prefix/lib/libjpeg.a" ] && return 0
    local src="$deps/src"
    rm -rf "$src" && mkdir -p "$src"
    (cd "$src" && apt-get source -q --download-only libjpeg-turbo >/dev/null && dpkg-source -x --no-check ./libjpeg-turbo_*.dsc libjpeg-turbo >/dev/null)
    cmake -S "$src/libjpeg-turbo" -B "$src/build" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
        -DWITH_JAVA=OFF -DREQUIRE_SIMD=OFF >/dev/null
    cmake --build "$src/build" -j"$(nproc)" --target jpeg-static >/dev/null
    cmake --install "$src/build" >/dev/null 2>&1 || true
    # install(...) rules may cover targets we did not build; copy what we need by hand
    mkdir -p "$prefix/lib" "$prefix/include"
    cp "$src/build/libjpeg.a" "$prefix/lib/libjpeg.a"
    cp "$src/libjpeg-turbo/jpeglib.h" "$src/libjpeg-turbo/jmorecfg.h" "$src/libjpeg-turbo/jerror.h" \
       "$src/build/jconfig.h" "$prefix/include/"
    rm -rf "$src"
}

if [ -f "$stamp" ] && have_packages "${packages[@]}" && [ -f "$deps/libjpeg-i686/lib/libjpeg.a" ]; then
    exit 0
fi
mkdir -p "$deps"
ensure_packages
build_libjpeg
touch "$stamp"
echo "setup: done"
