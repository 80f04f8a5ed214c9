# Sourced by the scripts that run programs under Wine: a project-local prefix,
# quiet Wine, no Mono/Gecko prompts, no menu builder (shortcuts made under Wine must not
# write launchers into the Linux home folder), and a Japanese locale (ANSI code page 932).
_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$_top/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=ja_JP.UTF-8
{ export LC_ALL=ja_JP.UTF-8; } 2>/dev/null
unset _top
