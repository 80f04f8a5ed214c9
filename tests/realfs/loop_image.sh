#!/usr/bin/env bash
# Loop-mounted images for the free-space erase, made and checked here (natively, as root):
#   loop_image.sh make DIR ext4|ntfs|ntfs4k MIB [ro]
#                                               makes DIR.img (ntfs4k: NTFS of 4 KiB sectors, so
#                                               of 4 KiB file records), mounts it on DIR through a loop
#                                               device and checks that DIR is on /dev/loop*
#   loop_image.sh drop DIR                      unmounts DIR, frees its loop device, keeps DIR.img
# A fill may only run in a folder this script made and checked; `make` fails otherwise.
set -u
cmd=${1:?make or drop}
dir=${2:?folder}
drop() {
    local source
    source=$(findmnt -n -o SOURCE --target "$dir" 2>/dev/null)
    if mountpoint -q "$dir" 2>/dev/null; then
        umount "$dir" 2>/dev/null || umount -l "$dir"
    fi
    case "$source" in /dev/loop*) losetup -d "$source" 2>/dev/null ;; esac
    for loop in $(losetup -j "$dir.img" -O NAME -n 2>/dev/null); do losetup -d "$loop" 2>/dev/null; done
    return 0
}
if [ "$cmd" = drop ]; then drop; exit 0; fi
[ "$cmd" = make ] || exit 2
kind=${3:?ext4 or ntfs}
mib=${4:?size}
mode=${5:-rw}
[ "$(id -u)" = 0 ] || { echo "loop_image: needs root" >&2; exit 1; }
drop
rm -f "$dir.img"
mkdir -p "$dir"
truncate -s "${mib}M" "$dir.img" || exit 1
loop=$(losetup -f --show "$dir.img") || exit 1
case "$kind" in
    ext4) mkfs.ext4 -q -m 0 -E nodiscard "$loop" && mount -o "$mode" "$loop" "$dir" ;;
    ntfs) mkntfs -F -q -f "$loop" >/dev/null 2>&1 && ntfs-3g -o "$mode" "$loop" "$dir" ;;
    ntfs4k) mkntfs -F -q -f -s 4096 "$loop" >/dev/null 2>&1 && ntfs-3g -o "$mode" "$loop" "$dir" ;;
    *) false ;;
esac || { losetup -d "$loop"; exit 1; }
source=$(findmnt -n -o SOURCE --target "$dir")
case "$source" in
    /dev/loop*) exit 0 ;;
    *) echo "loop_image: $dir is on $source, not a loop device" >&2; drop; exit 1 ;;
esac
