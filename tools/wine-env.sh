# Sourced by the scripts that run programs under Wine: a project-local prefix per edition,
# quiet Wine, no Mono/Gecko prompts, no menu builder (shortcuts made under Wine must not
# write launchers into the Linux home folder), and a Japanese locale (ANSI code page 932).
#
# TM_EDITION picks the edition the programs are of: 32 (build/, a 32-bit prefix, Debian's `wine`)
# or 64 (build64/, a 64-bit prefix, the 64-bit loader called directly: Debian's `wine` launcher
# takes the 32-bit loader whenever wine32 is installed, even on a host that cannot execute it).
# Without it: 32 where the host can execute 32-bit programs, otherwise 64.
_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# True when this host executes 32-bit x86 Linux programs (some refuse any i386 ELF).
host_runs_32bit() {
    [ -x /usr/lib/wine/wine ] && [ -e /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

if [ -z "${TM_EDITION:-}" ]; then
    if host_runs_32bit; then TM_EDITION=32; else TM_EDITION=64; fi
fi
export TM_EDITION
case "$TM_EDITION" in
    64)
        export TM_BUILD="$_top/build64"
        export WINEARCH=win64
        export WINELOADER=/usr/lib/wine/wine64
        # wine, wineboot and winepath of the 64-bit loader come first
        case ":$PATH:" in *":$_top/tools/wine64:"*) ;; *) export PATH="$_top/tools/wine64:$PATH" ;; esac
        ;;
    *)
        export TM_BUILD="$_top/build"
        export WINEARCH=win32
        unset WINELOADER
        ;;
esac
export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$TM_BUILD/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# A desktop session's X resources, which Xvfb lacks (see tools/xresources).
export XENVIRONMENT="$_top/tools/xresources"
export LANG=ja_JP.UTF-8
{ export LC_ALL=ja_JP.UTF-8; } 2>/dev/null
unset _top
